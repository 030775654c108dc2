// The shipped DLL itself, mapped by our own loader and called through its
// export: the start-up code and the notification handler must report
// success, and every scan must give the native library's result and bytes.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "pe_loader.h"
#include "voltrima.h"
#include "win_runtime.h"

namespace {

using ScanFunction = int(PELOAD_CRT_CALL*)(const char*, const char*, ...);

std::vector<unsigned char> ReadShippedDll() {
  std::ifstream in(PELOAD_DLL_PATH, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---- One scan, run both ways ----

// Twenty-two guarded destinations: two more than a call may use, so that a
// write past the 20th shows.
constexpr int Slots = 22;
constexpr std::size_t SlotSize = 128;
constexpr unsigned char Guard = 0xAA;

struct Destinations {
  unsigned char bytes[Slots][SlotSize];
  Destinations() { std::memset(bytes, Guard, sizeof bytes); }
};

// `listLength` destinations, then a null, then the rest of the 22 (so that
// a list that does not end at the null shows); 22 passes no null at all.
struct Call {
  std::string format;
  std::string input;  // may hold a zero byte: the scan sees the text up to it
  int listLength;
};

template <typename Scan>
int Run(Scan scan, const Call& c, Destinations* d) {
  void* p[Slots];
  for (int i = 0; i < Slots; ++i) p[i] = i == c.listLength ? nullptr : d->bytes[i];
  return scan(c.input.c_str(), c.format.c_str(), p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8],
              p[9], p[10], p[11], p[12], p[13], p[14], p[15], p[16], p[17], p[18], p[19], p[20], p[21]);
}

::testing::AssertionResult SameAsNative(ScanFunction loaded, const Call& c) {
  Destinations want, got;
  const int wantResult = Run(DllSscanf, c, &want);
  const int gotResult = Run(loaded, c, &got);
  auto failure = [&c]() {
    return ::testing::AssertionFailure() << "format \"" << c.format << "\" on \"" << c.input.c_str()
                                         << "\" with " << c.listLength << " destinations: ";
  };
  if (gotResult != wantResult) return failure() << "result " << gotResult << ", native " << wantResult;
  for (int i = 0; i < Slots; ++i)
    for (std::size_t k = 0; k < SlotSize; ++k)
      if (got.bytes[i][k] != want.bytes[i][k]) {
        char bytes[64];
        std::snprintf(bytes, sizeof bytes, "destination %d byte %zu is 0x%02X, native 0x%02X", i + 1, k,
                      unsigned(got.bytes[i][k]), unsigned(want.bytes[i][k]));
        return failure() << bytes;
      }
  return ::testing::AssertionSuccess();
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::string Numbers(int from, int to) {
  std::string out;
  for (int i = from; i <= to; ++i) out += std::to_string(i) + " ";
  return out;
}

const std::vector<Call>& Calls() {
  static const std::vector<Call> calls = {
      // Integers, every letter and store size.
      {"%d %i %o %u %x %X", "-12 0x1F 017 4294967295 ff FF", 22},
      {"%i %i %i %i", "-0x10 010 +9 -0", 22},
      {"%hd %hhd %ld %lu %hu %hx", "70000 300 -5 7 65537 -1", 22},
      {"%I64d %I64u %I64x %lld", "-9223372036854775808 18446744073709551615 fedcba9876543210 123456789012", 22},
      {"%I64i %I32d %I64o", "-0x7fffffffffffffff 5 1777777777777777777777", 22},
      {"%d %u %x", "99999999999 -1 123456789abc", 22},
      {"%p %p %p", "DEADBEEF 0x12 -1", 22},
      {"%3d%2d%n %n%hn", "1234567 8", 22},
      {"%*d %d %*s %s %*c%c", "1 2 skip keep ab", 22},
      {"%x %o %d", "0x 9 +", 22},
      // Text: characters, strings, scan sets.
      {"%c%3c %s %5s", "xabc word truncated", 22},
      {"%[a-z]%[^,],%[]x]", "abc123,]]x!", 22},
      {"%[^\n]%c", "whole line\n", 22},
      {"%2[0-9a-f-]%[-z]", "-f-z-", 22},
      {"%s %c", "\xE9\xFF\x80 \x01", 22},
      // Wide text.
      {"%lc %ls %S %C %wc", "a hi there b c", 22},
      {"%3lc%l[a-c]%w[^x]", "xyzabcde x", 22},
      {"%hS %hC %hlS %hlc", "narrow n wide w", 22},
      {"%ls %2S%c", "\xE9\xFF abc", 22},
      // Floating point, both store sizes.
      {"%f %e %g %E %G", "1.5 -2.5e3 0.1 1e-40 +.5", 22},
      {"%lf %le %lg %Lf", "3.141592653589793 1e308 -0 2.5", 22},
      {"%f %lf %lf", "1e39 1e-320 4.9406564584124654e-324", 22},
      {"%5f%f %3lf", "123.456 1e+5", 22},
      {"%f %lf %lf", "inf nan 0x1p3", 22},
      {"%f", ".", 22},
      {"%le", "-1.7976931348623157e308", 22},
      // The destination list: all twenty, more than twenty, a null inside.
      {Repeat("%d", 20), Numbers(1, 20), 22},
      {Repeat("%d", 20), Numbers(1, 20), 20},
      {Repeat("%d ", 10) + Repeat("%lf ", 10), Numbers(1, 20), 22},
      {Repeat("%I64d", 20), Numbers(-20, -1), 22},
      {"%d %d %d", "1 2 3", 2},
      {"%d %d %d", "1 2 3", 0},
      {"abc", "abc", 0},
      {"%d%n", "5", 1},
      // A zero byte inside the input ends it there.
      {"%d %d", std::string("12\0 34", 6), 22},
      {"%s%n", std::string("ab\0cd", 5), 22},
      // The end rule's -1, and a failure that is not one.
      {"%d", "", 22},
      {"%d", "   ", 22},
      {" %s", "\t\n", 22},
      {"x%d", "", 22},
      {"%c", "", 22},
      {"%d%n", "", 22},
      {"%d", "abc", 22},
      {"%d %d", "7 x", 22},
  };
  return calls;
}

// Every call of the table; the first difference, or an empty text.
std::string ScanAll(ScanFunction loaded) {
  for (const Call& c : Calls())
    if (::testing::AssertionResult same = SameAsNative(loaded, c); !same) return same.message();
  return {};
}

// ---- The DLL loaded, with the calling thread's block in place ----

class ShippedDll : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<unsigned char> file = ReadShippedDll();
    ASSERT_FALSE(file.empty()) << "cannot read " << PELOAD_DLL_PATH;
    ASSERT_EQ(peload::LoadImage(file, peload::SystemStubs(), &image_), "");
    ASSERT_EQ(peload::InstallThreadBlock(image_, &thread_), "");
    ASSERT_EQ(peload::Notify(image_, peload::ProcessLoad), 1) << "process load failed";
    loaded_ = true;
    peload::Export e;
    ASSERT_TRUE(peload::FindExport(image_, "DllSscanf", &e)) << "no export DllSscanf";
    export_ = e;
    scan_ = reinterpret_cast<ScanFunction>(e.address);
  }

  void TearDown() override {
    if (loaded_) {
      EXPECT_EQ(peload::Notify(image_, peload::ProcessUnload), 1) << "process unload failed";
    }
    if (thread_.block != nullptr) peload::RemoveThreadBlock(&thread_);
    peload::UnloadImage(&image_);
  }

  peload::LoadedImage image_;
  peload::ThreadBlock thread_;
  bool loaded_ = false;
  peload::Export export_;
  ScanFunction scan_ = nullptr;
};

TEST_F(ShippedDll, ExportsOnlyDllSscanfAtOrdinalOneUnderItsModuleName) {
  EXPECT_EQ(peload::ExportNames(image_), std::vector<std::string>{"DllSscanf"});
  EXPECT_EQ(export_.ordinal, 1u);
  EXPECT_EQ(peload::ExportModuleName(image_), "voltrima.dll");
  // Mapped away from its preferred base, so its relocations were applied.
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(image_.base), image_.preferredBase);
}

