// The benchmark's workloads: for each kind of field, random inputs and the
// same extraction through three routes.
//
//   Ours   DllSscanf with our format.
//   Libc   the C library's sscanf with the equivalent format (the values
//          are chosen so that both give the same results).
//   Limit  a hand-written extraction of the same fields with
//          std::from_chars and plain loops, no format interpretation.
//
// Every route fills a zeroed `Values`, so that two routes agree exactly when
// their bytes are equal. `OursNext` and `LibcNext` are the forms that walk a
// long text value after value: they add %n to learn how far they went.
// `Limit` returns the end of what it read (nullptr on failure), which is
// both its single and its walking form.
#ifndef VOLTRIMA_BENCH_WORKLOADS_H
#define VOLTRIMA_BENCH_WORKLOADS_H

#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "voltrima.h"

namespace voltrima::bench {

using Rng = std::mt19937_64;

// ---------------------------------------------------------------------------
// Plain-loop helpers of the limit route.

inline bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline const char* SkipBlanks(const char* p, const char* end) {
  while (p != end && IsBlank(*p)) ++p;
  return p;
}

template <typename Int>
const char* LimitInt(const char* p, const char* end, Int& value, int base = 10) {
  p = SkipBlanks(p, end);
  const auto [next, error] = std::from_chars(p, end, value, base);
  return error == std::errc{} ? next : nullptr;
}

template <typename Float>
const char* LimitFloat(const char* p, const char* end, Float& value) {
  p = SkipBlanks(p, end);
  const auto [next, error] = std::from_chars(p, end, value);
  return error == std::errc{} ? next : nullptr;
}

// Copies the run of bytes that `accept` takes, then a zero byte.
template <typename Accept>
const char* LimitRun(const char* p, const char* end, char* out, Accept accept) {
  const char* first = p;
  while (p != end && accept(*p)) *out++ = *p++;
  *out = 0;
  return p == first ? nullptr : p;
}

inline const char* LimitWord(const char* p, const char* end, char* out) {
  p = SkipBlanks(p, end);
  return LimitRun(p, end, out, [](char c) { return !IsBlank(c); });
}

inline bool IsLowerLetter(char c) { return c >= 'a' && c <= 'z'; }
inline bool IsLowerLetterOrDigit(char c) { return IsLowerLetter(c) || (c >= '0' && c <= '9'); }

// ---------------------------------------------------------------------------
// Random values, printed as callers print them.

inline std::int32_t RandomInt32(Rng& rng) {
  // Every length from 1 to 10 digits, either sign.
  const unsigned bits = static_cast<unsigned>(rng() % 31) + 1;
  auto magnitude = static_cast<std::int32_t>(rng() & ((std::uint64_t{1} << bits) - 1));
  return (rng() & 1) ? -magnitude : magnitude;
}

inline std::int64_t RandomInt64(Rng& rng) {
  const unsigned bits = static_cast<unsigned>(rng() % 63) + 1;
  auto magnitude = static_cast<std::int64_t>(rng() & ((std::uint64_t{1} << bits) - 1));
  return (rng() & 1) ? -magnitude : magnitude;
}

inline std::string RandomWord(Rng& rng) {
  std::string word(static_cast<std::size_t>(rng() % 12) + 1, 'a');
  for (char& c : word) c = static_cast<char>('a' + rng() % 26);
  return word;
}

// A double of any sign and a wide range of magnitudes, at full precision.
inline std::string RandomDoubleText(Rng& rng) {
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  const int exponent = static_cast<int>(rng() % 161) - 80;
  double value = std::ldexp(mantissa(rng), exponent);
  if (rng() & 1) value = -value;
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

inline std::string RandomFloatText(Rng& rng) {
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  const int exponent = static_cast<int>(rng() % 61) - 30;
  float value = std::ldexp(mantissa(rng), exponent);
  if (rng() & 1) value = -value;
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

inline std::string Printed(const char* format, auto... values) {
  char text[200];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// ---------------------------------------------------------------------------
// The workloads. `Random` prints one input; `Separator` joins inputs into the
// long text of the walking form.

struct OneInt {
  static constexpr const char* Name = "int";
  static constexpr const char* Separator = " ";
  struct Values { int a; };
  static std::string Random(Rng& rng) { return Printed("%d", RandomInt32(rng)); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%d", &v.a, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, "%d%n", &v.a, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%d", &v.a); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, "%d%n", &v.a, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) { return LimitInt(p, end, v.a); }
};

struct ThreeInts {
  static constexpr const char* Name = "three_ints";
  static constexpr const char* Separator = "\n";
  struct Values { int a, b, c; };
  static std::string Random(Rng& rng) {
    return Printed("%d %d %d", RandomInt32(rng), RandomInt32(rng), RandomInt32(rng));
  }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%d %d %d", &v.a, &v.b, &v.c, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) {
    return DllSscanf(in, "%d %d %d%n", &v.a, &v.b, &v.c, &n, nullptr);
  }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%d %d %d", &v.a, &v.b, &v.c); }
  static int LibcNext(const char* in, Values& v, int& n) {
    return std::sscanf(in, "%d %d %d%n", &v.a, &v.b, &v.c, &n);
  }
  static const char* Limit(const char* p, const char* end, Values& v) {
    if (!(p = LimitInt(p, end, v.a))) return nullptr;
    if (!(p = LimitInt(p, end, v.b))) return nullptr;
    return LimitInt(p, end, v.c);
  }
};

struct Hex {
  static constexpr const char* Name = "hex";
  static constexpr const char* Separator = " ";
  struct Values { unsigned a; };
  static std::string Random(Rng& rng) { return Printed("%x", static_cast<unsigned>(RandomInt32(rng))); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%x", &v.a, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, "%x%n", &v.a, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%x", &v.a); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, "%x%n", &v.a, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) { return LimitInt(p, end, v.a, 16); }
};

struct Int64 {
  static constexpr const char* Name = "int64";
  static constexpr const char* Separator = " ";
  struct Values { long long a; };
  static std::string Random(Rng& rng) { return Printed("%lld", static_cast<long long>(RandomInt64(rng))); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%I64d", &v.a, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, "%I64d%n", &v.a, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%lld", &v.a); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, "%lld%n", &v.a, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) { return LimitInt(p, end, v.a); }
};

