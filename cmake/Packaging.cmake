# The release packages. The 64-bit build makes the full package, as a zip
# and as a Windows installer with the same files: the tool, the console
# programs, the library (header, static library, DLL with its import
# libraries, CMake and pkg-config files, examples), the user guide and the
# library reference. The 32-bit build, and any build with SIO_LIBRARY_ONLY,
# makes the library's own zip, with the library's components only. Made by
#   cmake --build --preset win64 --target package   -> vantoro-<version>-win64.zip and .exe
#   cmake --build --preset win32 --target package   -> sio-<library version>-win32.zip
set(CPACK_PACKAGE_VENDOR Vantoro)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_VERBATIM_VARIABLES ON)  # values reach cpack as written here
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()

if(SIO_LIBRARY_ONLY OR NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_PACKAGE_NAME sio)
  set(CPACK_PACKAGE_VERSION ${SIO_PACKAGE_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sio serial port library for Windows")
  set(CPACK_GENERATOR ZIP)
  # One zip of exactly these components: the tool's files stay out.
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL runtime development documentation)
  include(CPack)
  return()
endif()

install(TARGETS vantoro RUNTIME DESTINATION bin COMPONENT tool)
foreach(tool vantoro-home tmcl-sim)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION bin COMPONENT tool)
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md DESTINATION doc COMPONENT tool)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/vantoro-after-home-option1.png)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/vantoro-after-home-option1.png DESTINATION doc COMPONENT tool)
endif()

set(CPACK_PACKAGE_NAME vantoro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Vantoro camera slider home configuration tool and the sio serial library")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_MONOLITHIC_INSTALL ON)  # everything, without a page to pick components

# The installer (makensis from Debian's nsis package): Program Files\Vantoro,
# Start-menu entries for the tool and the guide, an uninstaller registered
# with the system that removes all of it.
find_program(MAKENSIS_PROGRAM makensis)
if(MAKENSIS_PROGRAM)
  set(CPACK_GENERATOR ZIP NSIS)
else()
  message(WARNING "makensis not found (Debian package nsis): the package target writes the zip only")
  set(CPACK_GENERATOR ZIP)
endif()
set(CPACK_PACKAGE_INSTALL_DIRECTORY Vantoro)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Vantoro)
set(CPACK_NSIS_PACKAGE_NAME "Vantoro configuration tool ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Vantoro configuration tool ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/app/icons/vantoro.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/app/icons/vantoro.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\vantoro.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The uninstaller removes the installer's key below the vendor's at its very
# end, but not the vendor's own key, which would stay behind empty.
set(CPACK_NSIS_DEFINES "Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"
FunctionEnd")
set(CPACK_PACKAGE_EXECUTABLES vantoro "Vantoro configuration tool")
if(SIO_BUILD_DOCS)
  set(CPACK_NSIS_MENU_LINKS "doc/guide/index.html" "Vantoro user guide")
else()
  set(CPACK_NSIS_MENU_LINKS "doc/user-guide.md" "Vantoro user guide")
endif()
# A console in the install folder, where vantoro-home runs: operators who
# never open one otherwise get there from the Start menu. It shows the
# program's help first.
set(CPACK_NSIS_CREATE_ICONS_EXTRA "  SetOutPath \"$INSTDIR\\bin\"
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Vantoro console.lnk\" \"$SYSDIR\\cmd.exe\" \"/K vantoro-home.exe --help\"
  SetOutPath \"$INSTDIR\"")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\Vantoro console.lnk\"")
# The installer shows the licence (CPACK_RESOURCE_FILE_LICENSE) on a page of its own.
include(CPack)
