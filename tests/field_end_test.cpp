// Where a field leaves the input: the value that ends it, the width that
// cuts it, and the end of the input, seen through %n and the next directive.
// The digit and character loops walk the text in place, so these cases pin
// the count and the position they must leave behind.
#include <gtest/gtest.h>

#include "harness.h"

namespace voltrima::testing {
namespace {

TEST(FieldEnd, IntegersLeaveTheInputJustPastTheirLastDigit) {
  ExpectCases({
      {"%d%n", "123x", 1, {I32(123), I32(3)}},
      {"%d%n", "123", 1, {I32(123), I32(3)}},  // the end is read and given back
      {"%d%n%c", "-7 ", 2, {I32(-7), I32(2), Str(" ", 1)}},
      {"%2d%n%d", "12345", 2, {I32(12), I32(2), I32(345)}},
      {"%3d%n", "-12345", 1, {I32(-12), I32(3)}},  // the sign uses a unit
      {"%1d%n%c", "9z", 2, {I32(9), I32(1), Str("z", 1)}},
      // a width that runs out leaves the last digit as the value in hand, so
      // the end of the input has not been read yet and the scan goes on
      {"%2d %n", "12", 1, {I32(12), I32(2)}},
      {"%d %n", "12", 1, {I32(12)}},
      {"%x%n%c", "0q", 2, {I32(0), I32(1), Str("q", 1)}},  // a lone 0 before a non-digit
      {"%x%n", "0", 1, {I32(0), I32(1)}},
      {"%x%n", "0x1fG", 1, {I32(0x1f), I32(4)}},
      {"%i%n%c", "017 ", 2, {I32(017), I32(3), Str(" ", 1)}},
      {"%i%n", "0", 1, {I32(0), I32(1)}},
      {"%2i%n", "0x123", 1, {I32(0x12), I32(4)}},  // the prefix costs no width
      {"%I64d%n", "-9223372036854775808,", 1, {I64(INT64_MIN), I32(20)}},
      {"%o%n%d", "1789", 2, {I32(017), I32(2), I32(89)}},
  });
}

TEST(FieldEnd, TextStopsAtTheFirstRejectedCharacterOrTheWidth) {
  ExpectCases({
      {"%s%n", "abc def", 1, {Str("abc", 4), I32(3)}},
      {"%s%n", "abc", 1, {Str("abc", 4), I32(3)}},
      {"%2s%n%s", "abcd", 2, {Str("ab", 3), I32(2), Str("cd", 3)}},
      {"%[a-c]%n%c", "abcd", 2, {Str("abc", 4), I32(3), Str("d", 1)}},
      {"%3c%n", "abcd", 1, {Str("abc", 3), I32(3)}},
      {"%S%n", " ab c", 1, {Wide("ab") + Le(0, 2), I32(3)}},
      {"%*[a-z]%n", "abc1", 0, {I32(3)}},
  });
}

TEST(FieldEnd, FloatsCountEveryCharacterTheyTook) {
  ExpectCases({
      {"%lf%n", "12.5e3x", 1, {F64(12.5e3), I32(6)}},
      {"%lf%n", "12.5", 1, {F64(12.5), I32(4)}},
      {"%3lf%n%d", "1234", 2, {F64(123), I32(3), I32(4)}},
      {"%4lf%n%c", "-1.25", 2, {F64(-1.2), I32(4), Str("5", 1)}},
      {"%f%n%c", "7e+", 1, {F32(7), I32(3)}},
      {"%2f%n%d", "1e-5", 2, {F32(1), I32(2), I32(-5)}},  // the '-' is given back
  });
}

}  // namespace
}  // namespace voltrima::testing
