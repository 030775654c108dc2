# Cross build for 64-bit Windows (PE32+, x86-64): the twin of the 32-bit
# library, from the same sources, for testing.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(voltrima_mingw_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
