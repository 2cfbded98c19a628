# Cross build for 32-bit Windows with Debian's mingw-w64 (posix thread model,
# so the C++ runtime's threads work in tests; everything is linked statically).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages may come from the sysroot or from a prefix given in CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# The dlltool that makes sio.lib: llvm-dlltool where it is there, since it
# writes Microsoft's short import format, which a 32-bit program linked with
# /SAFESEH (lld-link's and Visual Studio's default) accepts; binutils'
# dlltool writes objects that such a link refuses. (CMake's own pick, cached
# by a configure before this choice, is looked up again.)
if(CMAKE_DLLTOOL MATCHES "/${MINGW_TRIPLE}-dlltool$")
  unset(CMAKE_DLLTOOL CACHE)
endif()
find_program(CMAKE_DLLTOOL NAMES llvm-dlltool ${MINGW_TRIPLE}-dlltool)
