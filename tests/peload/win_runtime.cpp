#include "win_runtime.h"

#include <pthread.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#if defined(__i386__)
#  include <asm/ldt.h>
#else
#  include <asm/prctl.h>
#endif

namespace peload {
namespace {

// ---- The thread block ----

// Offsets of the fields the start-up code reads.
struct BlockLayout {
  std::size_t exceptionList, stackBase, stackLimit, self, processId, threadId, tlsArray, process,
      lastError;
};
#if defined(__i386__)
constexpr BlockLayout Layout{0x00, 0x04, 0x08, 0x18, 0x20, 0x24, 0x2C, 0x30, 0x34};
#else
constexpr BlockLayout Layout{0x00, 0x08, 0x10, 0x30, 0x40, 0x48, 0x58, 0x60, 0x68};
#endif
constexpr std::size_t BlockSize = 0x2000;
constexpr std::size_t TlsSlots = 64;

// The process block the thread blocks point at; nothing in it is read yet.
alignas(16) unsigned char processBlock[0x1000];

void PutPointer(unsigned char* block, std::size_t offset, const void* value) {
  std::memcpy(block + offset, &value, sizeof value);
}

void PutWord(unsigned char* block, std::size_t offset, std::uintptr_t value) {
  std::memcpy(block + offset, &value, sizeof value);
}

void PutStackBounds(unsigned char* block) {
  pthread_attr_t attributes;
  void* low = nullptr;
  std::size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
  }
  PutPointer(block, Layout.stackLimit, low);
  PutPointer(block, Layout.stackBase, static_cast<unsigned char*>(low) + size);
}

#if defined(__i386__)
// One thread-local descriptor slot serves every thread: each thread writes
// its own base into it and loads FS at once, under a lock, because some
// emulators keep one descriptor table for all threads.
std::mutex descriptorLock;
int descriptorEntry = -1;

bool PointSegmentAt(void* base) {
  std::lock_guard<std::mutex> hold(descriptorLock);
  user_desc d{};
  d.entry_number = static_cast<unsigned>(descriptorEntry);
  d.base_addr = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(base));
  d.limit = 0xFFFFF;
  d.seg_32bit = 1;
  d.limit_in_pages = 1;
  d.useable = 1;
  if (syscall(SYS_set_thread_area, &d) != 0) return false;
  descriptorEntry = static_cast<int>(d.entry_number);
  const std::uint16_t selector = static_cast<std::uint16_t>(d.entry_number * 8 + 3);
  asm volatile("movw %0, %%fs" : : "r"(selector));
  return true;
}

void ClearSegment() {
  const std::uint16_t none = 0;
  asm volatile("movw %0, %%fs" : : "r"(none));
}
#else
bool PointSegmentAt(void* base) { return syscall(SYS_arch_prctl, ARCH_SET_GS, base) == 0; }
void ClearSegment() { syscall(SYS_arch_prctl, ARCH_SET_GS, 0); }
#endif

}  // namespace

std::string InstallThreadBlock(const LoadedImage& image, ThreadBlock* thread) {
  *thread = ThreadBlock{};
  thread->block = static_cast<unsigned char*>(std::aligned_alloc(0x1000, BlockSize));
  thread->tlsArray = static_cast<void**>(std::calloc(TlsSlots, sizeof(void*)));
  const std::size_t initial = image.tls.end - image.tls.start;
  thread->tlsData = static_cast<unsigned char*>(std::calloc(initial + image.tls.zeroFill + 16, 1));
  if (thread->block == nullptr || thread->tlsArray == nullptr || thread->tlsData == nullptr) {
    RemoveThreadBlock(thread);
    return "out of memory";
  }
  if (initial != 0) std::memcpy(thread->tlsData, reinterpret_cast<const void*>(image.tls.start), initial);
  thread->tlsArray[0] = thread->tlsData;

  unsigned char* b = thread->block;
  std::memset(b, 0, BlockSize);
  PutWord(b, Layout.exceptionList, ~std::uintptr_t{0});  // no handler frame
  PutStackBounds(b);
  PutPointer(b, Layout.self, b);
  PutWord(b, Layout.processId, static_cast<std::uintptr_t>(getpid()));
  PutWord(b, Layout.threadId, static_cast<std::uintptr_t>(syscall(SYS_gettid)));
  PutPointer(b, Layout.tlsArray, thread->tlsArray);
  PutPointer(b, Layout.process, processBlock);
  if (!PointSegmentAt(b)) {
    RemoveThreadBlock(thread);
    return std::string("cannot point the segment register at the thread block: ") + std::strerror(errno);
  }
  return {};
}

