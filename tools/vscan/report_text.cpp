// Helpers shared by the reports of the three modes.
#include <algorithm>
#include <cstdio>

#include "modes.h"

namespace vscan {

std::string Escaped(const char* text, std::size_t length, Style style) {
  std::string out;
  AppendText(out, reinterpret_cast<const unsigned char*>(text), length, 1, style);
  return out;
}

std::string DirectiveText(const char* format, const Step& step) {
  return Escaped(format + step.offset, step.length, Style::Tsv);
}

std::string DestinationLabel(int destination) {
  std::string label = "#";
  label += std::to_string(destination + 1);
  return label;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (widths.size() <= c) widths.push_back(0);
      widths[c] = std::max(widths[c], row[c].size());
    }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line.append(widths[c] - row[c].size() + 2, ' ');
    }
    std::printf("%s\n", line.c_str());
  }
}

}  // namespace vscan
