#include "guarded_scan.h"

#include <algorithm>
#include <cstring>

#include "voltrima.h"

namespace vscan {
namespace {

constexpr std::size_t GuardSize = 16;
constexpr unsigned char GuardByte = 0xC3;
constexpr unsigned char FirstFill = 0x5A;
constexpr unsigned char SecondFill = 0xA5;

std::size_t RoundUp8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

// Places every buffer between two guards, sized for an input of `inputLength`
// bytes.
void LayOut(GuardedScan& scan, std::size_t inputLength) {
  std::size_t offset = GuardSize;
  for (DestinationState& d : scan.destinations) {
    d.offset = offset;
    d.size = DestinationBytes(*d.step, inputLength);
    d.written = 0;
    d.guardBroken = false;
    offset = RoundUp8(offset + d.size) + GuardSize;
  }
  if (scan.arena.size() < offset) {
    scan.arena.resize(offset);
    scan.firstRun.resize(offset);
  }
  std::fill(scan.arena.begin(), scan.arena.begin() + static_cast<std::ptrdiff_t>(offset),
            GuardByte);
}

void Fill(GuardedScan& scan, unsigned char fill) {
  for (const DestinationState& d : scan.destinations)
    std::memset(scan.arena.data() + d.offset, fill, d.size);
}

bool GuardIntact(const unsigned char* bytes, std::size_t size) {
  return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == GuardByte; });
}

void CheckGuards(GuardedScan& scan) {
  for (DestinationState& d : scan.destinations) {
    const unsigned char* buffer = scan.arena.data() + d.offset;
    const std::size_t after = RoundUp8(d.offset + d.size) - d.offset;
    if (!GuardIntact(buffer - GuardSize, GuardSize) ||
        !GuardIntact(buffer + d.size, after - d.size + GuardSize))
      d.guardBroken = true;
  }
}

int CallDll(GuardedScan& scan, const char* format, const char* input) {
  void* slots[voltrima::MaxDestinations + 1] = {};
  std::size_t k = 0;
  for (const DestinationState& d : scan.destinations) slots[k++] = scan.arena.data() + d.offset;
  return DllSscanf(input, format, slots[0], slots[1], slots[2], slots[3], slots[4], slots[5],
                   slots[6], slots[7], slots[8], slots[9], slots[10], slots[11], slots[12],
                   slots[13], slots[14], slots[15], slots[16], slots[17], slots[18], slots[19],
                   slots[20]);
}

// A byte holds the same value after both calls only when the scan wrote it.
std::size_t WrittenExtent(const unsigned char* first, const unsigned char* second,
                          std::size_t size) {
  for (std::size_t i = size; i > 0; --i)
    if (first[i - 1] == second[i - 1]) return i;
  return 0;
}

}  // namespace

GuardedScan PrepareScan(const FormatPlan& plan) {
  GuardedScan scan;
  for (const Step& step : plan.steps)
    if (step.destination >= 0 && step.destination < voltrima::MaxDestinations)
      scan.destinations.push_back(DestinationState{&step});
  return scan;
}

int RunGuardedScan(GuardedScan& scan, const char* format, const char* input) {
  LayOut(scan, std::strlen(input));
  Fill(scan, FirstFill);
  const int result = CallDll(scan, format, input);
  CheckGuards(scan);
  for (const DestinationState& d : scan.destinations)
    std::memcpy(scan.firstRun.data() + d.offset, scan.arena.data() + d.offset, d.size);

  Fill(scan, SecondFill);
  CallDll(scan, format, input);
  CheckGuards(scan);
  for (DestinationState& d : scan.destinations)
    d.written = WrittenExtent(scan.firstRun.data() + d.offset, scan.arena.data() + d.offset, d.size);
  return result;
}

bool AnyGuardBroken(const GuardedScan& scan) {
  return std::any_of(scan.destinations.begin(), scan.destinations.end(),
                     [](const DestinationState& d) { return d.guardBroken; });
}

}  // namespace vscan
