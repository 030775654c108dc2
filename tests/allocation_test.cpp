// No call allocates: the heap functions are replaced by counting ones that
// forward to the C library's own allocator, and every kind of directive is
// run while they count. A test of its own, since it replaces malloc for the
// whole program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "harness.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void CountOne() {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

// operator new and delete reach these too: the C++ run time allocates
// through malloc.
extern "C" {
void* malloc(std::size_t size) {
  CountOne();
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  CountOne();
  return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
  CountOne();
  return __libc_realloc(block, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  CountOne();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  CountOne();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, std::size_t alignment, std::size_t size) {
  CountOne();
  *block = __libc_memalign(alignment, size);
  return *block ? 0 : 12;  // ENOMEM
}
void free(void* block) { __libc_free(block); }
}

namespace voltrima::testing {
namespace {

// Allocations made while `scan` runs.
template <typename Scan>
long AllocationsDuring(Scan scan) {
  allocations = 0;
  counting = true;
  scan();
  counting = false;
  return allocations;
}

TEST(Allocation, TheCounterSeesMallocAndNew) {
  const long seen = AllocationsDuring([] {
    void* volatile block = std::malloc(24);
    std::free(block);
    int* volatile number = new int(5);
    delete number;
  });
  EXPECT_EQ(seen, 2);
}

struct Case {
  const char* format;
  std::string input;
  int result;  // shows that every directive of the case ran
};

TEST(Allocation, NoDirectiveAllocates) {
  const std::string digits400(400, '7');
  // '-', 347 digits and ".e-5": the longest number text the float store sees.
  const std::string longestNumberText = std::string("-").append(347, '7').append(".e-5");
  const Case cases[] = {
      // integers, their sizes and prefixes, and the count
      {"%d %i %o %u %x %p", "-12 0x1f 017 42 ff 8000", 6},
      {"%hd %ld %I64d %I64u %I64x %I64p", "1 2 -9223372036854775807 3 4 5", 6},
      {"%i%n %5d%*d", "077 12345678 9", 2},
      // text: characters, strings and scan sets, narrow and wide
      {"%c%3c %s %10s", "ab cd word longer-than-ten", 4},
      {"%[a-z]%[^,],%[]a-]%{0-9]", "abc-XY,]]a-123", 4},
      {"%lc%S %C %ls %l[a-z]", "wwide c words abc", 5},
      {"%*s %*c%*[a-z]%n", "skip xabc", 0},
      // floating point, short and at the limit of the number text
      {"%e %f %g %lf %Lf %hf", "1.5 -2e-3 .5 1e308 3.25 7", 6},
      {"%lf", digits400, 1},
      {"%lf", longestNumberText, 1},
      // a halfway case that needs the slow, exact path of the float store
      {"%lf", "9007199254740993.000000000000000000000000000000000000000000000000000001", 1},
      {"%f", "1.00000005960464477539062500000000000000000000000000000000000000000001", 1},
      // literals, whitespace, letters without a conversion, failures, the end
      {"a %% %y b", "a  %  y b", 0},
      {"%d", "x", 0},
      {"%f", "", -1},
      {"%0s", "abc", 0},
      {"%d%n", "5", 1},
  };
  for (const Case& c : cases) {
    Destinations d;
    SCOPED_TRACE(std::string("format \"") + c.format + "\" on \"" + c.input + "\"");
    int result = 0;
    const long seen = AllocationsDuring([&] { result = d.Scan(c.input.c_str(), c.format); });
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(result, c.result);
  }
}

}  // namespace
}  // namespace voltrima::testing
