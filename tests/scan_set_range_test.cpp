// Ranges of a scan set, against the plain rule: a range holds every byte
// from its lower to its higher end, in whichever order it is written.
#include <gtest/gtest.h>

#include "scan/scan.h"

namespace voltrima {
namespace {

// '-' and ']' cannot stand at either end of a range written this way, and
// the zero byte ends the text.
bool CanEndARange(unsigned b) { return b != 0 && b != '-' && b != ']'; }

TEST(ScanSetRange, EveryPairOfEndsHoldsExactlyTheBytesBetweenThem) {
  for (unsigned from = 1; from < 256; ++from) {
    for (unsigned to = 1; to < 256; ++to) {
      if (!CanEndARange(from) || !CanEndARange(to)) continue;
      const unsigned char text[] = {static_cast<unsigned char>(from), '-', static_cast<unsigned char>(to),
                                    ']', 0};
      ScanSet set{};
      ASSERT_EQ(BuildScanSet(text, true, set), text + 3);
      const unsigned low = from < to ? from : to;
      const unsigned high = from < to ? to : from;
      for (unsigned b = 0; b < 256; ++b) {
        const bool member = (set.memberBits[b >> 3] >> (b & 7)) & 1;
        ASSERT_EQ(member, b >= low && b <= high) << "range " << from << "-" << to << ", byte " << b;
      }
    }
  }
}

TEST(ScanSetRange, RangesAddToWhatIsAlreadyInTheSet) {
  const unsigned char text[] = "!a-cx-z\xF0-\xFF]";
  ScanSet set{};
  ASSERT_NE(BuildScanSet(text, true, set), nullptr);
  for (unsigned b = 0; b < 256; ++b) {
    const bool expected = b == '!' || (b >= 'a' && b <= 'c') || (b >= 'x' && b <= 'z') || b >= 0xF0;
    EXPECT_EQ(static_cast<bool>((set.memberBits[b >> 3] >> (b & 7)) & 1), expected) << "byte " << b;
  }
}

}  // namespace
}  // namespace voltrima
