# sio.lib, the import library that Visual Studio's linker takes, made from the
# committed sio.def by the toolchain's dlltool (CMAKE_DLLTOOL: binutils' for
# GCC, llvm-dlltool for clang; our toolchain files prefer llvm-dlltool). The
# calls are __cdecl, so the names carry no decoration on either architecture.
# Without a dlltool the DLL and its MinGW import library are built all the
# same, and sio.lib is left out.
if(NOT WIN32 OR NOT TARGET sio_shared)
  return()
endif()
if(NOT CMAKE_DLLTOOL)
  message(STATUS "no dlltool (CMAKE_DLLTOOL): sio.lib for Visual Studio's linker is not built")
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(dlltool_machine i386:x86-64)
else()
  set(dlltool_machine i386)
  if(NOT CMAKE_DLLTOOL MATCHES "llvm-dlltool")
    message(STATUS "sio.lib is made by binutils' dlltool: 32-bit programs link it with /SAFESEH:NO")
  endif()
endif()
set(SIO_MSVC_IMPORT_LIBRARY ${CMAKE_CURRENT_BINARY_DIR}/sio.lib)
add_custom_command(TARGET sio_shared POST_BUILD
  COMMAND ${CMAKE_DLLTOOL} -m ${dlltool_machine} -d ${CMAKE_CURRENT_SOURCE_DIR}/sio.def -D sio.dll
          -l ${SIO_MSVC_IMPORT_LIBRARY}
  BYPRODUCTS ${SIO_MSVC_IMPORT_LIBRARY} COMMENT "sio.lib for Visual Studio's linker" VERBATIM)
# The tests link a program against it.
set(SIO_MSVC_IMPORT_LIBRARY ${SIO_MSVC_IMPORT_LIBRARY} PARENT_SCOPE)
