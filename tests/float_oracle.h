// Random number texts of every form that the float scanner hands to its
// store, and a comparison of the store with the C library's strtof/strtod,
// used here only as an independent, correctly rounded converter. Free of
// GoogleTest, so that the same check can be built by hand for other targets.
#ifndef VOLTRIMA_TESTS_FLOAT_ORACLE_H
#define VOLTRIMA_TESTS_FLOAT_ORACLE_H

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "scan/scan.h"

namespace voltrima::testing {

using Rng = std::mt19937_64;

inline std::uint64_t Below(Rng& rng, std::uint64_t n) { return rng() % n; }
inline std::int64_t Between(Rng& rng, std::int64_t lo, std::int64_t hi) {
  return lo + static_cast<std::int64_t>(Below(rng, static_cast<std::uint64_t>(hi - lo + 1)));
}
inline bool OneIn(Rng& rng, std::uint64_t n) { return Below(rng, n) == 0; }

// A decimal value: `digits` times ten to the power `exponent`.
struct Decimal {
  bool negative = false;
  std::string digits;
  std::int64_t exponent = 0;
};

// Longest digit string a generated decimal carries.
inline constexpr std::size_t MaxDigits = 349;

inline std::string RandomDigits(Rng& rng, std::size_t count) {
  std::string out;
  const bool allZero = OneIn(rng, 30);
  for (std::size_t i = 0; i < count; ++i)
    out.push_back(allZero ? '0' : static_cast<char>('0' + Below(rng, 10)));
  return out;
}

inline std::size_t RandomDigitCount(Rng& rng) {
  switch (Below(rng, 10)) {
    case 0: case 1: case 2: case 3: return static_cast<std::size_t>(Between(rng, 1, 9));
    case 4: case 5: return static_cast<std::size_t>(Between(rng, 10, 19));
    case 6: case 7: return static_cast<std::size_t>(Between(rng, 20, 40));
    case 8: return static_cast<std::size_t>(Between(rng, 41, 120));
    default: return static_cast<std::size_t>(Between(rng, 121, MaxDigits));
  }
}

// The decimal exponent of the value's leading digit: near 1, across the
// binary32 and binary64 ranges, at their edges, or far beyond them.
inline std::int64_t RandomMagnitude(Rng& rng) {
  switch (Below(rng, 10)) {
    case 0: case 1: return Between(rng, -6, 8);
    case 2: case 3: return Between(rng, -47, 40);
    case 4: case 5: return Between(rng, -326, 310);
    case 6: return OneIn(rng, 2) ? Between(rng, -47, -36) : Between(rng, 36, 40);
    case 7: return OneIn(rng, 2) ? Between(rng, -326, -306) : Between(rng, 306, 310);
    case 8: return Between(rng, -1000, 1000);
    default: {
      const std::int64_t huge = Between(rng, 1000, 1000000000000000LL);
      return OneIn(rng, 2) ? huge : -huge;
    }
  }
}

inline Decimal RandomDecimal(Rng& rng) {
  Decimal d;
  d.negative = OneIn(rng, 2);
  d.digits = RandomDigits(rng, RandomDigitCount(rng));
  d.exponent = RandomMagnitude(rng) - static_cast<std::int64_t>(d.digits.size()) + 1;
  return d;
}

// Reads the digits and exponent out of printf's "%e" form "d.ddde+XX",
// dropping trailing zeros and cutting the digits to MaxDigits.
inline Decimal FromScientific(bool negative, const char* text) {
  Decimal d;
  d.negative = negative;
  const char* p = text;
  for (; *p != 'e'; ++p)
    if (*p != '.') d.digits.push_back(*p);
  const std::int64_t leadExponent = std::strtoll(p + 1, nullptr, 10);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.size() > MaxDigits) d.digits.resize(MaxDigits);
  d.exponent = leadExponent - static_cast<std::int64_t>(d.digits.size()) + 1;
  return d;
}

