// The directive driver: the walk, whitespace and literal steps, directive
// parsing, destinations, the end rule and the result, seen through DllSscanf.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "scan/scan.h"

namespace voltrima::testing {
namespace {

TEST(Walk, WhitespaceAndLiteralCharacters) {
  ExpectCases({
      {"", "", 0, {}},
      {"", "abc", 0, {}},
      {"a b%n", "ab", 0, {I32(2)}},
      {"a b%n", "a \t\n b", 0, {I32(6)}},
      {"a\tb%n", "ab", 0, {I32(2)}},
      {"a%n", " a", 0, {}},  // a literal does not skip input whitespace
      {"\xE9%n", "\xE9", 0, {I32(1)}},
      {"\xE9%n", "e", 0, {}},
      {"%d ", "5", 1, {I32(5)}},
      {"%d %n", "5 x", 1, {I32(5), I32(2)}},
      {"%d x%n", "5 x", 1, {I32(5), I32(3)}},
      {"%*d ", "5 ", 0, {}},
      {"x ", "x", -1, {}},
      {"x", "x", 0, {}},
      {" ", "", -1, {}},
      {" ", "   ", -1, {}},
      {" ", "a", 0, {}},
      {"a%%", "a", -1, {}},  // a matched literal character is no match
  });
}

TEST(Walk, TrailingFormatWhitespaceReadsTheNextCharacterAndGivesItBack) {
  Destinations d;
  // "%d " on "5 x": the space run then the format's zero byte meet 'x',
  // which is put back; a second scan of the rest would see it.
  EXPECT_EQ(d.Scan("5 x", "%d "), 1);
  EXPECT_TRUE(d.Holds(0, I32(5)));
}

TEST(Directives, WithoutAConversionCompareTheirLetterAsWritten) {
  ExpectCases({
      {"%%%n", "  %", 0, {I32(3)}},
      {"%%%d", " % 7", 1, {I32(7)}},
      {"%d %% %d", "12 % 34", 2, {I32(12), I32(34)}},
      {"%%", "", -1, {}},
      {"%y%d", "y5", 1, {I32(5)}},  // %y took destination 1 and gave it back
      {"%y%d", "Y5", 0, {}},
      {"%Y%d", " Y5", 1, {I32(5)}},
      {"%H%d", "H5", 1, {I32(5)}},
      {"%*y%d", " y5", 1, {I32(5)}},
      {"%5%%d", "%5", 1, {I32(5)}},
      {"%*%", "%", 0, {}},
      {"%", "abc", 0, {}},
      {"%", "", -1, {}},
      {" %", " 5", 0, {}},
      {"%d%", "5", 1, {I32(5)}},
      {"%d%", "5x", 1, {I32(5)}},
      {"%*", "5", 0, {}},
      {"%l", "5", 0, {}},
      {"%I64", "5", 0, {}},
      {"% d", "5", 0, {}},
      {"% d", " 5", 0, {}},
      {"% d", "", -1, {}},
  });
}

TEST(Directives, WidthsAndModifiersInAnyOrder) {
  ExpectCases({
      {"%5l5d", "123456", 1, {I32(123456)}},
      {"%010d", "12345678901", 1, {I32(1234567890)}},
      {"%hd", "70000", 1, {I16(4464)}},
      {"%hhd", "70000", 1, {I32(70000)}},
      {"%hld", "70000", 1, {I32(70000)}},
      {"%Fd", "5", 1, {I32(5)}},
      {"%Nd", "5", 1, {I32(5)}},
      {"%Ld", "5", 1, {I32(5)}},
      {"%ld", "5", 1, {I32(5)}},
      {"%wd", "5", 1, {I32(5)}},
      {"%**d", "5", 0, {}},
      {"%I64d", "5", 1, {I64(5)}},
      {"%I64I64d", "5", 1, {I64(5)}},
      {"%I", "0x10", 1, {I32(16)}},
      {"%I6d", "126", 1, {I32(126)}},
      {"%2I6d%n", "126d", 1, {I32(12), I32(4)}},
      {"%D", "5", 1, {I32(5)}},
      {"%{a]", "aab", 1, {Str("aa", 3)}},
      {"%[a]", "aab", 1, {Str("aa", 3)}},
  });
}

TEST(Directives, ParsingFillsTheSpec) {
  struct Row {
    const char* directive;
    int32_t width;
    uint32_t widthDigits;
    bool suppress;
    int32_t sizeLevel;
    int32_t wideLevel;
    bool isInt64;
    int conversion;
    int letterOffset;
  };
  const Row rows[] = {
      {"%d", 0, 0, false, 1, -1, false, 'd', 1},
      {"%5l5d", 55, 2, false, 2, 1, false, 'd', 4},
      {"%010d", 10, 3, false, 1, -1, false, 'd', 4},
      {"%hhd", 0, 0, false, -1, -2, false, 'd', 3},
      {"%hld", 0, 0, false, 1, -1, false, 'd', 3},  // h and l cancel, then the default
      {"%**d", 0, 0, true, 1, -1, false, 'd', 3},
      {"%I64I64d", 0, 0, false, 1, -1, true, 'd', 7},
      {"%I6d", 0, 0, false, 1, -1, false, 'i', 1},
      {"%S", 0, 0, false, 1, 1, false, 's', 1},
      {"%C", 0, 0, false, 1, 1, false, 'c', 1},
      {"%hS", 0, 0, false, 0, -1, false, 's', 2},
      {"%lc", 0, 0, false, 2, 1, false, 'c', 2},
      {"%hlS", 0, 0, false, 1, 1, false, 's', 3},
      {"%hls", 0, 0, false, 1, -1, false, 's', 3},
      {"%wf", 0, 0, false, 1, 1, false, 'f', 2},
      {"%[", 0, 0, false, 1, -1, false, '{', 1},
      {"%FNd", 0, 0, false, 1, -1, false, 'd', 3},
      {"%", 0, 0, false, 1, -1, false, 0x20, 1},  // the zero byte is the letter
      {"%4294967296d", 2147483647, 10, false, 1, -1, false, 'd', 11},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.directive);
    DirectiveSpec spec;
    const auto* text = reinterpret_cast<const unsigned char*>(r.directive);
    const unsigned char* letter = ParseDirective(text, spec);
    EXPECT_EQ(letter - text, r.letterOffset);
    EXPECT_EQ(spec.width, r.width);
    EXPECT_EQ(spec.widthDigits, r.widthDigits);
    EXPECT_EQ(spec.suppress, r.suppress);
    EXPECT_EQ(spec.sizeLevel, r.sizeLevel);
    EXPECT_EQ(spec.wideLevel, r.wideLevel);
    EXPECT_EQ(spec.isInt64, r.isInt64);
    EXPECT_EQ(spec.conversion, r.conversion);
  }
}

TEST(Directives, ZeroWidthEndsTheScanBeforeTheConversion) {
  ExpectCases({
      {"%0d", "5", 0, {}},
      {"%0d", "", -1, {}},
      {"%0d", "   ", -1, {}},
      {"%00d", "5", 0, {}},
      {"%0%", "%", 0, {}},
      {"%0n", "5", 0, {}},
      {"%d%0n", "5 ", 1, {I32(5)}},
      {"%0s", "abc", 0, {}},
      {"%0c", "abc", 0, {}},
      {"%0[a]", "abc", 0, {}},
      {"%0s", "", -1, {}},
  });
}

TEST(Directives, ZeroWidthGivesTheFetchedValueBack) {
  // After "%0d" fails, nothing of "5" stays consumed: a count before it and
  // the scan's end agree that no input was used.
  Destinations d;
  EXPECT_EQ(d.Scan("  5", "%n%0d"), 0);
  EXPECT_TRUE(d.Holds(0, I32(0)));
}

TEST(EndRule, OnlyTheExactPairPercentNGoesOnAfterTheInputRanOut) {
  ExpectCases({
      {"%n", "abc", 0, {I32(0)}},
      {"%n%d", "", 0, {I32(0)}},  // %n counts as a match, so not -1
      {"%*n", "", 0, {}},
      {"%d%n", "12", 1, {I32(12), I32(2)}},
      {"%d%n%n", "12", 1, {I32(12), I32(2), I32(2)}},
      {"%d %n", "12", 1, {I32(12)}},
      {"%d %n", "12 ", 1, {I32(12), I32(3)}},
      {"%d%ln", "12", 1, {I32(12)}},
      {"%d%hn", "12", 1, {I32(12)}},
      {"%d%5n", "12", 1, {I32(12)}},
      {"%d%*n%d", "12", 1, {I32(12)}},
      {"%d %n%d%n", "12 3", 2, {I32(12), I32(3), I32(3), I32(4)}},
      {"%*c%n", "ab", 0, {I32(1)}},
      {"a%n", "a", 0, {I32(1)}},
      {"%%%n", "%", 0, {I32(1)}},
  });
}

TEST(Result, MinusOneOnlyWhenTheInputRanOutBeforeAnyMatch) {
  ExpectCases({
      {"%*d%d", "1 2", 1, {I32(2)}},
      {"%d", "", -1, {}},
      {"%d", "   ", -1, {}},
      {"%d%n", "x", 0, {}},
      {"%*d%d", "1", 0, {}},  // a suppressed match prevents -1
      {"%*d%*d%d", "1 2", 0, {}},
  });
}

TEST(Result, ManySuppressedMatchesNeverWrapBackToMinusOne) {
  std::string format;
  for (int i = 0; i < 256; ++i) format += "%*c";
  format += "%d";
  const std::string input(256, 'x');
  Destinations d;
  EXPECT_EQ(d.Scan(input.c_str(), format.c_str()), 0);
}

TEST(Destinations, GatheringStopsAtTheFirstNullAndAtTwenty) {
  Destinations d;
  std::string format, input;
  for (int i = 0; i < 20; ++i) {
    format += "%d";
    input += std::to_string(i + 1) + " ";
  }
  EXPECT_EQ(d.Scan(input.c_str(), format.c_str()), 20);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(d.Holds(i, I32(i + 1)));

  int a = 0, b = 0, never = -7;
  EXPECT_EQ(DllSscanf("1 2", "%d%d", &a, nullptr, &b), 0 + 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  (void)never;
}

TEST(Destinations, ArgumentsAfterTheTwentiethAreNeverUsed) {
  int v[22] = {};
  std::string format, input;
  for (int i = 0; i < 21; ++i) {
    format += "%d";
    input += "7 ";
  }
  const int result = DllSscanf(input.c_str(), format.c_str(), &v[0], &v[1], &v[2], &v[3], &v[4],
                               &v[5], &v[6], &v[7], &v[8], &v[9], &v[10], &v[11], &v[12], &v[13],
                               &v[14], &v[15], &v[16], &v[17], &v[18], &v[19], &v[20], nullptr);
  EXPECT_EQ(result, 20);  // the 21st directive finds no destination and ends the scan
  EXPECT_EQ(v[19], 7);
  EXPECT_EQ(v[20], 0);
}

TEST(Destinations, ADirectiveWithoutADestinationEndsTheScanAndStoresNothing) {
  struct Row {
    const char* format;
    const char* input;
    int count;
    int result;
    const char* countFormat;  // the same format with a %n after the failing point
  };
  Destinations d;
  // Fewer destinations than directives: the scan ends at the first that has none.
  EXPECT_EQ(d.Scan("1 2 3", "%d%d%d", 2), 2);
  EXPECT_TRUE(d.Holds(0, I32(1)));
  EXPECT_TRUE(d.Holds(1, I32(2)));
  EXPECT_TRUE(d.Holds(2, Bytes()));

  // No destination at all: every kind that stores ends the scan at once.
  for (const char* format : {"%d", "%n", "%s", "%c", "%[a]", "%f", "%x"}) {
    Destinations e;
    EXPECT_EQ(e.Scan("a", format, 0), 0) << format;
    EXPECT_EQ(e.Scan("", format, 0), format[1] == 'n' ? 0 : -1) << format;
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(e.Holds(i, Bytes())) << format;
  }

  // Literal-compared letters take and give back a destination: they need none.
  int value = 0;
  EXPECT_EQ(DllSscanf("5 %", "%d%%", &value, nullptr), 1);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(DllSscanf("%", "%%", nullptr), 0);
  EXPECT_EQ(DllSscanf("  ", "%*d", nullptr), -1);
}

TEST(Destinations, TheValueFetchedForADirectiveWithoutADestinationIsGivenBack) {
  // The count taken first sees whitespace skipped for the failing %d undone.
  int count = -1;
  EXPECT_EQ(DllSscanf("  5", "%n%d", &count, nullptr), 0);
  EXPECT_EQ(count, 0);
}

TEST(Input, EndsAtItsFirstZeroByte) {
  const char input[] = "12\0 34";
  int a = 0, b = 0;
  EXPECT_EQ(DllSscanf(input, "%d%d", &a, &b, nullptr), 1);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 0);
}

TEST(Widths, DigitsBeyondTheRangeSaturateToAVeryWideField) {
  ExpectCases({
      {"%4294967296d", "123", 1, {I32(123)}},
      {"%99999999999999999999s", "word rest", 1, {Str("word", 5)}},
      {"%4294967296c%n", "abc", 1, {Str("abc", 3), I32(3)}},
  });
}

}  // namespace
}  // namespace voltrima::testing
