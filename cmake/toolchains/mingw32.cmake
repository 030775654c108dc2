# Cross build for 32-bit Windows (PE32, i386) with Debian's mingw-w64
# compilers. The win32 thread model: the library needs no threading runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(voltrima_mingw_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
