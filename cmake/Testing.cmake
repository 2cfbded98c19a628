# GoogleTest built from Debian's sources with the cross compiler, and the
# helper that turns one test file into one Windows test program. Every test
# case runs in its own process under Wine (the library's state is
# process-wide), inside the isolated environment that scripts/testenv keeps.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${GTEST_SOURCE_DIR} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The 64-bit loader, which every machine of ours can run; scripts/testenv
# picks the loader per program.
find_program(WINE_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINE_PROGRAM NAMES wine64)
if(NOT WINE_PROGRAM)
  message(FATAL_ERROR "Wine's 64-bit loader (wine64) not found: the tests are Windows programs and run "
                      "under Wine (scripts/deps installs it, as root)")
endif()

set(SIO_TESTENV_ROOT ${CMAKE_BINARY_DIR}/testenv CACHE PATH "Wine prefix, virtual lines and logs of the tests")
# Every test program is started by the wrapper, which runs it inside the
# isolated namespace (starting the environment on first use).
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/testenv;--root;${SIO_TESTENV_ROOT};run)

include(GoogleTest)

# Suites named Line* use the virtual null-modem lines (one test at a time);
# suites named Gui* create windows on the private display; the rest are unit
# tests. Labels: unit, line, gui.
function(sio_add_test source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gmock
                        project_warnings)
  set(common DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  gtest_discover_tests(${name} ${common} TEST_FILTER "-Line*:Gui*"
    PROPERTIES LABELS unit TIMEOUT 60)
  gtest_discover_tests(${name} ${common} TEST_FILTER "Line*"
    PROPERTIES LABELS line RESOURCE_LOCK virtual_lines TIMEOUT 120)
  gtest_discover_tests(${name} ${common} TEST_FILTER "Gui*"
    PROPERTIES LABELS gui RESOURCE_LOCK "virtual_lines;display" TIMEOUT 120)
endfunction()
