#include "render.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vscan {
namespace {

void AppendHex(std::string& out, std::uint64_t value, int digits) {
  static constexpr char Hex[] = "0123456789abcdef";
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += Hex[(value >> shift) & 0xF];
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char buffer[64];
  const auto done = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, done.ptr);
}

void AppendEscapedUnit(std::string& out, unsigned unit, Style style) {
  const bool quoted = style != Style::Tsv;
  switch (unit) {
    case '\\': out += "\\\\"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '"':
      out += quoted ? "\\\"" : "\"";
      return;
    default: break;
  }
  if (unit >= 0x20 && unit < 0x7F) {
    out += static_cast<char>(unit);
  } else if (style == Style::Json) {
    out += "\\u";  // bytes read as Latin-1, so the line stays ASCII
    AppendHex(out, unit, 4);
  } else if (unit <= 0xFF) {
    out += "\\x";
    AppendHex(out, unit, 2);
  } else {
    out += "\\u";
    AppendHex(out, unit, 4);
  }
}

std::uint64_t LittleEndian(const unsigned char* bytes, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

std::int64_t SignExtend(std::uint64_t value, std::size_t size) {
  const unsigned bits = static_cast<unsigned>(8 * size);
  if (bits >= 64) return static_cast<std::int64_t>(value);
  const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
  return static_cast<std::int64_t>((value ^ sign) - sign);
}

void AppendInteger(std::string& out, const Step& step, const unsigned char* bytes,
                   std::size_t size, Style style) {
  const std::uint64_t raw = LittleEndian(bytes, size);
  if (IsSignedLetter(step))
    AppendNumber(out, SignExtend(raw, size));
  else
    AppendNumber(out, raw);
  if (style == Style::Human) {
    out += " (0x";
    AppendHex(out, raw, static_cast<int>(2 * size));
    out += ')';
  }
}

// The shortest text that reads back as the same value.
void AppendFloat(std::string& out, const unsigned char* bytes, std::size_t size, Style style) {
  double widened;
  if (size == sizeof(float)) {
    float value;
    std::memcpy(&value, bytes, sizeof value);
    widened = value;
    if (std::isfinite(value)) return AppendNumber(out, value);
  } else {
    std::memcpy(&widened, bytes, sizeof widened);
    if (std::isfinite(widened)) return AppendNumber(out, widened);
  }
  const char* name = std::isnan(widened) ? "nan" : widened < 0 ? "-inf" : "inf";
  if (style == Style::Json) {
    out += '"';
    out += name;
    out += '"';
  } else {
    out += name;
  }
}

std::string Units(std::int32_t count, bool wide) {
  std::string text = std::to_string(count) + (wide ? " 16-bit unit" : " byte");
  return count == 1 ? text : text + "s";
}

}  // namespace

void AppendText(std::string& out, const unsigned char* bytes, std::size_t units, int unitSize,
                Style style) {
  if (style != Style::Tsv) out += '"';
  for (std::size_t i = 0; i < units; ++i) {
    const unsigned unit = unitSize == 2 ? bytes[2 * i] | (bytes[2 * i + 1] << 8) : bytes[i];
    AppendEscapedUnit(out, unit, style);
  }
  if (style != Style::Tsv) out += '"';
}

void AppendValue(std::string& out, const Step& step, const unsigned char* bytes,
                 std::size_t written, Style style) {
  if (written == 0) {
    if (style == Style::Human) out += "(not stored)";
    if (style == Style::Json) out += "null";
    return;
  }
  switch (step.store) {
    case StoreKind::Integer:
    case StoreKind::Count:
      return AppendInteger(out, step, bytes, written, style);
    case StoreKind::Float:
      return AppendFloat(out, bytes, written, style);
    case StoreKind::Text: {
      const auto unit = static_cast<std::size_t>(step.storeSize);
      std::size_t units = written / unit;
      // The terminator is shown by the stored size, not in the text.
      if (step.terminated && units > 0 && LittleEndian(bytes + (units - 1) * unit, unit) == 0)
        --units;
      return AppendText(out, bytes, units, step.storeSize, style);
    }
    case StoreKind::None:
      return;
  }
}

std::string DescribeStore(const Step& step) {
  const std::string bits = std::to_string(8 * step.storeSize);
  switch (step.store) {
    case StoreKind::Integer: return "int" + bits;
    case StoreKind::Count: return "count, int" + bits;
    case StoreKind::Float: return "float" + bits;
    case StoreKind::None: return "nothing";
    case StoreKind::Text: break;
  }
  const bool wide = step.storeSize == 2;
  const bool hasWidth = step.spec.widthDigits > 0;
  if (!step.terminated) return "text, " + Units(hasWidth ? step.spec.width : 1, wide);
  if (hasWidth) return "text, up to " + Units(step.spec.width, wide) + " + zero";
  return wide ? "text, 16-bit units + zero" : "text, bytes + zero";
}

}  // namespace vscan
