// Floating-point conversions (%e %f %g). The field is read under the width
// rules into a normalised number text in the call's frame; the float store
// then turns that text into a correctly rounded binary32 or binary64.
#include <cfloat>  // fast_float tests FLT_EVAL_METHOD
#include <climits>
#include <cstring>

#include <fast_float/fast_float.h>

#include "scan.h"

namespace voltrima {
namespace {

// However wide the field, at most this many characters use a unit of it, so
// the text holds '-', these, an exponent '-' given back, and the zero byte.
constexpr std::int32_t MaxUnits = 349;
constexpr std::size_t NumberTextSize = 352;

struct NumberText {
  char bytes[NumberTextSize];
  std::size_t length = 0;
  bool anyDigit = false;

  void Append(int c) { bytes[length++] = static_cast<char>(c); }
};

// Copies digits while a unit is left. The loop works on copies of the
// source and the text's length, which the compiler keeps in registers
// instead of storing them back at every digit.
void TakeDigits(int& c, std::int32_t& unitsLeft, NumberText& text, ScanSource& source) {
  if (!IsDigit(c) || unitsLeft <= 0) return;
  ScanSource local = source;
  std::size_t length = text.length;
  std::int32_t units = unitsLeft;
  int value = c;
  do {
    --units;
    text.bytes[length++] = static_cast<char>(value);
    value = local.Read();
  } while (IsDigit(value) && units > 0);
  text.anyDigit = true;
  text.length = length;
  unitsLeft = units;
  c = value;
  source = local;
}

// fast_float takes a shortcut when the digits and the power of ten are both
// exact: one multiplication or division. It rounds once only if float and
// double arithmetic carry no excess precision; on 32-bit x86 with x87
// arithmetic some binary64 results would be rounded twice and come out one
// unit off. Such builds need -msse2 -mfpmath=sse.
static_assert(FLT_EVAL_METHOD == 0 || FLT_EVAL_METHOD == 1,
              "the float store needs arithmetic without excess precision");

template <typename Float>
void StoreFloat(void* destination, const char* text) {
  Float value{};
  // The text always holds at least one digit and ends at its zero byte;
  // fast_float stops at an empty exponent ("1e", "1e-"), which then counts
  // as 0, and saturates exponents of any length to infinity or zero. Out of
  // range is no error here: fast_float has already written the signed
  // infinity or zero that rounding gives (newer releases also report it as
  // result_out_of_range), which is the value to store.
  //
  // The sign is applied here, not by the parser: the magnitude rounds the
  // same either way (rounding to nearest is symmetric) and negation is
  // exact, while the parser, built with clang, returns +0 for a negative
  // zero whenever the rounding mode is not to nearest.
  const bool negative = *text == '-';
  const char* digits = text + (negative ? 1 : 0);
  fast_float::from_chars(digits, digits + std::strlen(digits), value);
  if (negative) value = -value;
  std::memcpy(destination, &value, sizeof value);
}

}  // namespace

void FloatStoreHook(int selector, void* destination, const char* text) {
  if (selector >= 1)
    StoreFloat<double>(destination, text);
  else
    StoreFloat<float>(destination, text);
}

// Never inlined: its number text would otherwise sit in the frame of every
// call, whatever directives the format holds.
[[gnu::noinline]] bool ScanFloat(DirectiveSpec& spec, ScanState& state, ScanSource& source,
                                 void* destination) {
  NumberText text;
  std::int32_t unitsLeft = spec.width;
  int c = state.current;

  if (c == '-' || c == '+') {
    if (c == '-') text.Append('-');
    --unitsLeft;
    c = source.Read();
  }
  // Without a width the sign costs no unit; with one, it costs one before
  // the limit applies.
  if (spec.widthDigits == 0 || unitsLeft > MaxUnits || unitsLeft < 0) unitsLeft = MaxUnits;

  TakeDigits(c, unitsLeft, text, source);
  if (c == '.' && unitsLeft > 0) {
    --unitsLeft;
    c = source.Read();
    text.Append('.');
    TakeDigits(c, unitsLeft, text, source);
  }
  // The exponent is entered only after a digit. Its sign is appended (or,
  // for '+', dropped) even when no unit is left to read past it; it is then
  // given back with the value that ended the field.
  if (text.anyDigit && (c == 'e' || c == 'E') && unitsLeft > 0) {
    --unitsLeft;
    text.Append('e');
    c = source.Read();
    if (c == '-' || c == '+') {
      if (c == '-') text.Append('-');
      if (unitsLeft > 0) {
        --unitsLeft;
        c = source.Read();
      }
    }
    TakeDigits(c, unitsLeft, text, source);
  }

  source.Unread(c);
  state.current = c;
  if (!text.anyDigit) return false;
  if (!spec.suppress) {
    ++state.assignedCount;
    text.Append(0);
    const int selector = spec.sizeLevel > INT32_MIN ? spec.sizeLevel - 1 : INT32_MIN;
    FloatStoreHook(selector, destination, text.bytes);
  }
  return true;
}

}  // namespace voltrima
