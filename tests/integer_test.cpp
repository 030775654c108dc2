// Integer conversions (%d %i %o %u %x %p and their upper-case forms) and the
// count (%n), seen through DllSscanf: the exact bytes each size writes, the
// result, and where each path leaves the input, shown by a following %n or
// %c. One table per behaviour family.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "harness.h"
#include "scan/scan.h"

namespace voltrima::testing {
namespace {

TEST(Integer, OneSignCountedAgainstTheWidth) {
  ExpectCases({
      {"%d%n", "+7", 1, {I32(7), I32(2)}},
      {"%d%n", " \t\n-42 ", 1, {I32(-42), I32(6)}},
      {"%d", "-0", 1, {I32(0)}},
      // A sign alone: the input runs out behind it, so -1.
      {"%d", "-", -1, {}},
      {"%d", "+", -1, {}},
      {"%x", "-", -1, {}},
      // A sign that uses up a width of 1 ends the field on the sign itself,
      // which is not the end of the input: the result is 0.
      {"%1d", "-5", 0, {}},
      {"%1x", "-", 0, {}},
      {"%1i", "+0x5", 0, {}},
      // A second sign, or a space after the sign, ends the field with no digit.
      {"%d", "--5", 0, {}},
      {"%d", "+-5", 0, {}},
      {"%d", "- 5", 0, {}},
      // The width counts the sign and each digit.
      {"%2d%n%c", "-12", 2, {I32(-1), I32(2), Str("2", 1)}},
      {"%3d%n%c", "12345", 2, {I32(123), I32(3), Str("4", 1)}},
      {"%5d%n", "-1234567", 1, {I32(-1234), I32(5)}},
      {"%10d%n%s", "42abc", 2, {I32(42), I32(2), Str("abc", 4)}},
      {"%2d%d", "1234", 2, {I32(12), I32(34)}},
      {"%4d%n", "-1 2", 1, {I32(-1), I32(2)}},
  });
}

TEST(Integer, ANonDigitEndsTheFieldAndIsLeftForTheNextDirective) {
  ExpectCases({
      {"%d%n%c", "12x", 2, {I32(12), I32(2), Str("x", 1)}},
      {"%d", "x5", 0, {}},
      {"%u%n%c", "9-", 2, {I32(9), I32(1), Str("-", 1)}},
      // Bytes 0x80..0xFF are digits of no base, whatever a signed char says.
      {"%d%n%c", "5\xB9", 2, {I32(5), I32(1), Str("\xB9", 1)}},
      {"%x%n%c", "1\xE1", 2, {I32(1), I32(1), Str("\xE1", 1)}},
      {"%d", "\xB9", 0, {}},
      {"%x", "\xC1", 0, {}},
      // Decimal letters do not take hexadecimal digits.
      {"%d%n%c", "12a", 2, {I32(12), I32(2), Str("a", 1)}},
      {"%u%n", "4294967295", 1, {I32(-1), I32(10)}},
  });
}

TEST(Integer, ValuesWrapInThirtyTwoOrSixtyFourBits) {
  ExpectCases({
      {"%d", "2147483648", 1, {I32(INT32_MIN)}},
      {"%d", "4294967296", 1, {I32(0)}},
      {"%d", "4294967301", 1, {I32(5)}},
      {"%u", "-1", 1, {I32(-1)}},
      {"%x", "FFFFFFFFF", 1, {I32(-1)}},
      {"%o", "40000000000", 1, {I32(0)}},
      {"%o", "37777777777", 1, {I32(-1)}},
      {"%lld", "5000000000", 1, {I32(705032704)}},
      {"%I64d", "4294967296", 1, {I64(4294967296)}},
      {"%I64d", "99999999999999999999", 1, {U64(7766279631452241919u)}},
      {"%I64u", "18446744073709551617", 1, {U64(1)}},
      {"%I64u", "-1", 1, {U64(UINT64_MAX)}},
      {"%I64d", "-9223372036854775808", 1, {I64(INT64_MIN)}},
      {"%I64x", "123456789abcdef0", 1, {U64(0x123456789ABCDEF0u)}},
      {"%I64x", "FFFFFFFFFFFFFFFFF", 1, {U64(UINT64_MAX)}},
      {"%I64o", "1777777777777777777777", 1, {U64(UINT64_MAX)}},
  });
}

TEST(Integer, SixteenBitStoresKeepTheLowBits) {
  ExpectCases({
      {"%hd", "70000", 1, {I16(4464)}},
      {"%hd", "-1", 1, {I16(-1)}},
      {"%hu", "65536", 1, {I16(0)}},
      {"%hx", "123456789", 1, {I16(0x6789)}},
      {"%hd", "5", 1, {I16(5)}},
      {"%hi", "-0x8001", 1, {I16(0x7FFF)}},
      {"%hhd", "300", 1, {I32(300)}},
  });
}

TEST(Integer, ADashNegatesInTwosComplementForEveryLetter) {
  ExpectCases({
      {"%o", "-10", 1, {I32(-8)}},
      {"%x", "-0x10", 1, {I32(-16)}},
      {"%u", "-5", 1, {I32(-5)}},
      {"%p", "-1", 1, {I32(-1)}},
      {"%i", "-010", 1, {I32(-8)}},
      {"%hu", "-1", 1, {I16(-1)}},
      {"%I64x", "-1", 1, {I64(-1)}},
      {"%I64p", "-5", 1, {I64(-5)}},
      {"%I64u", "-4294967296", 1, {I64(-4294967296)}},
      {"%d", "-2147483648", 1, {I32(INT32_MIN)}},
  });
}

// The size rule for every integer letter and %n: 64 bits with I64, 16 when
// the 'h', 'l' and 'L' count comes to exactly 0, 32 otherwise; %p ignores
// the count. "-1" sets every bit of the store, so the guard bytes after it
// show its size.
TEST(Integer, StoreSizeFollowsTheModifiers) {
  struct Row {
    const char* modifiers;
    int size;
  };
  const Row rows[] = {
      {"", 4},    {"w", 4},    {"h", 2},    {"hw", 2},    {"hhl", 2},      {"hlh", 2},
      {"hh", 4},  {"l", 4},    {"L", 4},    {"ll", 4},    {"lL", 4},       {"hl", 4},
      {"lh", 4},  {"I64", 8},  {"I64h", 8}, {"hI64", 8},  {"I64ll", 8},    {"I64I64", 8},
      {"hhh", 4}, {"Lh", 4},   {"FN", 4},   {"hFN", 2},
  };
  for (const Row& row : rows) {
    for (const char letter : std::string("diouxDOUXp")) {
      const std::string format = std::string("%") + row.modifiers + letter;
      const int size = letter == 'p' && row.size == 2 ? 4 : row.size;
      ExpectCase({format.c_str(), "-1", 1, {Le(UINT64_MAX, size)}});
    }
    // The count, after two characters taken so that the input has not run out.
    const std::string count = std::string("%*2c%") + row.modifiers + "n";
    ExpectCase({count.c_str(), "ab ", 0, {Le(2, row.size)}});
  }
}

TEST(Integer, OctalAndThePrefixesOfI) {
  ExpectCases({
      {"%o%n%c", "78", 2, {I32(7), I32(1), Str("8", 1)}},
      {"%o", "9", 0, {}},
      {"%i", "010", 1, {I32(8)}},
      {"%i", "0777", 1, {I32(511)}},
      {"%i", "8", 1, {I32(8)}},
      {"%i%n", "0", 1, {I32(0), I32(1)}},
      {"%i%n", "00", 1, {I32(0), I32(2)}},
      {"%i%n%c", "09", 2, {I32(0), I32(1), Str("9", 1)}},
      {"%i%d", "0-5", 2, {I32(0), I32(-5)}},
      {"%i%d", "08", 2, {I32(0), I32(8)}},
      {"%i%n%c", "0x1g", 2, {I32(1), I32(3), Str("g", 1)}},
      {"%i", "-0x1A", 1, {I32(-26)}},
      {"%i", "+0X1f", 1, {I32(31)}},
      {"%I", "0x10", 1, {I32(16)}},
      {"%i", "0x", -1, {}},   // a bare prefix: the input ran out
      {"%i", "0xz", 0, {}},   // the prefix stays consumed, 'z' is left
      {"%i", "0x-5", 0, {}},
      // The prefix and the leading zero are not counted against the width.
      {"%1i%n", "07", 1, {I32(7), I32(2)}},
      {"%1i%n", "0x5", 1, {I32(5), I32(3)}},
      {"%2i%n%c", "0012", 2, {I32(1), I32(3), Str("2", 1)}},
      {"%3i%n%c", "-0x1F5", 2, {I32(-31), I32(5), Str("5", 1)}},
  });
}

TEST(Integer, HexadecimalPrefixAndTheZeroGivenBack) {
  ExpectCases({
      {"%x", "0x", -1, {}},
      {"%x", "x5", 0, {}},
      {"%x", "0xg", 0, {}},
      {"%x%n", "0", 1, {I32(0), I32(1)}},
      // The zero not followed by 'x' is given back and read again as a digit.
      {"%x%n%c", "0z", 2, {I32(0), I32(1), Str("z", 1)}},
      {"%x%n", "0012", 1, {I32(0x12), I32(4)}},
      {"%x%n%c", "00x5", 2, {I32(0), I32(2), Str("x", 1)}},
      {"%x%n%c", "0x0x1", 2, {I32(0), I32(3), Str("x", 1)}},
      // That zero counts against the width; the prefix does not.
      {"%1x%n%c", "07", 2, {I32(0), I32(1), Str("7", 1)}},
      {"%2x%n", "07", 1, {I32(7), I32(2)}},
      {"%2x%n", "0x1F", 1, {I32(31), I32(4)}},
      {"%1x%n%c", "0x1F", 2, {I32(1), I32(3), Str("F", 1)}},
      {"%2x%n%c", "-0x1F", 2, {I32(-1), I32(4), Str("F", 1)}},
      {"%x", "-0x10", 1, {I32(-16)}},
      {"%X", "0X1a", 1, {I32(26)}},
      {"%x", "AbCdEf", 1, {I32(0xABCDEF)}},
  });
}

TEST(Integer, PointersReadHexadecimalWithoutAPrefix) {
  ExpectCases({
      {"%p%n%c", "0x12", 2, {I32(0), I32(1), Str("x", 1)}},
      {"%p", "1234ABCD", 1, {I32(0x1234ABCD)}},
      {"%P", "ab", 1, {I32(0xAB)}},
      {"%p%c", "-0x5", 2, {I32(0), Str("x", 1)}},
      {"%hp", "12345", 1, {I32(0x12345)}},
      // With I64 the base is 10.
      {"%I64p", "123", 1, {I64(123)}},
      {"%I64p", "ff", 0, {}},
      {"%I64p%c", "0x1F", 2, {I64(0), Str("x", 1)}},
      {"%I64p", "18446744073709551615", 1, {U64(UINT64_MAX)}},
  });
}

TEST(Count, StoresTheCharactersConsumedSoFar) {
  ExpectCases({
      {"%d%n", "12", 1, {I32(12), I32(2)}},
      {"%*d%n", "12", 0, {I32(2)}},
      {"%d%n", "  42", 1, {I32(42), I32(4)}},
      {"%n%d", "  7", 1, {I32(0), I32(7)}},
      {"%d%n%c", "12 ", 2, {I32(12), I32(2), Str(" ", 1)}},
      {"%x%n", "0x1F", 1, {I32(31), I32(4)}},
      {"%i%n", "0z", 1, {I32(0), I32(1)}},
      {"%d%hn", "12 x", 1, {I32(12), I16(2)}},
      {"%d%lln", "12 x", 1, {I32(12), I32(2)}},
      {"%d%hhn", "12 x", 1, {I32(12), I32(2)}},
      {"%d%I64n", "12 x", 1, {I32(12), I64(2)}},
      {"%5n%d", "5", 1, {I32(0), I32(5)}},  // the width is ignored
      {"%d%*n%d", "1 2", 2, {I32(1), I32(2)}},
      {"%d%hn", "123", 1, {I32(123)}},  // not spelled exactly %n after the end
      // A width that runs out leaves the last digit in `current`, so the
      // input has not run out for the end rule even when nothing follows.
      {"%1d %n", "5", 1, {I32(5), I32(1)}},
      {"%d %n", "5", 1, {I32(5)}},
  });
}

TEST(Count, KeepsTheLowBitsOfALongCount) {
  const std::string input = std::string(70000, 'a') + " ";
  ExpectCases({
      {"%*s%n", input, 0, {I32(70000)}},
      {"%*s%hn", input, 0, {I16(4464)}},
      {"%*s%I64n", input, 0, {I64(70000)}},
  });
}

// Where the field leaves the source, seen from inside: the contract with the
// driver on `current`, the count and the cursor, failures included (the scan
// ends there, so no %n can show them).
TEST(Integer, EachPathLeavesTheSourceAndCurrentAsTheRulesSay) {
  ExpectFieldEnds({
      // Failures: what was consumed stays consumed.
      {"%1d", "-5", {false, 1, "5", '-'}},
      {"%1x", "-", {false, 1, "", '-'}},
      {"%1i", "-0x5", {false, 1, "0x5", '-'}},
      {"%d", "-", {false, 1, "", EndOfInput}},
      {"%d", "--5", {false, 1, "-5", '-'}},
      {"%d", "- 5", {false, 1, " 5", ' '}},
      {"%d", "  x", {false, 2, "x", 'x'}},
      {"%i", "0x", {false, 2, "", EndOfInput}},
      {"%i", "0xz", {false, 2, "z", 'z'}},
      {"%x", "0x-5", {false, 2, "-5", '-'}},
      {"%2x", "+0Xg", {false, 3, "g", 'g'}},
      {"%x", "x5", {false, 0, "x5", 'x'}},
      {"%o", "9", {false, 0, "9", '9'}},
      {"%I64p", "ff", {false, 0, "ff", 'f'}},
      // Successes: the width that runs out keeps the last digit in `current`
      // and reads nothing more; otherwise the non-digit is given back.
      {"%1x", "0x1F", {true, 3, "F", '1'}},
      {"%1x", "07", {true, 1, "7", '0'}},
      {"%x", "0z", {true, 1, "z", 'z'}},
      {"%x", "0", {true, 1, "", EndOfInput}},
      {"%2d", "-12", {true, 2, "2", '1'}},
      {"%3d", "12345", {true, 3, "45", '3'}},
      {"%i", "09", {true, 1, "9", '9'}},
      {"%1i", "07", {true, 2, "", '7'}},
      {"%d", " 12", {true, 3, "", EndOfInput}},
  });
}

TEST(Integer, AFailedFieldLeavesItsDestinationUntouched) {
  ExpectCases({
      {"%d%d", "5 x", 1, {I32(5)}},
      {"%d%x", "5 0x", 1, {I32(5)}},
      {"%*d%i", "5 0x", 0, {}},  // the input ran out, but the suppressed %d matched
  });
}

}  // namespace
}  // namespace voltrima::testing
