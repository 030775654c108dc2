// Regression cases: one per fault found, named after it, with a line that
// says what went wrong.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "voltrima.h"

namespace {

// Built with clang, the float store gave +0 for "-0" (and every other zero
// with a '-') whenever the rounding mode was not to nearest.
TEST(Regression, NegativeZeroKeepsItsSignInEveryRoundingMode) {
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    for (const char* text : {"-0", "-000.e0", "-.00e2", "-0e999999999999"}) {
      SCOPED_TRACE(text);
      float single = 1;
      double twice = 1;
      ASSERT_EQ(std::fesetround(mode), 0);
      const int stored = DllSscanf(text, "%f", &single, nullptr) +
                         DllSscanf(text, "%lf", &twice, nullptr);
      std::fesetround(FE_TONEAREST);
      EXPECT_EQ(stored, 2);
      EXPECT_TRUE(single == 0 && std::signbit(single)) << "mode " << mode;
      EXPECT_TRUE(twice == 0 && std::signbit(twice)) << "mode " << mode;
    }
  }
}

}  // namespace
