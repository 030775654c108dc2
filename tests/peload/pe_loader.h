// A small loader for PE images (PE32 on i386, PE32+ on x86-64): checks the
// headers, maps the sections at whatever base the system gives, applies the
// base relocations, binds every import to a stub of our own, prepares static
// TLS, and delivers the load and unload notifications. Enough to run a DLL
// built by the mingw-w64 toolchain inside a Linux test process.
#ifndef VOLTRIMA_PELOAD_PE_LOADER_H
#define VOLTRIMA_PELOAD_PE_LOADER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win_abi.h"

namespace peload {

// One import the loader can bind: a function of ours, or a data object.
struct Stub {
  const char* module;  // compared without regard to case
  const char* name;
  void* address;
};

struct TlsTemplate {
  std::uintptr_t start = 0;  // the initial data, as addresses in the image
  std::uintptr_t end = 0;
  std::uint32_t zeroFill = 0;
  std::uintptr_t callbacks = 0;  // a null-ended array of addresses, or 0
};

struct LoadedImage {
  unsigned char* base = nullptr;
  std::size_t size = 0;
  std::uintptr_t preferredBase = 0;
  std::uintptr_t entry = 0;  // 0 when the image has no entry point
  TlsTemplate tls;
};

struct Export {
  std::uintptr_t address = 0;
  std::uint32_t ordinal = 0;
};

// Maps `file` and binds its imports from `stubs`. Returns an empty text on
// success, otherwise what is wrong (every import without a stub is named).
std::string LoadImage(const std::vector<unsigned char>& file, const std::vector<Stub>& stubs,
                      LoadedImage* image);
void UnloadImage(LoadedImage* image);

// The module name the export table gives, and the exports by name.
std::string ExportModuleName(const LoadedImage& image);
std::vector<std::string> ExportNames(const LoadedImage& image);
bool FindExport(const LoadedImage& image, std::string_view name, Export* found);

// Delivers a notification the way the platform does: TLS callbacks before
// the entry point for a load or a start, after it for an end or an unload.
// Returns the entry point's answer (1 for success), or 1 with no entry point.
std::int32_t Notify(const LoadedImage& image, Reason reason);

}  // namespace peload

#endif  // VOLTRIMA_PELOAD_PE_LOADER_H
