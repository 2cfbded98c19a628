# Holds sio.def, the export list sio.dll is linked with, against the calls
# that sio.h declares with SIO_API, and names every call that is on one side
# only.
#   cmake -DHEADER=sio.h -DDEF=sio.def -P check_def.cmake
file(STRINGS ${HEADER} declarations REGEX "^[ \t]*SIO_API[ \t]")
set(declared)
foreach(line IN LISTS declarations)
  # The call's name is the first name that a parenthesis follows.
  if(NOT line MATCHES "([A-Za-z_][A-Za-z0-9_]*)[ \t]*\\(")
    message(FATAL_ERROR "${HEADER}: no call name on the line \"${line}\" (keep each SIO_API "
                        "declaration's name on its first line)")
  endif()
  list(APPEND declared ${CMAKE_MATCH_1})
endforeach()

# After EXPORTS, one name a line, each perhaps followed by an ordinal or a
# keyword; ';' starts a comment.
file(STRINGS ${DEF} def_lines)
set(exported)
set(in_exports OFF)
foreach(line IN LISTS def_lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  elseif(line MATCHES "^EXPORTS")
    set(in_exports ON)
  elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()

set(missing ${declared})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${declared})
set(problems)
if(missing)
  list(JOIN missing " " names)
  list(APPEND problems "sio.def lacks calls that sio.h declares: ${names}")
endif()
if(extra)
  list(JOIN extra " " names)
  list(APPEND problems "sio.def exports names that sio.h does not declare: ${names}")
endif()
list(LENGTH declared count)
if(count EQUAL 0)
  list(APPEND problems "sio.h declares no call with SIO_API")
endif()
if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message("sio.def exports exactly the ${count} calls that sio.h declares")