void RemoveThreadBlock(ThreadBlock* thread) {
  ClearSegment();
  std::free(thread->block);
  std::free(thread->tlsArray);
  std::free(thread->tlsData);
  *thread = ThreadBlock{};
}

namespace {

// ---- Stubs ----
// Each runs on the image's stack, which on i386 keeps only 4-byte
// alignment; the loader is built to realign on entry.

using Bool = std::int32_t;
using Dword = std::uint32_t;

[[noreturn]] void Fail(const char* what, const char* detail = "") {
  std::fprintf(stderr, "peload: the image called %s%s; failing\n", what, detail);
  std::fflush(stderr);
  std::abort();
}

thread_local Dword lastError = 0;

// KERNEL32: critical sections. The section's first word holds our mutex.
PELOAD_SYSTEM_CALL void InitializeCriticalSection(void* section) {
  auto* mutex = new std::recursive_mutex;
  std::memcpy(section, &mutex, sizeof mutex);
}
std::recursive_mutex* MutexOf(void* section) {
  std::recursive_mutex* mutex;
  std::memcpy(&mutex, section, sizeof mutex);
  return mutex;
}
PELOAD_SYSTEM_CALL void DeleteCriticalSection(void* section) { delete MutexOf(section); }
PELOAD_SYSTEM_CALL void EnterCriticalSection(void* section) { MutexOf(section)->lock(); }
PELOAD_SYSTEM_CALL void LeaveCriticalSection(void* section) { MutexOf(section)->unlock(); }

PELOAD_SYSTEM_CALL Dword GetLastError() { return lastError; }
PELOAD_SYSTEM_CALL void SetLastError(Dword error) { lastError = error; }
PELOAD_SYSTEM_CALL void Sleep(Dword milliseconds) { usleep(static_cast<useconds_t>(milliseconds) * 1000); }

// Modules: nothing else is loaded, and nothing can be.
constexpr Dword ModuleNotFound = 126;
constexpr Dword ProcedureNotFound = 127;
PELOAD_SYSTEM_CALL void* GetModuleHandleA(const char* name) {
  if (name == nullptr) Fail("GetModuleHandleA(NULL)", ": the host program is not modelled");
  lastError = ModuleNotFound;
  return nullptr;
}
PELOAD_SYSTEM_CALL void* LoadLibraryA(const char*) {
  lastError = ModuleNotFound;
  return nullptr;
}
PELOAD_SYSTEM_CALL Bool FreeLibrary(void*) { return 1; }
PELOAD_SYSTEM_CALL void* GetProcAddress(void*, const char*) {
  lastError = ProcedureNotFound;
  return nullptr;
}

// Thread-local slots.
constexpr Dword NoSlot = 0xFFFFFFFF;
std::atomic<Dword> nextSlot{0};
thread_local void* slots[TlsSlots];
PELOAD_SYSTEM_CALL Dword TlsAlloc() {
  const Dword slot = nextSlot++;
  return slot < TlsSlots ? slot : NoSlot;
}
PELOAD_SYSTEM_CALL Bool TlsFree(Dword slot) { return slot < TlsSlots; }
PELOAD_SYSTEM_CALL void* TlsGetValue(Dword slot) {
  lastError = 0;
  return slot < TlsSlots ? slots[slot] : nullptr;
}
PELOAD_SYSTEM_CALL Bool TlsSetValue(Dword slot, void* value) {
  if (slot >= TlsSlots) return 0;
  slots[slot] = value;
  return 1;
}

// Semaphores, for the run-time's thread support.
struct Semaphore {
  sem_t sem;
};
constexpr Dword Infinite = 0xFFFFFFFF;
constexpr Dword WaitDone = 0;
constexpr Dword WaitTimedOut = 0x102;
PELOAD_SYSTEM_CALL void* CreateSemaphoreA(void*, std::int32_t initial, std::int32_t, const char*) {
  auto* s = new Semaphore;
  sem_init(&s->sem, 0, static_cast<unsigned>(initial));
  return s;
}
PELOAD_SYSTEM_CALL void* CreateSemaphoreW(void* attributes, std::int32_t initial, std::int32_t most,
                                          const void*) {
  return CreateSemaphoreA(attributes, initial, most, nullptr);
}
PELOAD_SYSTEM_CALL Bool ReleaseSemaphore(void* handle, std::int32_t count, std::int32_t* previous) {
  auto* s = static_cast<Semaphore*>(handle);
  int value = 0;
  sem_getvalue(&s->sem, &value);
  if (previous != nullptr) *previous = value;
  for (std::int32_t i = 0; i < count; ++i) sem_post(&s->sem);
  return 1;
}
PELOAD_SYSTEM_CALL Dword WaitForSingleObject(void* handle, Dword milliseconds) {
  auto* s = static_cast<Semaphore*>(handle);
  if (milliseconds == Infinite) {
    while (sem_wait(&s->sem) != 0) {
    }
    return WaitDone;
  }
  timespec until;
  clock_gettime(CLOCK_REALTIME, &until);
  until.tv_sec += static_cast<time_t>(milliseconds / 1000);
  until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  return sem_timedwait(&s->sem, &until) == 0 ? WaitDone : WaitTimedOut;
}
// Semaphores are the only handles handed out.
PELOAD_SYSTEM_CALL Bool CloseHandle(void* handle) {
  auto* s = static_cast<Semaphore*>(handle);
  sem_destroy(&s->sem);
  delete s;
  return 1;
}

// Memory regions, for the run-time's pseudo-relocation, answered from the
// process's own map.
struct RegionInfo {
  void* base;
  void* allocationBase;
  Dword allocationProtect;
#if defined(__x86_64__)
  std::uint16_t partition;
#endif
  std::uintptr_t size;
  Dword state;
  Dword protect;
  Dword type;
};
constexpr Dword Committed = 0x1000;
constexpr Dword ImageMemory = 0x1000000;

Dword WindowsProtection(bool read, bool write, bool execute) {
  if (execute) return write ? 0x40 : read ? 0x20 : 0x10;
  return write ? 0x04 : read ? 0x02 : 0x01;
}

int PosixProtection(Dword protection) {
  switch (protection & 0xFF) {
    case 0x02: return PROT_READ;
    case 0x04: case 0x08: return PROT_READ | PROT_WRITE;
    case 0x10: return PROT_EXEC;
    case 0x20: return PROT_READ | PROT_EXEC;
    case 0x40: case 0x80: return PROT_READ | PROT_WRITE | PROT_EXEC;
    default: return PROT_NONE;
  }
}

bool FindRegion(std::uintptr_t address, RegionInfo* info) {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return false;
  char line[512];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
    char* at = line;
    const std::uintptr_t low = static_cast<std::uintptr_t>(std::strtoull(at, &at, 16));
    const std::uintptr_t high = static_cast<std::uintptr_t>(std::strtoull(at + 1, &at, 16));
    if (address < low || address >= high) continue;
    const char* access = at + 1;
    *info = RegionInfo{};
    info->base = reinterpret_cast<void*>(low);
    info->allocationBase = info->base;
    info->size = high - low;
    info->state = Committed;
    info->type = ImageMemory;
    info->protect = WindowsProtection(access[0] == 'r', access[1] == 'w', access[2] == 'x');
    info->allocationProtect = info->protect;
    found = true;
  }
  std::fclose(maps);
  return found;
}

