# The library's version: its stamp in src/options.cpp (what SioQueryInfo 'V'
# and 'B' report) is the one place it is written. The macros in sio.h must say
# the same, the configure stops when they do not; the CMake package, the
# pkg-config files and the DLL's version resource take it from here.
file(STRINGS src/options.cpp stamp_line REGEX "kVersionStamp\\[\\] = ")
if(NOT stamp_line MATCHES "V([0-9A-Fa-f][0-9A-Fa-f])([0-9A-Fa-f][0-9A-Fa-f]) B([0-9A-Fa-f]+)")
  message(FATAL_ERROR "the library's version stamp was not found in src/options.cpp")
endif()
# Major and minor are shown as written ("0425" is 4.25), the build as a number.
set(major_digits ${CMAKE_MATCH_1})
set(minor_digits ${CMAKE_MATCH_2})
math(EXPR sio_build "0x${CMAKE_MATCH_3}" OUTPUT_FORMAT DECIMAL)
string(REGEX REPLACE "^0" "" sio_major "${major_digits}")
string(REGEX REPLACE "^0" "" sio_minor "${minor_digits}")
set(SIO_PACKAGE_VERSION "${sio_major}.${sio_minor}.${sio_build}")
set(SIO_PACKAGE_VERSION ${SIO_PACKAGE_VERSION} PARENT_SCOPE)  # the reference's and the zip's version

# sio.h states the same version as SIO_VERSION_MAJOR, _MINOR, _PATCH (the
# build) and SIO_VERSION_STRING.
set(expected_macros
  "#define SIO_VERSION_MAJOR ${sio_major}"
  "#define SIO_VERSION_MINOR ${sio_minor}"
  "#define SIO_VERSION_PATCH ${sio_build}"
  "#define SIO_VERSION_STRING \"${SIO_PACKAGE_VERSION}\"")
file(STRINGS include/sio.h header_macros REGEX "^#define SIO_VERSION_(MAJOR|MINOR|PATCH|STRING) ")
if(NOT header_macros STREQUAL expected_macros)
  list(JOIN expected_macros "\n" expected_text)
  message(FATAL_ERROR "sio.h's version macros do not say ${SIO_PACKAGE_VERSION}, the version of the "
                      "stamp in src/options.cpp; they must read, in this order:\n${expected_text}")
endif()

# The DLL's version resource, where a resource compiler is there (the library
# builds without one, and then sio.dll has no version block).
# With MinGW, CMake enables RC by itself, with the name of the toolchain's
# windres whether or not that program is there; so the program is looked for.
if(WIN32 AND TARGET sio_shared)
  if(CMAKE_RC_COMPILER)
    find_program(rc_program NAMES ${CMAKE_RC_COMPILER} NO_CACHE)
  endif()
  if(rc_program)
    enable_language(RC)
    configure_file(sio_version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/sio_version.rc @ONLY)
    target_sources(sio_shared PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/sio_version.rc)
  else()
    message(STATUS "no resource compiler: sio.dll is built without its version resource")
  endif()
endif()
