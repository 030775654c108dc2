# Warnings as errors for every target of the project.
add_library(voltrima_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(voltrima_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)
endif()

# 32-bit x86 keeps floating point in SSE2 registers: x87's wider intermediate
# results would round twice.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86|AMD64|x86_64)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()
