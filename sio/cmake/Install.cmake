# What the library installs, in three components so that a package can take
# what it needs: runtime (sio.dll and the licence), development (header,
# libraries, sio.def, CMake and pkg-config files) and documentation (the
# changelog and the reference, see cmake/Docs.cmake). The licence and the
# documents go to the per-package folders of GNUInstallDirs, so that packages
# in one prefix do not collide.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(shipped)
if(sio_ship_static)
  list(APPEND shipped sio)
endif()
if(sio_ship_shared)
  list(APPEND shipped sio_shared)
endif()
install(TARGETS ${shipped} EXPORT sioTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES include/sio.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${SIO_INSTALL_LICENSEDIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${SIO_INSTALL_DOCDIR} COMPONENT documentation)
if(WIN32 AND sio_ship_shared)
  install(FILES sio.def ${SIO_MSVC_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
endif()

# The CMake package: find_package(sio) offers sio::sio, and sio::sio_shared
# where both kinds are built.
set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/sio)
install(EXPORT sioTargets NAMESPACE sio:: DESTINATION ${cmake_dir} COMPONENT development)
configure_package_config_file(sioConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/sioConfig.cmake
  INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/sioConfigVersion.cmake
  VERSION ${SIO_PACKAGE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sioConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/sioConfigVersion.cmake
  DESTINATION ${cmake_dir} COMPONENT development)

# pkg-config: one sio.pc, -lsio, which the linker resolves to the DLL's
# import library where both are installed and to the static library with
# -static (then --static adds the system libraries of Libs.private). It finds
# the prefix from where it lies, so an unpacked zip works wherever it is.
list(TRANSFORM SIO_SYSTEM_LIBRARIES PREPEND -l OUTPUT_VARIABLE pc_private)
if(NOT WIN32)
  # A C program on libsio.a needs the C++ runtime that gcc adds only for C++.
  list(PREPEND pc_private -lstdc++)
endif()
list(JOIN pc_private " " SIO_PC_LIBS_PRIVATE)
configure_file(sio.pc.in ${CMAKE_CURRENT_BINARY_DIR}/sio.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sio.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
