# The native build on Linux: the library (static and shared, from the same
# units as on Windows, over the POSIX seam), its native tests on
# pseudo-terminal pairs, and the console programs.
option(SIO_BUILD_TESTS "Build the native test programs" ON)

add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:C,CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror>)

configure_file(cmake/vantoro_version.h.in ${PROJECT_BINARY_DIR}/generated/vantoro_version.h @ONLY)
add_library(vantoro_version INTERFACE)
target_include_directories(vantoro_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

find_package(Threads REQUIRED)
add_subdirectory(sio)
add_subdirectory(protocol)
include(tools/Posix.cmake)

if(SIO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/posix)
endif()
