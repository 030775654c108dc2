// What a loaded image finds of the platform: a thread block for each thread
// that calls into it, and stubs of our own for the system functions it
// imports.
#ifndef VOLTRIMA_PELOAD_WIN_RUNTIME_H
#define VOLTRIMA_PELOAD_WIN_RUNTIME_H

#include <string>
#include <vector>

#include "pe_loader.h"

namespace peload {

// A thread's block as the image's start-up code reads it (through FS on
// i386, GS on x86-64), with the thread's copy of the image's static TLS.
struct ThreadBlock {
  unsigned char* block = nullptr;
  unsigned char* tlsData = nullptr;
  void** tlsArray = nullptr;
};

// Prepares the calling thread's block and points FS or GS at it. Returns
// an empty text on success, otherwise what failed.
std::string InstallThreadBlock(const LoadedImage& image, ThreadBlock* thread);
void RemoveThreadBlock(ThreadBlock* thread);

// Every import the loader can bind: the KERNEL32 and msvcrt functions the
// mingw-w64 start-up code and our library use, and nothing else, so that a
// new import fails the load by name instead of running unchecked.
const std::vector<Stub>& SystemStubs();

}  // namespace peload

#endif  // VOLTRIMA_PELOAD_WIN_RUNTIME_H
