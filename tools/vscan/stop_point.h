// Where a scan stopped, asked of the library itself: the format is cut after
// a step and "%n" is appended. The count gets stored exactly when the scan
// gets through that step (an exact "%n" even runs after the input has run
// out), and it tells how far the input was read by then.
#ifndef VSCAN_STOP_POINT_H
#define VSCAN_STOP_POINT_H

#include <cstddef>

#include "format_plan.h"

namespace vscan {

struct StopPoint {
  bool found = false;            // false: the scan got past every step that could be probed
  bool wholeFormat = false;      // the scan got through every step of the format
  const Step* step = nullptr;    // the step the scan did not get through
  std::size_t formatOffset = 0;  // where in the format that step failed
  std::size_t inputOffset = 0;   // how far the input was read before it
};

StopPoint FindStopPoint(const FormatPlan& plan, const char* format, const char* input);

}  // namespace vscan

#endif  // VSCAN_STOP_POINT_H
