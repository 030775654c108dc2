// vscan: shows what a format does to a text, through DllSscanf itself.
//   vscan FORMAT TEXT         one scan, one line per destination
//   vscan --explain FORMAT    the steps of the format as the scanner sees them
//   vscan -f FORMAT [FILE]    one row per line of a file (--json: JSON lines)
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "modes.h"

namespace vscan {
namespace {

constexpr int ExitUsage = 2;

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

