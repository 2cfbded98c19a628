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

# The native benchmark, run by hand (scripts/bench native), never by ctest.
add_executable(posix_bench bench/posix_bench.cpp)
target_link_libraries(posix_bench PRIVATE sio project_warnings)

if(SIO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/posix)
endif()

# One .deb with the library, its development files and the console programs:
#   cpack --config build/linux/CPackConfig.cmake
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantoro-sio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The sio serial library and the Vantoro console programs")
set(CPACK_PACKAGE_CONTACT "Vantoro tool maintainers")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_COMPONENTS_ALL runtime development tools)
include(CPack)
