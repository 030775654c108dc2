// The three modes of vscan and the helpers their reports share.
#ifndef VSCAN_MODES_H
#define VSCAN_MODES_H

#include <cstddef>
#include <string>
#include <vector>

#include "format_plan.h"
#include "render.h"

namespace vscan {

inline constexpr int ExitFault = 3;  // the library wrote outside a destination

// vscan FORMAT TEXT: one scan, one line per destination, and where it stopped.
int RunOnce(const char* format, const char* text);
// vscan --explain FORMAT: the steps of the format and likely mistakes.
int Explain(const char* format);
// vscan -f FORMAT [FILE]: one row per line; `path` null or "-" is standard input.
int ScanLines(const char* format, const char* path, bool json);

std::string Escaped(const char* text, std::size_t length, Style style);
std::string DirectiveText(const char* format, const Step& step);
std::string DestinationLabel(int destination);
// Prints rows with their columns aligned, two spaces apart.
void PrintTable(const std::vector<std::vector<std::string>>& rows);

}  // namespace vscan

#endif  // VSCAN_MODES_H
