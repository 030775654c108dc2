// Turning stored bytes into text a person (or a program) reads.
#ifndef VSCAN_RENDER_H
#define VSCAN_RENDER_H

#include <cstddef>
#include <string>

#include "format_plan.h"

namespace vscan {

enum class Style {
  Human,  // integers in decimal and hex, text quoted and escaped
  Tsv,    // one field of a tab-separated row: no quotes, tabs and newlines escaped
  Json,   // a JSON value: numbers, ASCII-only strings, null
};

// Text as a quoted (Human, Json) or bare (Tsv) escaped string; `unitSize`
// is 1 for bytes, 2 for little-endian 16-bit units.
void AppendText(std::string& out, const unsigned char* bytes, std::size_t units, int unitSize,
                Style style);

// The value a destination holds after the scan wrote its first `written`
// bytes; `written` 0 is what the scan did not reach.
void AppendValue(std::string& out, const Step& step, const unsigned char* bytes,
                 std::size_t written, Style style);

// "int32", "float64", "count, int16", "text, up to 15 bytes + zero", ...
std::string DescribeStore(const Step& step);

}  // namespace vscan

#endif  // VSCAN_RENDER_H
