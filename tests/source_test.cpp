// The input source: what Read, Unread and SkipWhitespace hand out, and how
// consumedCount follows them.
#include <gtest/gtest.h>

#include "scan/scan.h"

namespace voltrima {
namespace {

TEST(ScanSource, EmptyTextGivesEndOfInputForeverAndUnreadNeverBringsItBack) {
  ScanSource s = OpenSource("");
  EXPECT_EQ(s.Read(), EndOfInput);
  EXPECT_EQ(s.consumedCount, 1u);
  s.Unread(EndOfInput);
  EXPECT_EQ(s.consumedCount, 0u);
  EXPECT_EQ(s.Read(), EndOfInput);
  EXPECT_EQ(s.Read(), EndOfInput);
  EXPECT_EQ(s.consumedCount, 2u);
}

TEST(ScanSource, ReadsBytesAsUnsignedThenEndsAndCountsEveryRead) {
  ScanSource s = OpenSource("a\xE9");
  EXPECT_EQ(s.Read(), 'a');
  EXPECT_EQ(s.Read(), 0xE9);
  EXPECT_EQ(s.Read(), EndOfInput);
  EXPECT_EQ(s.consumedCount, 3u);
  s.Unread(EndOfInput);
  EXPECT_EQ(s.consumedCount, 2u);
  EXPECT_EQ(s.Read(), EndOfInput);
}

TEST(ScanSource, StopsAtTheFirstZeroByte) {
  const char text[] = "a\0b";
  ScanSource s = OpenSource(text);
  EXPECT_EQ(s.Read(), 'a');
  EXPECT_EQ(s.Read(), EndOfInput);
  EXPECT_EQ(s.Read(), EndOfInput);
  EXPECT_EQ(s.cursor, s.start + 1);  // never steps onto the byte after the zero
}

TEST(ScanSource, UnreadGivesBackOnlyTheByteTheTextHoldsThere) {
  ScanSource s = OpenSource("xy");
  EXPECT_EQ(s.Read(), 'x');
  s.Unread('x');
  EXPECT_EQ(s.consumedCount, 0u);
  EXPECT_EQ(s.Read(), 'x');
  EXPECT_EQ(s.consumedCount, 1u);

  s.Unread('q');  // not the byte before the cursor: nothing moves, the count still drops
  EXPECT_EQ(s.consumedCount, 0u);
  EXPECT_EQ(s.Read(), 'y');
}

TEST(ScanSource, UnreadBeforeAnyReadMovesNothing) {
  ScanSource s = OpenSource("x");
  s.Unread('x');
  EXPECT_EQ(s.consumedCount, UINT32_MAX);  // -1 in 32 bits
  EXPECT_EQ(s.cursor, s.start);
  EXPECT_EQ(s.Read(), 'x');
}

TEST(ScanSource, SkipWhitespaceCountsTheValueThatStoppedIt) {
  ScanSource s = OpenSource("  \t\n x");
  EXPECT_EQ(s.SkipWhitespace(), 'x');
  EXPECT_EQ(s.consumedCount, 6u);

  ScanSource blank = OpenSource("   ");
  EXPECT_EQ(blank.SkipWhitespace(), EndOfInput);
  EXPECT_EQ(blank.consumedCount, 4u);
}

TEST(ScanSource, OnlyTheSixWhitespaceBytesAreSkipped) {
  for (int b = 1; b < 256; ++b) {
    const char text[] = {static_cast<char>(b), 'z', 0};
    ScanSource s = OpenSource(text);
    const bool space = (b >= 0x09 && b <= 0x0D) || b == 0x20;
    EXPECT_EQ(s.SkipWhitespace(), space ? 'z' : b) << "byte " << b;
  }
}

}  // namespace
}  // namespace voltrima
