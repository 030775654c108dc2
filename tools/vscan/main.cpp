// vscan: shows what a format does to a text, through DllSscanf itself.
//   vscan FORMAT TEXT         one scan, one line per destination
//   vscan --explain FORMAT    the steps of the format as the scanner sees them
//   vscan -f FORMAT [FILE]    one row per line of a file (--json: JSON lines)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "format_plan.h"
#include "guarded_scan.h"
#include "render.h"
#include "stop_point.h"

namespace vscan {
namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFault = 3;  // the library wrote outside a destination

constexpr const char* Usage =
    "usage: vscan FORMAT TEXT\n"
    "       vscan --explain FORMAT\n"
    "       vscan -f [--json] FORMAT [FILE]\n";

constexpr const char* Help =
    "vscan: try a DllSscanf format on real text.\n"
    "\n"
    "  vscan FORMAT TEXT        scan TEXT; print the result and every destination\n"
    "  vscan --explain FORMAT   list the steps of FORMAT and warn of likely mistakes\n"
    "  vscan -f FORMAT [FILE]   scan each line of FILE (or standard input): one\n"
    "                           tab-separated row per line, the result then values\n"
    "  --json                   with -f: one JSON object per line instead\n"
    "  --                       ends the options (for a format that starts with '-')\n"
    "\n"
    "The format, left to right:\n"
    "  whitespace   skips any input whitespace, none included\n"
    "  other bytes  must equal the next input byte, or the scan ends\n"
    "  %[*][width][modifiers]letter  reads a field; * reads without storing\n"
    "    %d %u %o %x %i  integers (%i: 0x.. hex, 0.. octal)   h: 16-bit  I64: 64-bit\n"
    "    %p              hexadecimal without prefix, 32-bit (I64: decimal, 64-bit)\n"
    "    %e %f %g        floating point: 32-bit; l or L: 64-bit\n"
    "    %s              a run of non-whitespace, stored with a zero byte\n"
    "    %c              exactly width characters (1 by default), no zero byte\n"
    "    %[a-z_] %[^,]   a run of bytes in (after ^: not in) the set, and a zero byte\n"
    "    %n              how many input characters were consumed so far\n"
    "    %%              a literal '%'\n"
    "  %S and %C, and l or w before s, c or [, store 16-bit units instead of bytes.\n"
    "  Every directive but %c and %[ skips input whitespace first. The scan ends at\n"
    "  the first mismatch; once the input has run out only a plain %n still runs.\n"
    "  The result is the count of values stored, or -1 when the input ran out first.\n"
    "\n"
    "Examples:\n"
    "  vscan '%15s %d %lf' 'move 12 -3.5'\n"
    "  vscan --explain '%d, %[^,], %n'\n"
    "  vscan -f '%*s %d ms' access.log        vscan -f --json '%x:%x' < pairs.txt\n"
    "\n"
    "Exit status: 0 when DllSscanf returned, 2 on a usage error, 3 when the library\n"
    "wrote outside a destination, 1 when FILE cannot be read.\n";

struct Options {
  bool help = false;
  bool explain = false;
  bool file = false;
  bool json = false;
  std::vector<const char*> operands;
};

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "vscan: %s\n%sTry 'vscan --help'.\n", problem.c_str(), Usage);
  return ExitUsage;
}

// Returns an empty string when the arguments make sense, the problem otherwise.
std::string ParseArguments(int argc, char** argv, Options& options) {
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      options.operands.push_back(argv[i]);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--explain") {
      options.explain = true;
    } else if (arg == "-f") {
      options.file = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (!options.operands.empty()) {
      options.operands.push_back(argv[i]);  // a TEXT such as "-5"
    } else {
      return "unknown option '" + std::string(arg) +
             "' (put -- before a format that starts with '-')";
    }
  }
  if (options.help) return {};
  const std::size_t n = options.operands.size();
  if (options.explain && options.file) return "--explain and -f do not go together";
  if (options.json && !options.file) return "--json goes with -f only";
  if (options.explain && n != 1) return "--explain takes exactly one FORMAT";
  if (options.file && (n < 1 || n > 2)) return "-f takes a FORMAT and at most one FILE";
  if (!options.explain && !options.file && n != 2)
    return n < 2 ? "a FORMAT and a TEXT are needed" : "too many arguments (quote the TEXT)";
  return {};
}

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

// ---------------------------------------------------------------------------
// vscan FORMAT TEXT

