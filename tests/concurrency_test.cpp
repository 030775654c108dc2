// Many threads scanning at once: each call works in its own frame and reads
// only the shared texts and the read-only tables, so every thread must get
// exactly what a scan on its own gets. The thread preset runs this under
// ThreadSanitizer, which also reports any write to shared data.
#include <gtest/gtest.h>

#include <cstring>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

#include "harness.h"

namespace voltrima::testing {
namespace {

constexpr int ThreadCount = 16;
constexpr int ScansPerThread = 200;

struct Outcome {
  int result;
  Destinations destinations;
};

bool SameOutcome(const Outcome& a, const Outcome& b) {
  return a.result == b.result &&
         std::memcmp(a.destinations.bytes, b.destinations.bytes, sizeof a.destinations.bytes) == 0;
}

// Scans `input` by `format` from many threads at once, all released by one
// latch so that the scans overlap, and counts the scans that differ from
// `expected`. Assertions stay on the main thread.
int ScansDifferingFrom(const Outcome& expected, const char* input, const char* format) {
  std::latch start(ThreadCount);
  std::vector<int> differing(ThreadCount, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < ThreadCount; ++t) {
    threads.emplace_back([&, t] {
      auto outcome = std::make_unique<Outcome>();
      start.arrive_and_wait();
      for (int i = 0; i < ScansPerThread; ++i) {
        outcome->destinations = Destinations();
        outcome->result = outcome->destinations.Scan(input, format);
        if (!SameOutcome(*outcome, expected)) ++differing[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  int total = 0;
  for (int n : differing) total += n;
  return total;
}

struct SharedScan {
  const char* format;
  const char* input;
  int result;
};

TEST(Concurrency, EveryThreadGetsTheSingleThreadedResult) {
  const SharedScan scans[] = {
      // every conversion family, the count and the built-in sets
      {"%d %i %o %u %x %p %hd %I64d %n %3c %s %[a-z] %[^;]; %lS %f %lf %e%n",
       "-12 0x1F 017 4294967295 ff 7fffffff 70000 -9223372036854775808 abc"
       " defg hij klm no;pq 1.5 -2.25e3 6.02E23",
       16},
      // widths, suppression and a literal directive between conversions
      {"%2d%*3s%%%5c%4lc%*f%g", "12345% abcdefgh 7.5 0.125", 4},
      // the end rule: the input runs out and only %n goes on
      {"%s%n", "word", 1},
  };
  for (const SharedScan& scan : scans) {
    SCOPED_TRACE(scan.format);
    auto expected = std::make_unique<Outcome>();
    expected->result = expected->destinations.Scan(scan.input, scan.format);
    ASSERT_EQ(expected->result, scan.result);
    EXPECT_EQ(ScansDifferingFrom(*expected, scan.input, scan.format), 0);
  }
}

}  // namespace
}  // namespace voltrima::testing
