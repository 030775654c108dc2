# Shared by the two mingw-w64 toolchains; `voltrima_mingw_triple` names the
# target.
set(CMAKE_C_COMPILER ${voltrima_mingw_triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${voltrima_mingw_triple}-g++-win32)
set(CMAKE_RC_COMPILER ${voltrima_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${voltrima_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
