# HTML documents of the package, made with doxygen (Debian package doxygen):
# the library reference from sio.h, where an undocumented call, parameter or
# code fails the build, and the user guide from docs/user-guide.md. The
# reference is installed with the library's documents (share/doc/sio), the
# guide with the tool's (doc/guide). Another project that builds this tree
# gets neither unless it asks.
option(SIO_BUILD_DOCS "Build the library reference and the guide as HTML (needs doxygen)" ${PROJECT_IS_TOP_LEVEL})
if(NOT SIO_BUILD_DOCS)
  return()
endif()
find_program(DOXYGEN_PROGRAM doxygen)
if(NOT DOXYGEN_PROGRAM AND SIO_LIBRARY_ONLY)
  message(STATUS "doxygen not found: the library reference is not built")
  return()
elseif(NOT DOXYGEN_PROGRAM)
  message(FATAL_ERROR "doxygen not found: the library reference is built from sio.h "
                      "(Debian package doxygen; scripts/deps installs it), or configure "
                      "with -DSIO_BUILD_DOCS=OFF")
endif()

# Configures one document: name, title, version, input files, main page,
# the files it is made from, and where and in which component it is installed.
function(sio_add_document name title version inputs mainpage depends destination component)
  set(DOC_TITLE "${title}")
  set(DOC_VERSION "${version}")
  set(DOC_OUTPUT "${PROJECT_BINARY_DIR}/doc/${name}")
  set(DOC_INPUT "${inputs}")
  set(DOC_MAINPAGE "${mainpage}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in ${PROJECT_BINARY_DIR}/doc/Doxyfile-${name} @ONLY)
  add_custom_command(OUTPUT ${DOC_OUTPUT}/index.html
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${DOC_OUTPUT}
    COMMAND ${DOXYGEN_PROGRAM} ${PROJECT_BINARY_DIR}/doc/Doxyfile-${name}
    DEPENDS ${depends} ${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in
    COMMENT "doxygen: ${title}" VERBATIM)
  add_custom_target(doc_${name} ALL DEPENDS ${DOC_OUTPUT}/index.html)
  install(DIRECTORY ${DOC_OUTPUT}/ DESTINATION ${destination} COMPONENT ${component})
  # The same check as a test, so that a run of the tests alone reports an
  # undocumented call too; it writes beside the build's copy, not over it.
  if(SIO_BUILD_TESTS)
    set(DOC_OUTPUT "${PROJECT_BINARY_DIR}/doc-check/${name}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in ${PROJECT_BINARY_DIR}/doc-check/Doxyfile-${name} @ONLY)
    add_test(NAME docs.${name} COMMAND ${DOXYGEN_PROGRAM} ${PROJECT_BINARY_DIR}/doc-check/Doxyfile-${name})
    set_tests_properties(docs.${name} PROPERTIES LABELS build TIMEOUT 120)
  endif()
endfunction()

file(GLOB example_sources ${PROJECT_SOURCE_DIR}/examples/*.c)
sio_add_document(sio-reference "sio serial library reference" ${SIO_PACKAGE_VERSION}
  "${PROJECT_SOURCE_DIR}/sio/include/sio.h ${PROJECT_SOURCE_DIR}/sio/doc/mainpage.md"
  ${PROJECT_SOURCE_DIR}/sio/doc/mainpage.md
  "${PROJECT_SOURCE_DIR}/sio/include/sio.h;${PROJECT_SOURCE_DIR}/sio/doc/mainpage.md;${example_sources}"
  ${SIO_INSTALL_DOCDIR}/reference documentation)
if(NOT SIO_LIBRARY_ONLY)
  sio_add_document(guide "Vantoro configuration tool" ${PROJECT_VERSION} "${PROJECT_SOURCE_DIR}/docs/user-guide.md"
    "${PROJECT_SOURCE_DIR}/docs/user-guide.md" ${PROJECT_SOURCE_DIR}/docs/user-guide.md doc/guide tool)
endif()

# Every table of sio.h reaches the reference whole: no row of the header is
# broken over lines, and doxygen writes as many rows as the header holds. The
# second test feeds the check a header with one row reflowed, which it must
# refuse.
if(SIO_BUILD_TESTS)
  set(check ${PROJECT_SOURCE_DIR}/tests/docs/check_tables.sh)
  set_tests_properties(docs.sio-reference PROPERTIES FIXTURES_SETUP sio_reference_html)
  add_test(NAME docs.tables COMMAND ${check} ${PROJECT_SOURCE_DIR}/sio/include/sio.h
           ${PROJECT_BINARY_DIR}/doc-check/sio-reference)
  add_test(NAME docs.tables_refuse_reflow COMMAND ${check} --reflow-one-row
           ${PROJECT_SOURCE_DIR}/sio/include/sio.h ${PROJECT_BINARY_DIR}/doc-check/sio-reference)
  set_tests_properties(docs.tables docs.tables_refuse_reflow PROPERTIES LABELS build
                       FIXTURES_REQUIRED sio_reference_html)
  set_tests_properties(docs.tables_refuse_reflow PROPERTIES PASS_REGULAR_EXPRESSION "is broken over lines")
endif()
