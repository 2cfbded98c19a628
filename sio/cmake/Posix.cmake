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
