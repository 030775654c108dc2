// Helpers that make a scanning case one line: guarded destinations, byte
// images of what a store should write, and one call with up to 20
// destinations.
#ifndef VOLTRIMA_TESTS_HARNESS_H
#define VOLTRIMA_TESTS_HARNESS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "scan/scan.h"
#include "voltrima.h"

namespace voltrima::testing {

// The bytes a store should leave at a destination, in order.
using Bytes = std::string;

inline Bytes Le(std::uint64_t value, int size) {
  Bytes out;
  for (int i = 0; i < size; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}
inline Bytes I16(std::int64_t v) { return Le(static_cast<std::uint64_t>(v), 2); }
inline Bytes I32(std::int64_t v) { return Le(static_cast<std::uint64_t>(v), 4); }
inline Bytes I64(std::int64_t v) { return Le(static_cast<std::uint64_t>(v), 8); }
inline Bytes U64(std::uint64_t v) { return Le(v, 8); }
// Narrow text exactly as written, a terminator included only where given.
inline Bytes Str(const char* text, std::size_t size) { return Bytes(text, size); }
inline Bytes Str(const std::string& text) { return text; }
// Wide text: one little-endian 16-bit unit per byte of `text`.
inline Bytes Wide(const std::string& text) {
  Bytes out;
  for (unsigned char c : text) out += Le(c, 2);
  return out;
}
inline Bytes F32(float v) { return Bytes(reinterpret_cast<const char*>(&v), 4); }
inline Bytes F64(double v) { return Bytes(reinterpret_cast<const char*>(&v), 8); }

inline constexpr unsigned char Guard = 0xAA;

// Twenty destinations of 512 bytes each, filled with a guard byte, so that a
// test sees exactly which bytes the scan wrote.
struct Destinations {
  static constexpr std::size_t Size = 512;
  unsigned char bytes[20][Size];

  Destinations() { std::memset(bytes, Guard, sizeof bytes); }
  void* operator[](int i) { return bytes[i]; }

  // Calls DllSscanf with the first `count` destinations, then a null.
  int Scan(const char* input, const char* format, int count = 20) {
    void* p[21] = {};
    for (int i = 0; i < count && i < 20; ++i) p[i] = bytes[i];
    return DllSscanf(input, format, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9],
                     p[10], p[11], p[12], p[13], p[14], p[15], p[16], p[17], p[18], p[19], p[20]);
  }

  std::int32_t Int32(int i) const {
    std::int32_t v;
    std::memcpy(&v, bytes[i], 4);
    return v;
  }

  // Destination i holds exactly `expected` and is untouched after it.
  ::testing::AssertionResult Holds(int i, const Bytes& expected) const {
    for (std::size_t k = 0; k < Size; ++k) {
      const unsigned want = k < expected.size() ? static_cast<unsigned char>(expected[k]) : Guard;
      if (bytes[i][k] != want) {
        char message[96];
        std::snprintf(message, sizeof message, "destination %d byte %zu is 0x%02X, expected 0x%02X",
                      i + 1, k, unsigned(bytes[i][k]), want);
        return ::testing::AssertionFailure() << message;
      }
    }
    return ::testing::AssertionSuccess();
  }
};

// One table row: a call with 20 destinations, its result, and the exact
// bytes of each destination (the ones not listed must stay untouched).
struct ScanCase {
  const char* format;
  std::string input;
  int result;
  std::vector<Bytes> stored;
};

inline void ExpectCase(const ScanCase& c) {
  SCOPED_TRACE(std::string("format \"") + c.format + "\" on \"" + c.input + "\"");
  Destinations d;
  EXPECT_EQ(d.Scan(c.input.c_str(), c.format), c.result);
  for (int i = 0; i < 20; ++i)
    EXPECT_TRUE(d.Holds(i, i < static_cast<int>(c.stored.size()) ? c.stored[i] : Bytes()));
}

inline void ExpectCases(std::initializer_list<ScanCase> cases) {
  for (const ScanCase& c : cases) ExpectCase(c);
}

// One directive run straight through its conversion, prepared as the driver
// prepares it: whether it succeeded, what it consumed, what is left of the
// input, the value in hand, and where the format position rests (from the
// '%'; -1 after a failure). A failed field ends the scan, so no %n can show
// these; this can. A suppressed directive stores nothing.
struct FieldEnd {
  bool ok;
  std::uint32_t consumed;
  std::string rest;
  int current = NoValue;
  int formatOffset = -1;
};

inline FieldEnd RunField(const char* directive, const char* input, bool suppress = false) {
  DirectiveSpec spec;
  const auto* format = reinterpret_cast<const unsigned char*>(directive);
  const unsigned char* position = ParseDirective(format, spec);
  spec.suppress = spec.suppress || suppress;
  ScanSource source = OpenSource(input);
  ScanState state;
  // %c and scan sets skip no whitespace before their first character.
  state.current = spec.conversion == 'c' || spec.conversion == '{' ? source.Read()
                                                                   : source.SkipWhitespace();
  alignas(8) unsigned char destination[Destinations::Size];
  void* to = spec.suppress ? nullptr : destination;
  bool ok = false;
  switch (KindOf(spec.conversion)) {
    case ConversionKind::Integer: ok = ScanInteger(spec, state, source, to); break;
    case ConversionKind::Text: ok = ScanText(spec, state, source, to, position); break;
    case ConversionKind::Float: ok = ScanFloat(spec, state, source, to); break;
    default: ADD_FAILURE() << directive << " is not a field directive";
  }
  return {ok, source.consumedCount, reinterpret_cast<const char*>(source.cursor), state.current,
          ok ? static_cast<int>(position - format) : -1};
}

// One row of a table of fields run straight through their conversion.
struct FieldCase {
  const char* directive;
  const char* input;
  FieldEnd expected;
};

// Checks what each field consumed and left; `current` only where the row
// gives one, and the format position only where a successful row gives one.
inline void ExpectFieldEnds(std::initializer_list<FieldCase> cases, bool suppress = false) {
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(std::string(c.directive) + " on \"" + c.input + "\"");
    const FieldEnd got = RunField(c.directive, c.input, suppress);
    EXPECT_EQ(got.ok, c.expected.ok);
    EXPECT_EQ(got.consumed, c.expected.consumed);
    EXPECT_EQ(got.rest, c.expected.rest);
    if (c.expected.current != NoValue) {
      EXPECT_EQ(got.current, c.expected.current);
    }
    if (c.expected.ok && c.expected.formatOffset != -1) {
      EXPECT_EQ(got.formatOffset, c.expected.formatOffset);
    }
  }
}

}  // namespace voltrima::testing

#endif  // VOLTRIMA_TESTS_HARNESS_H
