// Measures how deep into the stack one call of DllSscanf reaches, for every
// kind of directive and for the deepest paths we know of (the exact path of
// the float store on a long halfway number, the longest number text).
//
// Each call runs on a thread whose stack is ours and painted with a pattern;
// afterwards the lowest byte that no longer holds the pattern is the deepest
// point reached. A call of an empty function with the same arguments from
// the same place is the baseline, so the figure is what the call adds below
// its caller's frame and the arguments the caller pushed.
// A report, not a check: calls deeper than 1 KiB are marked, and the exit
// status is 0 unless the measurement itself could not run.
#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "voltrima.h"

namespace {

constexpr std::size_t StackBytes = 256 * 1024;
constexpr unsigned char Paint = 0x5C;
constexpr std::size_t Limit = 1024;

struct Call {
  std::string format;
  std::string input;
};

// Twenty destinations with room for anything the cases store.
unsigned char destinations[20][1024];

struct Job {
  const Call* call;  // null: the baseline
};

// The baseline takes the same arguments as DllSscanf, so that the arguments
// the caller passes on the stack count as the caller's, not the call's.
__attribute__((noinline)) int Nothing(const char* input, const char* format, ...) {
  asm volatile("" ::"r"(input), "r"(format) : "memory");
  return 0;
}

void* RunJob(void* argument) {
  const Job& job = *static_cast<const Job*>(argument);
  auto* d = destinations;
  if (job.call == nullptr) {
    Nothing("", "", d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], d[8], d[9], d[10], d[11], d[12], d[13],
            d[14], d[15], d[16], d[17], d[18], d[19], nullptr);
  } else {
    DllSscanf(job.call->input.c_str(), job.call->format.c_str(), d[0], d[1], d[2], d[3], d[4], d[5], d[6],
              d[7], d[8], d[9], d[10], d[11], d[12], d[13], d[14], d[15], d[16], d[17], d[18], d[19],
              nullptr);
  }
  return nullptr;
}

// Bytes of the painted stack that the job touched, from its top.
std::size_t TouchedBy(Job job) {
  static std::vector<unsigned char> stack(StackBytes);
  std::memset(stack.data(), Paint, stack.size());
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstack(&attributes, stack.data(), stack.size());
  pthread_t thread;
  if (pthread_create(&thread, &attributes, RunJob, &job) != 0) {
    std::perror("pthread_create");
    return SIZE_MAX;
  }
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  std::size_t lowest = 0;
  while (lowest < stack.size() && stack[lowest] == Paint) ++lowest;
  return stack.size() - lowest;
}

}  // namespace

int main() {
  const std::string digits400(400, '7');
  const std::string longHalfway =
      "9007199254740993." + std::string(300, '0') + "1";  // 2^53 + 1, a hair above halfway
  const Call calls[] = {
      {"%d %i %o %u %x %p %n", "-12 0x1f 017 42 ff 8000"},
      {"%I64d %I64x %hd", "-9223372036854775807 ffffffffffffffff 7"},
      {"%c %5c %s", "a bcdef word"},
      {"%[a-z] %[^,] %S %l[a-z]", "abc xyz wide abc"},
      {"%f %lf %e %g", "1.5 2.25e10 -3e-5 .5"},
      {"%lf", digits400},
      {"%lf", longHalfway},
      {"%f", "1.00000005960464477539062500000000000000000000000000000000001"},
      {"%lf", std::string("-").append(347, '7').append(".e-5")},
      {"a %% %y b", "a % y b"},
  };

  const std::size_t baseline = TouchedBy(Job{nullptr});
  if (baseline == SIZE_MAX) return 1;
  std::size_t deepest = 0;
  std::printf("%-28s %s\n", "format", "bytes below the caller");
  for (const Call& call : calls) {
    const std::size_t touched = TouchedBy(Job{&call});
    const std::size_t depth = touched > baseline ? touched - baseline : 0;
    if (depth > deepest) deepest = depth;
    if (touched == SIZE_MAX) return 1;
    std::printf("%-28s %zu%s\n", call.format.c_str(), depth, depth > Limit ? "  (over 1 KiB)" : "");
  }
  std::printf("deepest: %zu bytes\n", deepest);
  return 0;
}
