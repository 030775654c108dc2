# fast_float, header only. Only its own folder is put on the include path
# (copied into the build tree), so that a cross compiler never sees the rest
# of the native include folder.
find_path(VOLTRIMA_FAST_FLOAT_ROOT fast_float/fast_float.h
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH)
if(NOT VOLTRIMA_FAST_FLOAT_ROOT)
  message(FATAL_ERROR "fast_float headers not found: install the package libfast-float-dev")
endif()
set(voltrima_fast_float_dir ${CMAKE_BINARY_DIR}/third_party/fast_float/include)
file(COPY ${VOLTRIMA_FAST_FLOAT_ROOT}/fast_float DESTINATION ${voltrima_fast_float_dir})
add_library(voltrima_fast_float INTERFACE)
target_include_directories(voltrima_fast_float SYSTEM INTERFACE ${voltrima_fast_float_dir})
