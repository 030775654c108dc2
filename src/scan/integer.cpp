// Integer conversions (%d %i %o %u %x %p) and the count (%n). The value is
// accumulated as the characters are read: no text is collected, nothing
// reports overflow, and the store keeps the low bits its size takes.
#include <cstring>

#include "scan.h"

namespace voltrima {
namespace {

// The value of every hexadecimal digit; 0xFF for every other byte, so that
// one comparison with the base tests membership in base 8, 10 or 16.
struct DigitTable {
  std::uint8_t value[256];
  constexpr DigitTable() : value{} {
    for (unsigned b = 0; b < 256; ++b) value[b] = 0xFF;
    for (unsigned d = 0; d < 10; ++d) value['0' + d] = static_cast<std::uint8_t>(d);
    for (unsigned d = 0; d < 6; ++d) {
      value['a' + d] = static_cast<std::uint8_t>(10 + d);
      value['A' + d] = static_cast<std::uint8_t>(10 + d);
    }
  }
};

constexpr DigitTable Digits;

// The value of a hexadecimal digit; 0xFF for a byte of no digit class.
unsigned HexDigitValue(unsigned char b) { return Digits.value[b]; }

// The digit's value when `c` is a digit of `base`; `base` or more otherwise.
// EndOfInput and the bytes 0x80..0xFF are digits of no base.
unsigned DigitIn(int c, unsigned base) {
  if (static_cast<unsigned>(c) >= 256) return base;
  return HexDigitValue(static_cast<unsigned char>(c));
}

unsigned BaseOf(const DirectiveSpec& spec) {
  switch (spec.conversion) {
    case 'o': return 8;
    case 'x': return 16;
    case 'p': return spec.isInt64 ? 10 : 16;  // %I64p reads decimal
    default: return 10;                       // d, u, and i until its prefix says otherwise
  }
}

// Reads the digits of the field into a wrapping accumulator. The width, when
// given, counts every digit; when it runs out nothing more is read and
// `current` keeps the last digit. Otherwise the non-digit that ended the
// field is read and given back.
//
// A digit in `c` came from the byte just before the cursor, so the run is
// walked in place; the count and the cursor then end where those Reads and
// the Unread would have left them: just past the last digit, with one read
// counted for every digit after the first.
template <typename Accumulator>
Accumulator AccumulateDigits(int& c, unsigned base, bool hasWidth, std::int32_t& widthLeft,
                             bool& anyDigit, ScanSource& source) {
  unsigned digit = DigitIn(c, base);
  if (digit >= base) {
    source.Unread(c);
    return 0;
  }
  const unsigned char* run = source.cursor - 1;
  std::int32_t taken = 0;
  Accumulator value = 0;
  do {
    value = static_cast<Accumulator>(value * base + digit);
    ++taken;
    if (hasWidth && --widthLeft == 0) break;
    digit = HexDigitValue(run[taken]);  // the zero byte is no digit
  } while (digit < base);
  anyDigit = true;
  source.cursor = run + taken;
  source.consumedCount += static_cast<std::uint32_t>(taken - 1);
  if (hasWidth && widthLeft == 0)
    c = run[taken - 1];
  else
    c = run[taken] != 0 ? run[taken] : EndOfInput;
  return value;
}

}  // namespace

void StoreInteger(void* destination, std::uint64_t value, const DirectiveSpec& spec) {
  if (spec.isInt64) {
    std::memcpy(destination, &value, 8);
  } else if (spec.sizeLevel == 0 && spec.conversion != 'p') {
    const auto low = static_cast<std::uint16_t>(value);
    std::memcpy(destination, &low, 2);
  } else {
    const auto low = static_cast<std::uint32_t>(value);
    std::memcpy(destination, &low, 4);
  }
}

bool ScanInteger(DirectiveSpec& spec, ScanState& state, ScanSource& source, void* destination) {
  const int letter = spec.conversion;
  const bool hasWidth = spec.widthDigits > 0;
  std::int32_t widthLeft = spec.width;
  unsigned base = BaseOf(spec);
  bool negative = false;
  bool anyDigit = false;
  int c = state.current;

  if (c == '-' || c == '+') {
    negative = c == '-';
    // A sign that uses up the width ends the field: nothing more is read
    // and `current` stays the sign.
    if (hasWidth && --widthLeft == 0) return false;
    c = source.Read();
  }

  // The 0x prefix of %i and %x, and the leading 0 of %i, cost no width.
  if (c == '0' && (letter == 'i' || letter == 'x')) {
    c = source.Read();
    if (c == 'x' || c == 'X') {
      c = source.Read();
      base = 16;
    } else {
      anyDigit = true;
      if (letter == 'x') {
        source.Unread(c);  // the zero is read again by the digit loop
        c = '0';
      } else {
        base = 8;
      }
    }
  }

  std::uint64_t value;
  if (spec.isInt64)
    value = AccumulateDigits<std::uint64_t>(c, base, hasWidth, widthLeft, anyDigit, source);
  else
    value = AccumulateDigits<std::uint32_t>(c, base, hasWidth, widthLeft, anyDigit, source);
  state.current = c;

  if (!anyDigit) return false;
  if (negative) value = 0 - value;  // two's complement for every letter
  if (!spec.suppress) {
    ++state.assignedCount;
    StoreInteger(destination, value, spec);
  }
  return true;
}

bool StoreCount(DirectiveSpec& spec, ScanState&, ScanSource& source, void* destination) {
  if (!spec.suppress) StoreInteger(destination, source.consumedCount, spec);
  return true;
}

}  // namespace voltrima
