// One call of DllSscanf with a guarded buffer for every destination, and
// what the call wrote into each.
#ifndef VSCAN_GUARDED_SCAN_H
#define VSCAN_GUARDED_SCAN_H

#include <cstddef>
#include <vector>

#include "format_plan.h"

namespace vscan {

struct DestinationState {
  const Step* step = nullptr;
  std::size_t offset = 0;   // of the buffer in the arena
  std::size_t size = 0;     // bytes the directive may write
  std::size_t written = 0;  // one past the last byte the scan wrote; 0: not stored
  bool guardBroken = false; // the scan wrote outside the buffer
};

// Buffers for the destinations of one format, reused from line to line: the
// arena grows to the longest input seen and is never given back.
struct GuardedScan {
  std::vector<DestinationState> destinations;  // the first 20 the format takes
  std::vector<unsigned char> arena;
  std::vector<unsigned char> firstRun;  // the buffers as the first call left them

  const unsigned char* Bytes(const DestinationState& d) const { return arena.data() + d.offset; }
};

GuardedScan PrepareScan(const FormatPlan& plan);

// Calls DllSscanf on `input` and returns its result. Every destination then
// tells how many bytes the call wrote and whether it wrote outside its
// buffer. The call is made twice over two different fills, so that a byte
// the scan wrote is told from an untouched one whatever its value.
int RunGuardedScan(GuardedScan& scan, const char* format, const char* input);

bool AnyGuardBroken(const GuardedScan& scan);

}  // namespace vscan

#endif  // VSCAN_GUARDED_SCAN_H