PELOAD_SYSTEM_CALL std::uintptr_t VirtualQuery(const void* address, RegionInfo* info, std::uintptr_t length) {
  if (length < sizeof(RegionInfo) || !FindRegion(reinterpret_cast<std::uintptr_t>(address), info)) return 0;
  return sizeof(RegionInfo);
}

PELOAD_SYSTEM_CALL Bool VirtualProtect(void* address, std::uintptr_t size, Dword protection, Dword* old) {
  RegionInfo region;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
  if (!FindRegion(start, &region)) return 0;
  if (old != nullptr) *old = region.protect;
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = start & ~(page - 1);
  return mprotect(reinterpret_cast<void*>(first), start + size - first, PosixProtection(protection)) == 0;
}

// msvcrt.
using InitFunction = void(PELOAD_CRT_CALL*)();
using CheckedInitFunction = int(PELOAD_CRT_CALL*)();

PELOAD_CRT_CALL void Initterm(InitFunction* begin, InitFunction* end) {
  for (; begin < end; ++begin)
    if (*begin != nullptr) (*begin)();
}
PELOAD_CRT_CALL int InittermE(CheckedInitFunction* begin, CheckedInitFunction* end) {
  for (; begin < end; ++begin)
    if (*begin != nullptr)
      if (int failure = (*begin)(); failure != 0) return failure;
  return 0;
}

