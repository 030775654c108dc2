// The library's own load notification handler. The toolchain's run-time
// start-up runs before it (heap and per-thread storage at process load; a
// failed start-up fails the load and this handler never runs), and releases
// what it prepared after it, at thread end and process unload. The library
// keeps no state, so process load, thread start, thread end and process
// unload all simply succeed.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
