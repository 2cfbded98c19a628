# sio.def and the import library that Visual Studio's linker takes, sio.lib,
# both made from the DLL as built, so they list exactly its exports. The calls
# are __cdecl, so the names carry no decoration on either architecture.
# llvm-dlltool writes the short import format that Microsoft's own tools
# write; binutils' dlltool, which comes with the cross compiler, is the
# fall-back.
set(sio_def ${CMAKE_CURRENT_BINARY_DIR}/sio.def)
set(sio_lib ${CMAKE_CURRENT_BINARY_DIR}/sio.lib)
target_link_options(sio_shared PRIVATE -Wl,--output-def,${sio_def})

find_program(SIO_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 ${MINGW_TRIPLE}-dlltool REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(dlltool_machine i386:x86-64)
else()
  set(dlltool_machine i386)
endif()
add_custom_command(TARGET sio_shared POST_BUILD
  COMMAND ${SIO_DLLTOOL} -m ${dlltool_machine} -d ${sio_def} -D sio.dll -l ${sio_lib}
  BYPRODUCTS ${sio_def} ${sio_lib} COMMENT "sio.lib for Visual Studio's linker" VERBATIM)
