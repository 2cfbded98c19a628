# libsio.a and libsio.so (soname libsio.so.<major>) from the library's units
# and the POSIX seam. src/posix stands in for <windows.h>, so the units compile
# unchanged; only the seam's own units are new.
set(SIO_POSIX_SOURCES src/posix/posix_objects.cpp src/posix/posix_serial.cpp)

foreach(target sio sio_shared)
  if(target STREQUAL sio)
    add_library(${target} STATIC ${SIO_SOURCES} ${SIO_POSIX_SOURCES})
  else()
    add_library(${target} SHARED ${SIO_SOURCES} ${SIO_POSIX_SOURCES})
  endif()
  add_library(sio::${target} ALIAS ${target})
  target_include_directories(${target}
    PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>
    PRIVATE src src/posix)
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:project_warnings> PUBLIC Threads::Threads)
  # The device name's buffer is sized for the port numbers there are, which
  # the native gcc cannot see through the index check.
  target_compile_options(${target} PRIVATE -Wno-format-truncation)
  set_target_properties(${target} PROPERTIES PUBLIC_HEADER include/sio.h POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endforeach()

include(${CMAKE_CURRENT_SOURCE_DIR}/cmake/SioVersion.cmake)
set_target_properties(sio_shared PROPERTIES OUTPUT_NAME sio VERSION ${SIO_PACKAGE_VERSION} SOVERSION ${sio_major})

# Internal headers and the seams' tables for the native tests.
add_library(sio_internal INTERFACE)
target_include_directories(sio_internal INTERFACE src src/posix)
target_link_libraries(sio_internal INTERFACE sio)

# What cmake --install gives: runtime (libsio.so.<major>) and development
# (header, libsio.a, the libsio.so link, the CMake package and sio.pc).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
install(TARGETS sio sio_shared EXPORT sioTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/sio)
install(EXPORT sioTargets NAMESPACE sio:: DESTINATION ${cmake_dir} COMPONENT development)
configure_package_config_file(cmake/sioConfigPosix.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/sioConfig.cmake
  INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/sioConfigVersion.cmake
  VERSION ${SIO_PACKAGE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sioConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/sioConfigVersion.cmake
  DESTINATION ${cmake_dir} COMPONENT development)
configure_file(cmake/sio-posix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/sio.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sio.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