std::recursive_mutex runtimeLocks[64];
PELOAD_CRT_CALL void Lock(int which) {
  if (which < 0 || which >= 64) Fail("_lock", " with an unknown lock");
  runtimeLocks[which].lock();
}
PELOAD_CRT_CALL void Unlock(int which) {
  if (which < 0 || which >= 64) Fail("_unlock", " with an unknown lock");
  runtimeLocks[which].unlock();
}

// The standard streams as the image sees them: only their addresses matter,
// since every output goes to our standard error.
alignas(16) unsigned char streams[3][64];
PELOAD_CRT_CALL void* IobFunc() { return streams; }

PELOAD_CRT_CALL void AmsgExit(int code) {
  char detail[32];
  std::snprintf(detail, sizeof detail, " with code %d", code);
  Fail("_amsg_exit", detail);
}
PELOAD_CRT_CALL void Assert(const char* message, const char* file, unsigned line) {
  std::fprintf(stderr, "peload: assertion failed in the image: %s (%s:%u)\n", message, file, line);
  Fail("_assert");
}
PELOAD_CRT_CALL void Abort() { Fail("abort"); }
PELOAD_CRT_CALL std::size_t Fwrite(const void* data, std::size_t size, std::size_t count, void*) {
  return std::fwrite(data, size, count, stderr);
}
PELOAD_CRT_CALL int Vfprintf(void*, const char* format, void*) {
  // The image's argument list is not ours to walk; the format says enough.
  return std::fprintf(stderr, "peload: the image printed: %s", format);
}

thread_local int errorNumber = 0;
PELOAD_CRT_CALL int* Errno() { return &errorNumber; }

PELOAD_CRT_CALL void* Malloc(std::size_t size) { return std::malloc(size); }
PELOAD_CRT_CALL void* Calloc(std::size_t count, std::size_t size) { return std::calloc(count, size); }
PELOAD_CRT_CALL void* Realloc(void* block, std::size_t size) { return std::realloc(block, size); }
PELOAD_CRT_CALL void Free(void* block) { std::free(block); }
PELOAD_CRT_CALL void* Memcpy(void* to, const void* from, std::size_t size) { return std::memcpy(to, from, size); }
PELOAD_CRT_CALL void* Memmove(void* to, const void* from, std::size_t size) { return std::memmove(to, from, size); }
PELOAD_CRT_CALL void* Memset(void* to, int value, std::size_t size) { return std::memset(to, value, size); }
PELOAD_CRT_CALL int Memcmp(const void* a, const void* b, std::size_t size) { return std::memcmp(a, b, size); }
PELOAD_CRT_CALL std::size_t Strlen(const char* text) { return std::strlen(text); }
PELOAD_CRT_CALL int Strcmp(const char* a, const char* b) { return std::strcmp(a, b); }
PELOAD_CRT_CALL int Strncmp(const char* a, const char* b, std::size_t size) { return std::strncmp(a, b, size); }

// A DLL's exit list, kept by the run-time in a table the image owns.
using ExitFunction = void*;
PELOAD_CRT_CALL ExitFunction DllOnExit(ExitFunction function, ExitFunction** begin, ExitFunction** end) {
  const std::size_t used = static_cast<std::size_t>(*end - *begin);
  auto* grown = static_cast<ExitFunction*>(std::realloc(*begin, (used + 1) * sizeof(ExitFunction)));
  if (grown == nullptr) return nullptr;
  grown[used] = function;
  *begin = grown;
  *end = grown + used + 1;
  return function;
}