struct Word {
  static constexpr const char* Name = "word";
  static constexpr const char* Separator = " ";
  struct Values { char s[16]; };
  static std::string Random(Rng& rng) { return RandomWord(rng); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%s", v.s, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, "%s%n", v.s, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%s", v.s); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, "%s%n", v.s, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) { return LimitWord(p, end, v.s); }
};

// A scan set does not skip whitespace: the walking form's format starts
// with a space to step over the separator.
struct ScanSetWord {
  static constexpr const char* Name = "scan_set";
  static constexpr const char* Separator = " ";
  struct Values { char s[16]; };
  static std::string Random(Rng& rng) { return RandomWord(rng); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%[a-z]", v.s, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, " %[a-z]%n", v.s, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%[a-z]", v.s); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, " %[a-z]%n", v.s, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) {
    return LimitRun(SkipBlanks(p, end), end, v.s, IsLowerLetter);
  }
};

struct Double {
  static constexpr const char* Name = "double";
  static constexpr const char* Separator = " ";
  struct Values { double a; };
  static std::string Random(Rng& rng) { return RandomDoubleText(rng); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%lf", &v.a, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, "%lf%n", &v.a, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%lf", &v.a); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, "%lf%n", &v.a, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) { return LimitFloat(p, end, v.a); }
};

struct Float {
  static constexpr const char* Name = "float";
  static constexpr const char* Separator = " ";
  struct Values { float a; };
  static std::string Random(Rng& rng) { return RandomFloatText(rng); }
  static int Ours(const char* in, Values& v) { return DllSscanf(in, "%f", &v.a, nullptr); }
  static int OursNext(const char* in, Values& v, int& n) { return DllSscanf(in, "%f%n", &v.a, &n, nullptr); }
  static int Libc(const char* in, Values& v) { return std::sscanf(in, "%f", &v.a); }
  static int LibcNext(const char* in, Values& v, int& n) { return std::sscanf(in, "%f%n", &v.a, &n); }
  static const char* Limit(const char* p, const char* end, Values& v) { return LimitFloat(p, end, v.a); }
};

// A log line of six fields of several kinds: an id, a level, a node name, a
// hexadecimal code, a latency and a byte count.
struct LogLine {
  static constexpr const char* Name = "log_line";
  static constexpr const char* Separator = "\n";
  struct Values {
    int id;
    char level[8];
    char node[16];
    unsigned code;
    double latency;
    long long bytes;
  };
  static std::string Random(Rng& rng) {
    static constexpr const char* Levels[] = {"INFO", "WARN", "ERROR", "DEBUG"};
    return std::to_string(rng() % 100000) + " " + Levels[rng() % 4] + " node" +
           std::to_string(rng() % 64) + " " + Printed("%x", static_cast<unsigned>(rng())) + " " +
           RandomDoubleText(rng) + " " + std::to_string(rng() % 10000000000000);
  }
  static int Ours(const char* in, Values& v) {
    return DllSscanf(in, "%d %s %[a-z0-9] %x %lf %I64d", &v.id, v.level, v.node, &v.code, &v.latency,
                     &v.bytes, nullptr);
  }
  static int OursNext(const char* in, Values& v, int& n) {
    return DllSscanf(in, "%d %s %[a-z0-9] %x %lf %I64d%n", &v.id, v.level, v.node, &v.code, &v.latency,
                     &v.bytes, &n, nullptr);
  }
  static int Libc(const char* in, Values& v) {
    return std::sscanf(in, "%d %s %[a-z0-9] %x %lf %lld", &v.id, v.level, v.node, &v.code, &v.latency,
                       &v.bytes);
  }
  static int LibcNext(const char* in, Values& v, int& n) {
    return std::sscanf(in, "%d %s %[a-z0-9] %x %lf %lld%n", &v.id, v.level, v.node, &v.code, &v.latency,
                       &v.bytes, &n);
  }
  static const char* Limit(const char* p, const char* end, Values& v) {
    if (!(p = LimitInt(p, end, v.id))) return nullptr;
    if (!(p = LimitWord(p, end, v.level))) return nullptr;
    if (!(p = LimitRun(SkipBlanks(p, end), end, v.node, IsLowerLetterOrDigit))) return nullptr;
    if (!(p = LimitInt(p, end, v.code, 16))) return nullptr;
    if (!(p = LimitFloat(p, end, v.latency))) return nullptr;
    return LimitInt(p, end, v.bytes);
  }
};

}  // namespace voltrima::bench

#endif  // VOLTRIMA_BENCH_WORKLOADS_H