std::string WrittenText(const DestinationState& d) {
  return std::to_string(d.written) + (d.written == 1 ? " byte" : " bytes");
}

std::string StepText(const char* format, const Step& step, std::size_t failingOffset) {
  switch (step.kind) {
    case StepKind::WhitespaceRun: return "whitespace";
    case StepKind::Literals: return Escaped(format + failingOffset, 1, Style::Human);
    case StepKind::Directive:
      return Escaped(format + step.offset, step.length, Style::Human);
  }
  return {};
}

// Why the scan stopped: where, and what the input held there.
std::string StopReason(int result, const char* format, const char* text, const FormatPlan& plan,
                       const GuardedScan& scan) {
  const StopPoint stop = FindStopPoint(plan, format, text);
  const std::size_t length = std::strlen(text);
  std::string reason;
  if (!stop.found) {
    // Only past the 20th destination can the probes not tell.
    reason = scan.destinations.back().written != 0
                 ? "the scan stored #20 and ended at #21: a call takes at most 20 destinations"
                 : "the scan stopped at or after #20";
  } else if (stop.wholeFormat) {
    reason = "the scan went through the whole format and read " +
             std::to_string(stop.inputOffset) + " of " + std::to_string(length) + " input bytes";
    if (plan.steps.back().kind == StepKind::WhitespaceRun)
      reason += "; the whitespace at its end then meets the next input byte as if it were a "
                "literal, which never matches";
  } else {
    reason = "the scan stopped at " + StepText(format, *stop.step, stop.formatOffset) +
             " (format offset " + std::to_string(stop.formatOffset) + ")";
    if (stop.inputOffset >= length)
      reason += ": the input had run out";
    else
      reason += ", with the input at offset " + std::to_string(stop.inputOffset) + ": " +
                Escaped(text + stop.inputOffset, 1, Style::Human);
  }
  if (result == -1) reason += "\n-1: the input ran out before any directive succeeded";
  return reason;
}

int RunOnce(const char* format, const char* text) {
  const FormatPlan plan = PlanFormat(format);
  GuardedScan scan = PrepareScan(plan);
  const int result = RunGuardedScan(scan, format, text);

  std::printf("DllSscanf returned %d\n", result);
  std::vector<std::vector<std::string>> rows;
  for (const DestinationState& d : scan.destinations) {
    std::string value;
    AppendValue(value, *d.step, scan.Bytes(d), d.written, Style::Human);
    rows.push_back({DestinationLabel(d.step->destination), DirectiveText(format, *d.step),
                    DescribeStore(*d.step), d.written ? WrittenText(d) : "", value});
    if (d.guardBroken)
      rows.back().back() += "  FAULT: written outside its " + std::to_string(d.size) + " bytes";
  }
  for (const Step& step : plan.steps)
    if (step.destination >= voltrima::MaxDestinations)
      rows.push_back({DestinationLabel(step.destination), DirectiveText(format, step),
                      DescribeStore(step), "", "(not stored: past the 20 a call takes)"});
  PrintTable(rows);
  std::printf("%s\n", StopReason(result, format, text, plan, scan).c_str());
  return AnyGuardBroken(scan) ? ExitFault : 0;
}

// ---------------------------------------------------------------------------
// vscan --explain FORMAT

std::string Quoted(unsigned char c) {
  std::string text = "'";
  text += Escaped(reinterpret_cast<const char*>(&c), 1, Style::Tsv);
  text += '\'';
  return text;
}

// The members of a scan set as characters and ranges: 'a'-'z' '_'.
std::string DescribeSet(const Step& step) {
  std::string members;
  int count = 0;
  for (int c = 1; c < 256; ++c) {
    const bool member = (step.set.memberBits[c >> 3] >> (c & 7)) & 1;
    if (!member) continue;
    int last = c;
    while (last + 1 < 256 && ((step.set.memberBits[(last + 1) >> 3] >> ((last + 1) & 7)) & 1))
      ++last;
    if (count++ > 0) members += ' ';
    members += Quoted(static_cast<unsigned char>(c));
    if (last > c) members += (last > c + 1 ? "-" : " ") + Quoted(static_cast<unsigned char>(last));
    c = last;
  }
  if (count == 0) members = "nothing";
  return step.set.rejectMask ? "scan set: all bytes but " + members : "scan set: " + members;
}