TEST_F(ShippedDll, ScansLikeTheNativeLibrary) {
  for (const Call& c : Calls()) EXPECT_TRUE(SameAsNative(scan_, c));
}

TEST_F(ShippedDll, ScansFromTwoThreadsAtOnceBetweenThreadNotifications) {
  constexpr int Rounds = 20;
  std::latch started(2);
  std::string blockError, secondFailure;
  std::int32_t startAnswer = -1, endAnswer = -1;
  std::thread second([&] {
    peload::ThreadBlock block;
    blockError = peload::InstallThreadBlock(image_, &block);
    if (blockError.empty()) startAnswer = peload::Notify(image_, peload::ThreadStart);
    started.arrive_and_wait();
    if (!blockError.empty()) return;
    for (int r = 0; r < Rounds && secondFailure.empty(); ++r) secondFailure = ScanAll(scan_);
    endAnswer = peload::Notify(image_, peload::ThreadEnd);
    peload::RemoveThreadBlock(&block);
  });
  started.arrive_and_wait();
  std::string firstFailure;
  for (int r = 0; r < Rounds && firstFailure.empty(); ++r) firstFailure = ScanAll(scan_);
  second.join();
  ASSERT_EQ(blockError, "");
  EXPECT_EQ(startAnswer, 1) << "thread start failed";
  EXPECT_EQ(endAnswer, 1) << "thread end failed";
  EXPECT_EQ(firstFailure, "");
  EXPECT_EQ(secondFailure, "");
}