template <typename F>
void* Address(F* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace

const std::vector<Stub>& SystemStubs() {
  static const std::vector<Stub> stubs = {
      {"KERNEL32.dll", "InitializeCriticalSection", Address(InitializeCriticalSection)},
      {"KERNEL32.dll", "DeleteCriticalSection", Address(DeleteCriticalSection)},
      {"KERNEL32.dll", "EnterCriticalSection", Address(EnterCriticalSection)},
      {"KERNEL32.dll", "LeaveCriticalSection", Address(LeaveCriticalSection)},
      {"KERNEL32.dll", "GetLastError", Address(GetLastError)},
      {"KERNEL32.dll", "SetLastError", Address(SetLastError)},
      {"KERNEL32.dll", "Sleep", Address(Sleep)},
      {"KERNEL32.dll", "GetModuleHandleA", Address(GetModuleHandleA)},
      {"KERNEL32.dll", "LoadLibraryA", Address(LoadLibraryA)},
      {"KERNEL32.dll", "FreeLibrary", Address(FreeLibrary)},
      {"KERNEL32.dll", "GetProcAddress", Address(GetProcAddress)},
      {"KERNEL32.dll", "TlsAlloc", Address(TlsAlloc)},
      {"KERNEL32.dll", "TlsFree", Address(TlsFree)},
      {"KERNEL32.dll", "TlsGetValue", Address(TlsGetValue)},
      {"KERNEL32.dll", "TlsSetValue", Address(TlsSetValue)},
      {"KERNEL32.dll", "CreateSemaphoreA", Address(CreateSemaphoreA)},
      {"KERNEL32.dll", "CreateSemaphoreW", Address(CreateSemaphoreW)},
      {"KERNEL32.dll", "ReleaseSemaphore", Address(ReleaseSemaphore)},
      {"KERNEL32.dll", "WaitForSingleObject", Address(WaitForSingleObject)},
      {"KERNEL32.dll", "CloseHandle", Address(CloseHandle)},
      {"KERNEL32.dll", "VirtualQuery", Address(VirtualQuery)},
      {"KERNEL32.dll", "VirtualProtect", Address(VirtualProtect)},
      {"msvcrt.dll", "_initterm", Address(Initterm)},
      {"msvcrt.dll", "_initterm_e", Address(InittermE)},
      {"msvcrt.dll", "_lock", Address(Lock)},
      {"msvcrt.dll", "_unlock", Address(Unlock)},
      {"msvcrt.dll", "_iob", static_cast<void*>(streams)},
      {"msvcrt.dll", "__iob_func", Address(IobFunc)},
      {"msvcrt.dll", "_amsg_exit", Address(AmsgExit)},
      {"msvcrt.dll", "_assert", Address(Assert)},
      {"msvcrt.dll", "abort", Address(Abort)},
      {"msvcrt.dll", "fwrite", Address(Fwrite)},
      {"msvcrt.dll", "vfprintf", Address(Vfprintf)},
      {"msvcrt.dll", "_errno", Address(Errno)},
      {"msvcrt.dll", "malloc", Address(Malloc)},
      {"msvcrt.dll", "calloc", Address(Calloc)},
      {"msvcrt.dll", "realloc", Address(Realloc)},
      {"msvcrt.dll", "free", Address(Free)},
      {"msvcrt.dll", "memcpy", Address(Memcpy)},
      {"msvcrt.dll", "memmove", Address(Memmove)},
      {"msvcrt.dll", "memset", Address(Memset)},
      {"msvcrt.dll", "memcmp", Address(Memcmp)},
      {"msvcrt.dll", "strlen", Address(Strlen)},
      {"msvcrt.dll", "strcmp", Address(Strcmp)},
      {"msvcrt.dll", "strncmp", Address(Strncmp)},
      {"msvcrt.dll", "__dllonexit", Address(DllOnExit)},
  };
  return stubs;
}

}  // namespace peload
