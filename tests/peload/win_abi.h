// The calling conventions and the few plain types that code crossing into a
// loaded Windows image, or called back from it, must use.
#ifndef VOLTRIMA_PELOAD_WIN_ABI_H
#define VOLTRIMA_PELOAD_WIN_ABI_H

#include <cstdint>

#if defined(__i386__)
// The system library's functions clean their own arguments; the C run-time's
// leave that to the caller.
#  define PELOAD_SYSTEM_CALL __attribute__((stdcall))
#  define PELOAD_CRT_CALL __attribute__((cdecl))
inline constexpr std::uint16_t HostMachine = 0x014C;  // i386
inline constexpr std::uint16_t HostOptionalMagic = 0x010B;
#elif defined(__x86_64__)
// One convention for everything on x86-64, not the one Linux uses.
#  define PELOAD_SYSTEM_CALL __attribute__((ms_abi))
#  define PELOAD_CRT_CALL __attribute__((ms_abi))
inline constexpr std::uint16_t HostMachine = 0x8664;  // x86-64
inline constexpr std::uint16_t HostOptionalMagic = 0x020B;
#else
#  error "the PE loader runs images for i386 and x86-64 only"
#endif

namespace peload {

// The notifications an image's entry point and TLS callbacks receive.
enum Reason : std::uint32_t {
  ProcessUnload = 0,
  ProcessLoad = 1,
  ThreadStart = 2,
  ThreadEnd = 3,
};

using EntryPoint = std::int32_t(PELOAD_SYSTEM_CALL*)(void* module, std::uint32_t reason,
                                                     void* reserved);
using TlsCallback = void(PELOAD_SYSTEM_CALL*)(void* module, std::uint32_t reason,
                                               void* reserved);

}  // namespace peload

#endif  // VOLTRIMA_PELOAD_WIN_ABI_H