// A finite, non-negative value of the format: often one of its landmarks
// (zero, the subnormals, the smallest normal, the largest finite value),
// otherwise one with random bits.
template <typename Float>
Float PickFloat(Rng& rng) {
  using Limits = std::numeric_limits<Float>;
  const Float landmarks[] = {
      Float(0),
      Limits::denorm_min(),
      Limits::denorm_min() * 2,
      Limits::denorm_min() * 3,
      Limits::min(),
      std::nextafter(Limits::min(), Float(0)),
      std::nextafter(Limits::min(), Limits::infinity()),
      Limits::max(),
      std::nextafter(Limits::max(), Float(0)),
      Float(1),
      std::nextafter(Float(1), Float(0)),
  };
  if (OneIn(rng, 4)) return landmarks[Below(rng, std::size(landmarks))];
  for (;;) {
    Float value;
    if constexpr (sizeof(Float) == 4) {
      const auto bits = static_cast<std::uint32_t>(rng() & 0x7FFFFFFF);
      std::memcpy(&value, &bits, sizeof value);
    } else {
      const std::uint64_t bits = rng() & 0x7FFFFFFFFFFFFFFFULL;
      std::memcpy(&value, &bits, sizeof value);
    }
    if (std::isfinite(value)) return value;
  }
}

// The exact decimal of the point halfway between `value` and the next value
// of its format (past the largest finite value, the power of two that
// overflows), or a text just above or below it. Needs a long double with
// more precision than the format; returns false without one.
template <typename Float>
bool HalfwayDecimal(Rng& rng, Float value, Decimal& out) {
  if constexpr (std::numeric_limits<long double>::digits <= std::numeric_limits<Float>::digits) {
    return false;
  } else {
    using Limits = std::numeric_limits<Float>;
    const long double low = value;
    const long double high = value == Limits::max()
                                 ? std::ldexp(1.0L, Limits::max_exponent)
                                 : static_cast<long double>(std::nextafter(value, Limits::infinity()));
    const long double mid = (low + high) / 2;
    char text[1200];
    std::snprintf(text, sizeof text, "%.1100Le", mid);
    out = FromScientific(OneIn(rng, 2), text);
    switch (Below(rng, 4)) {
      case 0:  // just above
        if (out.digits.size() < MaxDigits) {
          const std::size_t zeros = static_cast<std::size_t>(
              Between(rng, 0, static_cast<std::int64_t>(MaxDigits - out.digits.size()) - 1));
          out.digits += std::string(zeros, '0') + "1";
          out.exponent -= static_cast<std::int64_t>(zeros) + 1;
        }
        break;
      case 1:  // just below: the last digit is not 0, so dropping it lowers the value
        if (out.digits.size() > 1) {
          out.digits.pop_back();
          ++out.exponent;
        }
        break;
      default:  // exactly halfway, unless the exact decimal was too long
        break;
    }
    return true;
  }
}

// A nearby decimal of a value of the format, as printf writes it with a
// random number of digits.
template <typename Float>
Decimal NearbyDecimal(Rng& rng, Float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", static_cast<int>(Below(rng, 25)), double(value));
  return FromScientific(OneIn(rng, 2), text);
}

inline std::string RandomExponentText(Rng& rng, std::int64_t exponent) {
  std::string out = "e";
  if (exponent < 0) out += '-';
  if (OneIn(rng, 8)) out += std::string(static_cast<std::size_t>(Between(rng, 1, 30)), '0');
  const std::uint64_t magnitude =
      exponent < 0 ? 0 - static_cast<std::uint64_t>(exponent) : static_cast<std::uint64_t>(exponent);
  out += std::to_string(magnitude);
  return out;
}

// At most this many characters of a field use a unit of its width.
inline constexpr std::size_t MaxUnits = 349;

