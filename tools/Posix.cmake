# The console programs on Linux: the same sources as on Windows, but for the
# hint on a port that did not open (port_name_posix.cpp). The window stays a Windows
# program; of the tool only the sequence code the programs share is built.
set(app ${PROJECT_SOURCE_DIR}/app)
add_library(vantoro_app STATIC ${app}/controller_line.cpp ${app}/error_text.cpp ${app}/home_sequence.cpp
  ${app}/text_buffer.cpp)
target_include_directories(vantoro_app PUBLIC ${app})
target_link_libraries(vantoro_app PUBLIC sio tmcl_protocol vantoro_version PRIVATE project_warnings)

set(tools ${PROJECT_SOURCE_DIR}/tools)
add_library(tool_common STATIC ${tools}/common/args.cpp ${tools}/common/error_line.cpp
  ${tools}/common/line_setup.cpp ${tools}/common/ms_clock.cpp ${tools}/common/port_name_posix.cpp)
target_include_directories(tool_common PUBLIC ${tools}/common)
target_link_libraries(tool_common PUBLIC vantoro_app sio PRIVATE project_warnings)

add_library(tmcl STATIC ${tools}/tmcl/controller.cpp ${tools}/tmcl/eeprom_file.cpp ${tools}/tmcl/frame_assembler.cpp)
target_include_directories(tmcl PUBLIC ${tools}/tmcl)
target_link_libraries(tmcl PUBLIC tmcl_protocol PRIVATE project_warnings)

add_library(tmcl_sim_core STATIC ${tools}/tmcl-sim/sim_options.cpp ${tools}/tmcl-sim/simulator.cpp)
target_include_directories(tmcl_sim_core PUBLIC ${tools}/tmcl-sim)
target_link_libraries(tmcl_sim_core PUBLIC tmcl tool_common PRIVATE project_warnings)
add_executable(tmcl-sim ${tools}/tmcl-sim/main.cpp)
target_link_libraries(tmcl-sim PRIVATE tmcl_sim_core project_warnings)

add_library(vantoro_home_core STATIC ${tools}/vantoro-home/home_options.cpp ${tools}/vantoro-home/home_run.cpp
  ${tools}/vantoro-home/port_list.cpp ${tools}/vantoro-home/reply_report.cpp
  ${tools}/vantoro-home/status_query.cpp)
target_include_directories(vantoro_home_core PUBLIC ${tools}/vantoro-home)
target_link_libraries(vantoro_home_core PUBLIC tmcl tool_common vantoro_app PRIVATE project_warnings)
add_executable(vantoro-home ${tools}/vantoro-home/main.cpp)
target_link_libraries(vantoro-home PRIVATE vantoro_home_core project_warnings)

include(GNUInstallDirs)
install(TARGETS vantoro-home tmcl-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
