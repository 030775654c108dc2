// The floating-point conversions %e %f %g: the field's forms and failures,
// the width rules and the 349-unit limit, what %n sees after a field, and
// the store's size for each selector, seen through DllSscanf. Fields that
// fail end the scan, so what they consumed is seen through ScanFloat itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "harness.h"
#include "scan/scan.h"

namespace voltrima::testing {
namespace {

const float Inf32 = std::numeric_limits<float>::infinity();
const double Inf64 = std::numeric_limits<double>::infinity();

// 349 units' worth of digits whose value is 123456789, followed by 51 nines
// that change the value if the limit lets one more digit in.
std::string FourHundredDigits() {
  return std::string(340, '0') + "123456789" + std::string(51, '9');
}
std::string FiftyOneNines() { return std::string(51, '9') + '\0'; }

TEST(FloatForms, EveryFormOfTheField) {
  ExpectCases({
      {"%f", "1.5", 1, {F32(1.5f)}},
      {"%e", "1.5", 1, {F32(1.5f)}},
      {"%g", "1.5", 1, {F32(1.5f)}},
      {"%E", "1.5", 1, {F32(1.5f)}},
      {"%G", "1.5", 1, {F32(1.5f)}},
      {"%f%n", "-1.5", 1, {F32(-1.5f), I32(4)}},
      {"%f%n", "+1.5", 1, {F32(1.5f), I32(4)}},
      {"%e%n", "  3", 1, {F32(3.0f), I32(3)}},
      {"%f", ".5", 1, {F32(0.5f)}},
      {"%f", "-.5", 1, {F32(-0.5f)}},
      {"%f", "5.", 1, {F32(5.0f)}},
      {"%f", "00012", 1, {F32(12.0f)}},
      {"%f", "0", 1, {F32(0.0f)}},
      {"%f", "-0", 1, {F32(-0.0f)}},
      {"%lf", "-0.000", 1, {F64(-0.0)}},
      {"%f", "1E5", 1, {F32(1e5f)}},
      {"%f", "1e+5", 1, {F32(1e5f)}},
      {"%f", "1e-5", 1, {F32(1e-5f)}},
      {"%f", "1.e5", 1, {F32(1e5f)}},
      {"%f", ".5e1", 1, {F32(5.0f)}},
      {"%f", "1e05", 1, {F32(1e5f)}},
      {"%f", "0.1", 1, {F32(0.1f)}},
      {"%lf", "0.1", 1, {F64(0.1)}},
      {"%f,%lf", "1.5,-2.25", 2, {F32(1.5f), F64(-2.25)}},
      {"%f%f", "1 -2", 2, {F32(1.0f), F32(-2.0f)}},
  });
}

TEST(FloatForms, TheValueThatEndsTheFieldIsGivenBack) {
  ExpectCases({
      {"%f%n", "1e", 1, {F32(1.0f), I32(2)}},
      {"%f%n%s", "1ex", 2, {F32(1.0f), I32(2), Str("x", 2)}},
      {"%f%n%s", "1e+x", 2, {F32(1.0f), I32(3), Str("x", 2)}},
      {"%f%n%s", "1e-x", 2, {F32(1.0f), I32(3), Str("x", 2)}},
      {"%f%n%s", "1ee", 2, {F32(1.0f), I32(2), Str("e", 2)}},
      {"%f%n%s", "1e--5", 2, {F32(1.0f), I32(3), Str("-5", 3)}},
      {"%f%n%s", "1e+-5", 2, {F32(1.0f), I32(3), Str("-5", 3)}},
      {"%f%n%s", "1.5e3x", 2, {F32(1500.0f), I32(5), Str("x", 2)}},
      {"%f%n%s", "1e5e5", 2, {F32(1e5f), I32(3), Str("e5", 3)}},
      {"%f%n%s", "1e5.5", 2, {F32(1e5f), I32(3), Str(".5", 3)}},
      {"%f%n%s", "1,5", 2, {F32(1.0f), I32(1), Str(",5", 3)}},
      {"%f%n%s", "0x10", 2, {F32(0.0f), I32(1), Str("x10", 4)}},
      {"%f%n%s", "1..2", 2, {F32(1.0f), I32(2), Str(".2", 3)}},
      {"%f%n%s", "1.5.5", 2, {F32(1.5f), I32(3), Str(".5", 3)}},
      {"%f%n%s", "2\xB9", 2, {F32(2.0f), I32(1), Str("\xB9", 2)}},
      {"%f%n", "2 ", 1, {F32(2.0f), I32(1)}},
      {"%f%n", "1.5", 1, {F32(1.5f), I32(3)}},  // %n runs after the input ran out
      {"%f%d", "1.5", 1, {F32(1.5f)}},            // nothing else does
      {"%f%d", "1.5 7", 2, {F32(1.5f), I32(7)}},
      {"%f%d", "1.-7", 2, {F32(1.0f), I32(-7)}},
  });
}

TEST(FloatFailures, AFieldWithoutAMantissaDigitFails) {
  ExpectCases({
      {"%f", "x", 0, {}},
      {"%f", "\xB9", 0, {}},
      {"%f", "", -1, {}},
      {"%f", "   ", -1, {}},
      {"%f", ".", -1, {}},
      {"%f", ".x", 0, {}},
      {"%f", "-", -1, {}},
      {"%f", "-x", 0, {}},
      {"%f", "- 1", 0, {}},
      {"%f", "+.", -1, {}},
      {"%f", "e5", 0, {}},
      {"%f", ".e5", 0, {}},
      {"%d%f", "5", 1, {I32(5)}},
      {"%d%f", "5 x", 1, {I32(5)}},
      {"%d %f%d", "5 .x 6", 1, {I32(5)}},
      {"%*f", "1.5", 0, {}},
      {"%*f%n", "1.5", 0, {I32(3)}},
      {"%*f%f", "1 2", 1, {F32(2.0f)}},
      {"%*f", "", -1, {}},
  });
}

TEST(FloatFailures, WhatAFailedFieldConsumedStaysConsumed) {
  ExpectFieldEnds({
      {"%f", "x", {false, 0, "x"}},
      {"%f", " \xB9", {false, 1, "\xB9"}},
      {"%f", "", {false, 0, ""}},
      {"%f", ".", {false, 1, ""}},
      {"%f", ".x", {false, 1, "x"}},
      {"%f", "-x", {false, 1, "x"}},
      {"%f", "+-1", {false, 1, "-1"}},
      {"%f", "-.e5", {false, 2, "e5"}},
      {"%f", "e5", {false, 0, "e5"}},
      {"%f", ".e5", {false, 1, "e5"}},
      {"%1f", "-1.5", {false, 1, "1.5"}},
      {"%1f", "+1", {false, 1, "1"}},
      {"%1f", ".5", {false, 1, "5"}},
      {"%2f", "-.5", {false, 2, "5"}},
      // and for contrast, fields that succeed
      {"%f", "  1e-5x", {true, 6, "x"}},
      {"%f", "1e-", {true, 3, ""}},
      {"%2f", "1e-5", {true, 2, "-5"}},
  }, /*suppress=*/true);
}

TEST(FloatSelectors, FourBytesAtOrBelowZeroEightAtOrAboveOne) {
  // 0.1 rounds differently to binary32 and binary64, so a value stored in
  // the wrong format, or through the other one, shows.
  ExpectCases({
      {"%f", "0.1", 1, {F32(0.1f)}},
      {"%hf", "0.1", 1, {F32(0.1f)}},
      {"%hhf", "0.1", 1, {F32(0.1f)}},
      {"%hhhhhe", "0.1", 1, {F32(0.1f)}},
      {"%hlf", "0.1", 1, {F32(0.1f)}},
      {"%lhg", "0.1", 1, {F32(0.1f)}},
      {"%wf", "0.1", 1, {F32(0.1f)}},
      {"%I64f", "0.1", 1, {F32(0.1f)}},
      {"%Ff", "0.1", 1, {F32(0.1f)}},
      {"%lf", "0.1", 1, {F64(0.1)}},
      {"%Lf", "0.1", 1, {F64(0.1)}},
      {"%le", "0.1", 1, {F64(0.1)}},
      {"%LG", "0.1", 1, {F64(0.1)}},
      {"%llf", "0.1", 1, {F64(0.1)}},
      {"%lLf", "0.1", 1, {F64(0.1)}},
      {"%hllf", "0.1", 1, {F64(0.1)}},
      {"%llllllf", "0.1", 1, {F64(0.1)}},
      {"%lwf", "0.1", 1, {F64(0.1)}},
      {"%I64lf", "0.1", 1, {F64(0.1)}},
      {"%Flf", "0.1", 1, {F64(0.1)}},
      {"%lf%hf%f", "1e40 1e40 -1e-50", 3, {F64(1e40), F32(Inf32), F32(-0.0f)}},
  });
}

TEST(FloatWidths, EachCharacterOfTheFieldUsesAUnit) {
  ExpectCases({
      {"%2f%n%s", "-1.5", 2, {F32(-1.0f), I32(2), Str(".5", 3)}},
      {"%3f%n%s", "-1.5", 2, {F32(-1.0f), I32(3), Str("5", 2)}},
      {"%1f", "-1.5", 0, {}},
      {"%1f", "+1", 0, {}},
      {"%2f%n%s", "12.5", 2, {F32(12.0f), I32(2), Str(".5", 3)}},
      {"%3f%n%s", "12.5", 2, {F32(12.0f), I32(3), Str("5", 2)}},
      {"%3lf%n", "  1.25", 1, {F64(1.2), I32(5)}},  // whitespace uses no unit
      {"%1f%n%s", "1e5", 2, {F32(1.0f), I32(1), Str("e5", 3)}},
      {"%2f%n%s", "1e5", 2, {F32(1.0f), I32(2), Str("5", 2)}},
      {"%3f%n", "1e5", 1, {F32(1e5f), I32(3)}},
      // The exponent letter uses the last unit: its '-' goes into the text
      // and is also given back; a '+' is only given back.
      {"%2f%d", "1e-5", 2, {F32(1.0f), I32(-5)}},
      {"%2f%n", "1e-5", 1, {F32(1.0f), I32(2)}},
      {"%2f%d", "1e+5", 2, {F32(1.0f), I32(5)}},
      {"%3f%n%s", "1e-5", 2, {F32(1.0f), I32(3), Str("5", 2)}},
      {"%3f%n%s", "1e+5", 2, {F32(1.0f), I32(3), Str("5", 2)}},
      {"%4f", "1e-5", 1, {F32(1e-5f)}},
      {"%5f%n", "-1e-5", 1, {F32(-1e-5f), I32(5)}},
      {"%4f%n%s", "-1e-5", 2, {F32(-1.0f), I32(4), Str("5", 2)}},
      {"%3f%f", "1.2345", 2, {F32(1.2f), F32(345.0f)}},
  });
}

TEST(FloatWidths, NoMoreThan349CharactersUseAUnit) {
  const std::string digits = FourHundredDigits();
  const std::string nines = FiftyOneNines();
  ExpectCases({
      {"%lf%n%s", digits, 2, {F64(123456789.0), I32(349), nines}},
      {"%lf%n%s", "-" + digits, 2, {F64(-123456789.0), I32(350), nines}},
      {"%lf%n%s", "+" + digits, 2, {F64(123456789.0), I32(350), nines}},
      {"%348lf%n", digits, 1, {F64(12345678.0), I32(348)}},
      {"%349lf%n", digits, 1, {F64(123456789.0), I32(349)}},
      {"%350lf%n", digits, 1, {F64(123456789.0), I32(349)}},
      {"%400lf%n", digits, 1, {F64(123456789.0), I32(349)}},
      {"%2147483647lf%n", digits, 1, {F64(123456789.0), I32(349)}},
      {"%99999999999999lf%n", digits, 1, {F64(123456789.0), I32(349)}},
      // with a width, the sign uses a unit before the limit applies
      {"%349lf%n", "-" + digits, 1, {F64(-12345678.0), I32(349)}},
      {"%350lf%n", "-" + digits, 1, {F64(-123456789.0), I32(350)}},
      {"%351lf%n", "-" + digits, 1, {F64(-123456789.0), I32(350)}},
      {"%400lf%n", "+" + digits, 1, {F64(123456789.0), I32(350)}},
  });
}

TEST(FloatWidths, LongFields) {
  const std::string digits347 = std::string(338, '0') + "123456789";
  ExpectCases({
      // The longest text: '-', 347 digits, '.', 'e' and a '-' that is also
      // given back.
      {"%lf%n%s", "-" + digits347 + ".e-5", 2, {F64(-123456789.0), I32(350), Str("-5", 3)}},
      {"%lf", "." + std::string(300, '0') + "5e301", 1, {F64(5.0)}},
      {"%lf", "1e" + std::string(300, '0') + "5", 1, {F64(1e5)}},
      {"%lf%n%s", std::string(345, '0') + "1e-12", 2, {F64(0.1), I32(349), Str("2", 2)}},
      {"%lf%n%s", "1." + std::string(347, '0') + "1e5", 2, {F64(1.0), I32(349), Str("1e5", 4)}},
      {"%f", "1e999999999999", 1, {F32(Inf32)}},
      {"%lf", "-1e999999999999", 1, {F64(-Inf64)}},
      {"%lf", "1e-999999999999", 1, {F64(0.0)}},
      {"%f", "-1e-999999999999", 1, {F32(-0.0f)}},
      {"%lf", "0e999999999", 1, {F64(0.0)}},
      {"%lf", "-0e999999999999999999", 1, {F64(-0.0)}},
  });
}

}  // namespace
}  // namespace voltrima::testing