// Writes `d` in one of the forms the scanner produces: '-' or nothing, then
// integer digits, an optional '.', fraction digits, and an exponent that may
// be left out when it is 0 or written empty ('e', 'e-'). A text longer than
// a field can be loses digits at the end of its mantissa.
inline std::string Render(Rng& rng, const Decimal& d) {
  const std::string& digits = d.digits;
  const std::size_t n = digits.size();
  // Digits before the point; the rest become fraction digits.
  std::size_t integerDigits = n;
  if (!OneIn(rng, 3)) integerDigits = static_cast<std::size_t>(Between(rng, 0, static_cast<std::int64_t>(n)));
  const std::int64_t exponent = d.exponent + static_cast<std::int64_t>(n - integerDigits);

  std::string mantissa;
  if (OneIn(rng, 6)) mantissa.append(static_cast<std::size_t>(Between(rng, 1, 4)), '0');
  mantissa += digits.substr(0, integerDigits);
  if (integerDigits < n) {
    mantissa += '.';
    mantissa += digits.substr(integerDigits);
  } else if (OneIn(rng, 3)) {
    mantissa += '.';  // "5."
  }
  std::string exponentText;
  if (exponent != 0 || OneIn(rng, 2)) {
    exponentText = RandomExponentText(rng, exponent);
  } else if (OneIn(rng, 3)) {
    exponentText = OneIn(rng, 2) ? "e" : "e-";  // an empty exponent is 0
  }
  if (mantissa.size() + exponentText.size() > MaxUnits) mantissa.resize(MaxUnits - exponentText.size());
  return (d.negative ? "-" : "") + mantissa + exponentText;
}

// The next text: random digits at any magnitude, or a point halfway between
// two neighbouring values of either format (or just off it), or a short
// decimal near one of them.
inline std::string NextNumberText(Rng& rng) {
  Decimal d;
  switch (Below(rng, 8)) {
    case 0: case 1: case 2:
      d = RandomDecimal(rng);
      break;
    case 3:
      if (!HalfwayDecimal(rng, PickFloat<float>(rng), d)) d = RandomDecimal(rng);
      break;
    case 4: case 5:
      if (!HalfwayDecimal(rng, PickFloat<double>(rng), d)) d = RandomDecimal(rng);
      break;
    case 6:
      d = NearbyDecimal(rng, PickFloat<float>(rng));
      break;
    default:
      d = NearbyDecimal(rng, PickFloat<double>(rng));
      break;
  }
  return Render(rng, d);
}

// The bytes the store writes for `text` with `selector`, from a buffer
// filled with 0xAA so that a write past the value's size shows.
struct StoredBytes {
  unsigned char bytes[16];
  bool operator==(const StoredBytes&) const = default;
};

inline StoredBytes Store(int selector, const std::string& text) {
  StoredBytes out;
  std::memset(out.bytes, 0xAA, sizeof out.bytes);
  FloatStoreHook(selector, out.bytes, text.c_str());
  return out;
}

// What the store should write: the oracle's value in the first 4 or 8 bytes.
inline StoredBytes Expected(int selector, const std::string& text) {
  StoredBytes out;
  std::memset(out.bytes, 0xAA, sizeof out.bytes);
  if (selector >= 1) {
    const double value = std::strtod(text.c_str(), nullptr);
    std::memcpy(out.bytes, &value, sizeof value);
  } else {
    const float value = std::strtof(text.c_str(), nullptr);
    std::memcpy(out.bytes, &value, sizeof value);
  }
  return out;
}

inline std::string Hex(const StoredBytes& b) {
  std::string out;
  char pair[4];
  for (unsigned char c : b.bytes) {
    std::snprintf(pair, sizeof pair, "%02X", unsigned(c));
    out += pair;
  }
  return out;
}

// A selector of the binary32 store (0 or below) or of the binary64 store (1 or above).
inline int RandomSelector(Rng& rng, bool binary64) {
  const int offsets[] = {0, 0, 0, 1, 2, 5};
  const int offset = offsets[Below(rng, std::size(offsets))];
  return binary64 ? 1 + offset : -offset;
}

}  // namespace voltrima::testing

#endif  // VOLTRIMA_TESTS_FLOAT_ORACLE_H
