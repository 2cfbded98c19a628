# What the library installs, in three components so that a package can take
# what it needs: runtime (sio.dll and the licence), development (header,
# static library, import libraries, sio.def, CMake and pkg-config files) and
# documentation (the reference, see cmake/Docs.cmake).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
install(TARGETS sio sio_shared EXPORT sioTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT runtime)
install(FILES ${sio_def} ${sio_lib} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)

# The CMake package: find_package(sio) offers sio::sio and sio::sio_shared.
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/sio)
install(EXPORT sioTargets NAMESPACE sio:: DESTINATION ${cmake_dir} COMPONENT development)
configure_package_config_file(sioConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/sioConfig.cmake
  INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/sioConfigVersion.cmake
  VERSION ${SIO_PACKAGE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sioConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/sioConfigVersion.cmake
  DESTINATION ${cmake_dir} COMPONENT development)

# pkg-config: sio.pc for the static library, sio-shared.pc for sio.dll (both
# name their library file, so that -static cannot swap one for the other); both
# find the prefix from where they lie, so an unpacked zip works wherever it is.
foreach(pc sio sio-shared)
  configure_file(${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT development)
endforeach()