// ---- The loader's own refusals ----

std::uint32_t PeOffset(const std::vector<unsigned char>& f) {
  std::uint32_t at;
  std::memcpy(&at, f.data() + 0x3C, 4);
  return at;
}

TEST(Loader, RefusesDamagedFilesSayingWhy) {
  struct Damage {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> apply;
    const char* said;
  };
  const Damage damages[] = {
      {"no MZ", [](auto& f) { f[0] = 'X'; }, "not an MZ"},
      {"no PE signature", [](auto& f) { f[PeOffset(f)] = 'X'; }, "no PE signature"},
      {"the other machine", [](auto& f) { f[PeOffset(f) + 4] ^= 0xFF; }, "machine type"},
      {"not a DLL", [](auto& f) { f[PeOffset(f) + 4 + 19] &= 0xDF; }, "not a DLL"},
      {"truncated", [](auto& f) { f.resize(f.size() / 2); }, "outside the file"},
  };
  const std::vector<unsigned char> good = ReadShippedDll();
  ASSERT_FALSE(good.empty());
  for (const Damage& d : damages) {
    std::vector<unsigned char> file = good;
    d.apply(file);
    peload::LoadedImage image;
    const std::string error = peload::LoadImage(file, peload::SystemStubs(), &image);
    EXPECT_NE(error.find(d.said), std::string::npos) << d.what << ": " << error;
    EXPECT_EQ(image.base, nullptr) << d.what;
  }
}

TEST(Loader, AnImportWithoutAStubFailsTheLoadNamingIt) {
  std::vector<peload::Stub> stubs;
  for (const peload::Stub& s : peload::SystemStubs())
    if (std::strcmp(s.name, "EnterCriticalSection") != 0 && std::strcmp(s.name, "_initterm") != 0)
      stubs.push_back(s);
  peload::LoadedImage image;
  const std::string error = peload::LoadImage(ReadShippedDll(), stubs, &image);
  EXPECT_NE(error.find("KERNEL32.dll!EnterCriticalSection"), std::string::npos) << error;
  EXPECT_NE(error.find("msvcrt.dll!_initterm"), std::string::npos) << error;
  EXPECT_EQ(image.base, nullptr);
}

// The run-time's pseudo-relocator asks for a region's access and changes it
// before writing into read-only data; the shipped DLL has nothing for it to
// do today, so its two stubs are proven here.
template <typename Function>
Function StubNamed(const char* name) {
  for (const peload::Stub& s : peload::SystemStubs())
    if (std::strcmp(s.name, name) == 0) return reinterpret_cast<Function>(s.address);
  return nullptr;
}

TEST(Loader, MemoryStubsReportAndChangeARegionsAccess) {
  struct Region {  // the platform's layout of a region's description
    void* base;
    void* allocationBase;
    std::uint32_t allocationProtect;
#if defined(__x86_64__)
    std::uint16_t partition;
#endif
    std::uintptr_t size;
    std::uint32_t state, protect, type;
  };
  using Query = std::uintptr_t(PELOAD_SYSTEM_CALL*)(const void*, Region*, std::uintptr_t);
  using Protect = std::int32_t(PELOAD_SYSTEM_CALL*)(void*, std::uintptr_t, std::uint32_t, std::uint32_t*);
  constexpr std::uint32_t ReadOnly = 0x02, ReadWrite = 0x04, ExecuteReadWrite = 0x40;
  const Query query = StubNamed<Query>("VirtualQuery");
  const Protect protect = StubNamed<Protect>("VirtualProtect");
  ASSERT_NE(query, nullptr);
  ASSERT_NE(protect, nullptr);

  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  auto* pages = static_cast<unsigned char*>(
      mmap(nullptr, 3 * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pages, MAP_FAILED);
  mprotect(pages + 2 * page, page, PROT_NONE);  // ends the read-only region
  Region r{};
  ASSERT_EQ(query(pages + page + 8, &r, sizeof r), sizeof r);
  EXPECT_EQ(r.base, pages);
  EXPECT_EQ(r.size, 2 * page);
  EXPECT_EQ(r.protect, ReadOnly);

  std::uint32_t old = 0;
  ASSERT_EQ(protect(pages + page + 8, 4, ExecuteReadWrite, &old), 1);
  EXPECT_EQ(old, ReadOnly);
  pages[page + 8] = 1;  // would fault without the change
  ASSERT_EQ(query(pages + page, &r, sizeof r), sizeof r);
  EXPECT_EQ(r.protect, ExecuteReadWrite);
  ASSERT_EQ(protect(pages + page + 8, 4, ReadWrite, &old), 1);
  EXPECT_EQ(old, ExecuteReadWrite);
  EXPECT_EQ(query(pages + page, &r, sizeof r - 1), 0u);  // too small a description
  munmap(pages, 3 * page);
}

}  // namespace
