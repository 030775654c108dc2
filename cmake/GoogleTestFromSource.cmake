# GoogleTest compiled with the project's own compiler, from the sources that
# Debian's googletest package ships: its compiled copy suits only the build
# machine, not a cross target such as 32-bit x86.
set(VOLTRIMA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
  "GoogleTest sources, compiled for cross builds")
if(NOT EXISTS ${VOLTRIMA_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${VOLTRIMA_GTEST_SOURCE_DIR}: "
    "install the package googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VOLTRIMA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(name gtest gtest_main gmock gmock_main)
  if(TARGET ${name} AND NOT TARGET GTest::${name})
    add_library(GTest::${name} ALIAS ${name})
  endif()
endforeach()
