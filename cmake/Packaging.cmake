# The release package: one zip with the tool, the console programs, the
# library (header, static library, DLL with its import library, CMake
# package files) and the user guide. Made by
#   cmake --build --preset win64 --target package
# which writes build/win64/vantoro-<version>-win64.zip.
install(TARGETS vantoro RUNTIME DESTINATION bin)
foreach(tool vantoro-home tmcl-sim)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(TARGETS sio_shared RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md DESTINATION doc)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/vantoro-after-home-option1.png)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/vantoro-after-home-option1.png DESTINATION doc)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vantoro)
set(CPACK_PACKAGE_VENDOR Vantoro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vantoro camera slider home configuration tool and the sio serial library")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
