#include "stop_point.h"

#include <cstdint>
#include <string>
#include <vector>

#include "guarded_scan.h"

namespace vscan {
namespace {

// A place in the format where a scan can stop: after each literal byte, and
// after every other step.
struct Cut {
  std::size_t end;             // the format is cut here
  std::size_t failingOffset;   // where the step that ends here starts failing
  const Step* step;
  int destinationsBefore;      // taken by the steps up to the cut
};

std::vector<Cut> CutsOf(const FormatPlan& plan) {
  std::vector<Cut> cuts;
  int destinations = 0;
  for (const Step& step : plan.steps) {
    if (step.destination >= 0) destinations = step.destination + 1;
    if (step.kind == StepKind::Literals) {
      for (std::size_t i = 1; i <= step.length; ++i)
        cuts.push_back({step.offset + i, step.offset + i - 1, &step, destinations});
    } else {
      cuts.push_back({step.offset + step.length, step.offset, &step, destinations});
    }
  }
  return cuts;
}

// A cut that a probe can test: a count needs a 20th destination at most,
// and a '%' at the end of the format would fold into the appended "%n".
bool Probeable(const Cut& cut) {
  return cut.destinationsBefore < voltrima::MaxDestinations &&
         (cut.step->warnings & PercentAtEnd) == 0;
}

// Runs the format cut at `cut` with "%n" after it; returns whether the count
// was stored, and the count in `consumed`.
bool GetsThrough(const char* format, const Cut& cut, const char* input, std::size_t& consumed) {
  const std::string probe = std::string(format, cut.end) + "%n";
  const FormatPlan plan = PlanFormat(probe.c_str());
  GuardedScan scan = PrepareScan(plan);
  RunGuardedScan(scan, probe.c_str(), input);
  const DestinationState& count = scan.destinations.back();
  if (count.written == 0) return false;
  std::uint32_t value = 0;
  for (std::size_t i = count.written; i-- > 0;) value = (value << 8) | scan.Bytes(count)[i];
  consumed = value;
  return true;
}

}  // namespace

StopPoint FindStopPoint(const FormatPlan& plan, const char* format, const char* input) {
  const std::vector<Cut> cuts = CutsOf(plan);
  std::size_t probeable = 0;
  while (probeable < cuts.size() && Probeable(cuts[probeable])) ++probeable;

  // Getting through a cut means getting through every cut before it, so the
  // first cut the scan does not get through is found by bisection.
  StopPoint stop;
  std::size_t low = 0, high = probeable;
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    std::size_t consumed = 0;
    if (GetsThrough(format, cuts[middle], input, consumed)) {
      low = middle + 1;
      stop.inputOffset = consumed;
    } else {
      high = middle;
    }
  }
  // Every success moved `low` past it, so the last count read is the one at
  // the last cut the scan got through.
  if (low < probeable) {
    stop.found = true;
  } else if (low == cuts.size()) {
    stop.found = stop.wholeFormat = true;
  } else {
    // A '%' at the end always fails; past the 20th destination nothing is known.
    stop.found = (cuts[low].step->warnings & PercentAtEnd) != 0;
  }
  if (stop.found && !stop.wholeFormat) {
    stop.step = cuts[low].step;
    stop.formatOffset = cuts[low].failingOffset;
  }
  return stop;
}

}  // namespace vscan