// The modifiers as written: every byte between '%' and the letter but the
// width digits and '*'.
std::string Modifiers(const char* format, const Step& step) {
  std::string text;
  for (std::size_t i = step.offset + 1; i < step.letterOffset; ++i) {
    const char b = format[i];
    if (b == 'I') {
      text += "I64";
      i += 2;
    } else if (b != '*' && (b < '0' || b > '9')) {
      text += b;
    }
  }
  return text;
}

std::string DescribeDirective(const char* format, const Step& step) {
  std::vector<std::string> parts;
  if (step.spec.widthDigits > 0) parts.push_back("width " + std::to_string(step.spec.width));
  if (step.spec.suppress) parts.push_back("suppressed");
  const std::string modifiers = Modifiers(format, step);
  if (!modifiers.empty()) parts.push_back("modifiers " + modifiers);
  parts.push_back(step.letter ? "letter " + Quoted(step.letter) : "no letter");
  if (step.isScanSet && !(step.warnings & UnclosedScanSet)) parts.push_back(DescribeSet(step));
  if (step.store == StoreKind::None)
    parts.push_back(step.letter ? "compares with " + Quoted(step.letter) : "never matches");
  else
    parts.push_back(DescribeStore(step) + (step.spec.suppress ? " (not stored)" : ""));
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  if (step.destination >= 0) text += " -> " + DestinationLabel(step.destination);
  return text;
}

std::vector<std::string> WarningsOf(const Step& step) {
  std::vector<std::string> out;
  const unsigned w = step.warnings;
  if (w & ComparesWithLetter)
    out.push_back("no conversion has this letter: it only matches " + Quoted(step.letter) +
                  " in the input, like a literal character");
  if (w & WhitespaceLetter)
    out.push_back("the letter is whitespace, which a directive never matches: the scan ends here");
  if (w & PercentAtEnd)
    out.push_back("a '%' at the end of the format: it skips input whitespace and ends the scan");
  if (w & UnclosedScanSet)
    out.push_back("the scan set has no closing ']': the scan ends here");
  if (w & ZeroWidth) out.push_back("a width of 0 ends the scan here");
  if (w & CountHiddenBySpace)
    out.push_back("the whitespace in front hides this %n from the end rule: once the input "
                  "has run out, it does not run");
  if (w & CountNotExactPair)
    out.push_back("only a plain %n still runs once the input has run out; this one does not");
  if ((w & PastTwentieth) && step.destination == voltrima::MaxDestinations)
    out.push_back("a call takes at most 20 destinations: the scan ends here");
  return out;
}

std::string DescribeStep(const char* format, const Step& step) {
  switch (step.kind) {
    case StepKind::WhitespaceRun:
      return "whitespace: skips any input whitespace, none included";
    case StepKind::Literals:
      return step.length == 1 ? "literal: must equal the next input byte"
                              : "literals: each must equal the next input byte";
    case StepKind::Directive:
      return "directive: " + DescribeDirective(format, step);
  }
  return {};
}

int Explain(const char* format) {
  const FormatPlan plan = PlanFormat(format);
  std::vector<std::vector<std::string>> rows;
  for (const Step& step : plan.steps) {
    const std::string text = step.kind == StepKind::Directive
                                  ? DirectiveText(format, step)
                                  : Escaped(format + step.offset, step.length, Style::Human);
    rows.push_back({std::to_string(step.offset), text, DescribeStep(format, step)});
    for (const std::string& warning : WarningsOf(step))
      rows.push_back({"", "", "warning: " + warning});
  }
  if (rows.empty()) rows.push_back({"0", "\"\"", "empty format: the result is 0, nothing is read"});
  PrintTable(rows);
  std::printf("destinations: %d\n", plan.destinationCount);
  if (plan.destinationCount > voltrima::MaxDestinations)
    std::printf("warning: the format takes %d destinations; a call takes at most 20\n",
                plan.destinationCount);
  return 0;
}

// ---------------------------------------------------------------------------
// vscan -f FORMAT [FILE]

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

}  // namespace
}  // namespace vscan

int main(int argc, char** argv) {
  using namespace vscan;
  Options options;
  const std::string problem = ParseArguments(argc, argv, options);
  if (!problem.empty()) return UsageError(problem);
  if (options.help) {
    std::fputs(Help, stdout);
    return 0;
  }
  if (options.explain) return Explain(options.operands[0]);
  if (options.file)
    return ScanLines(options.operands[0], options.operands.size() > 1 ? options.operands[1] : nullptr,
                     options.json);
  return RunOnce(options.operands[0], options.operands[1]);
}
