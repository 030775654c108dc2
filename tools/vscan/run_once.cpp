// vscan FORMAT TEXT: one scan through DllSscanf, a line per destination,
// and where the scan stopped.
#include <cstdio>
#include <cstring>

#include "guarded_scan.h"
#include "modes.h"
#include "stop_point.h"

namespace vscan {
namespace {

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
                 ? "the scan stored #20; a call takes at most 20 destinations, so it ends "
                   "before #21 at the latest"
                 : "the scan stopped at #20 " + DirectiveText(format, *scan.destinations.back().step);
  } else if (stop.wholeFormat) {
    reason = "the scan went through the whole format and read " +
             std::to_string(stop.inputOffset) + " of " + std::to_string(length) + " input bytes";
    if (!plan.steps.empty() && plan.steps.back().kind == StepKind::WhitespaceRun)
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

}  // namespace

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

}  // namespace vscan
