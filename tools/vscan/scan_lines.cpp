// vscan -f FORMAT [FILE]: every line of a file through DllSscanf, one
// tab-separated row or JSON object per line. Streams: the line buffer and the
// destinations grow to the longest line and are reused.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "guarded_scan.h"
#include "modes.h"

namespace vscan {
namespace {

void AppendRow(std::string& out, int result, const GuardedScan& scan, const FormatPlan& plan,
               bool json) {
  if (json) {
    out += "{\"result\":";
    out += std::to_string(result);
    out += ",\"values\":[";
  } else {
    out += std::to_string(result);
  }
  for (int k = 0; k < plan.destinationCount; ++k) {
    out += json ? (k > 0 ? "," : "") : "\t";
    if (k < static_cast<int>(scan.destinations.size())) {
      const DestinationState& d = scan.destinations[static_cast<std::size_t>(k)];
      AppendValue(out, *d.step, scan.Bytes(d), d.written, json ? Style::Json : Style::Tsv);
    } else if (json) {
      out += "null";
    }
  }
  out += json ? "]}\n" : "\n";
}

}  // namespace

int ScanLines(const char* format, const char* path, bool json) {
  const bool standardInput = path == nullptr || std::strcmp(path, "-") == 0;
  std::FILE* in = standardInput ? stdin : std::fopen(path, "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "vscan: cannot open '%s': %s\n", path, std::strerror(errno));
    return 1;
  }
  const FormatPlan plan = PlanFormat(format);
  GuardedScan scan = PrepareScan(plan);
  std::string out;
  char* line = nullptr;
  std::size_t capacity = 0;
  long lineNumber = 0;
  bool fault = false;
  for (ssize_t length; (length = getline(&line, &capacity, in)) >= 0;) {
    ++lineNumber;
    // The line without its line feed, and without a carriage return before it.
    if (length > 0 && line[length - 1] == '\n') line[--length] = 0;
    if (length > 0 && line[length - 1] == '\r') line[--length] = 0;
    const int result = RunGuardedScan(scan, format, line);
    AppendRow(out, result, scan, plan, json);
    if (AnyGuardBroken(scan)) {
      std::fprintf(stderr, "vscan: line %ld: the library wrote outside a destination\n",
                   lineNumber);
      fault = true;
    }
    if (out.size() >= 1 << 16) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  const bool readFailed = std::ferror(in) != 0;
  std::free(line);
  if (!standardInput) std::fclose(in);
  if (readFailed) {
    std::fprintf(stderr, "vscan: cannot read '%s'\n", standardInput ? "-" : path);
    return 1;
  }
  return fault ? ExitFault : 0;
}

}  // namespace vscan
