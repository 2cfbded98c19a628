# The Linux build beyond the library (sio/CMakeLists.txt builds it on both
# systems): the protocol, the console programs, the native benchmark, the
# native tests on pseudo-terminal pairs and the .deb.
if(SIO_LIBRARY_ONLY)
  return()
endif()

add_subdirectory(protocol)
include(tools/Posix.cmake)

# The native benchmark, run by hand (scripts/bench native), never by ctest.
add_executable(posix_bench bench/posix_bench.cpp)
target_link_libraries(posix_bench PRIVATE sio project_warnings)

if(SIO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/posix)
endif()

if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
# One .deb with the library, its development files and documents and the
# console programs:
#   cpack --config build/linux/CPackConfig.cmake
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantoro-sio)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The sio serial library and the Vantoro console programs")
set(CPACK_PACKAGE_CONTACT "Vantoro tool maintainers")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_COMPONENTS_ALL runtime development documentation tools)
include(CPack)
