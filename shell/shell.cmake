# The Win32 program vexilon.exe: the shell over the same core library.
# Included by the top CMakeLists.txt when building for Windows.
enable_language(RC)

file(GLOB VEX_SHELL_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(vexilon WIN32 ${VEX_SHELL_SOURCES}
                             ${CMAKE_CURRENT_LIST_DIR}/vexilon.rc)
target_compile_definitions(vexilon PRIVATE UNICODE _UNICODE)
# wWinMain is the entry point (-municode); WIN32 gives the GUI subsystem.
target_compile_options(vexilon PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
# The window thread evaluates the start-up library: it gets the stack of a
# run's thread (RUN_STACK_BYTES in shell/run_thread.h).
target_link_options(vexilon PRIVATE -municode -Wl,--stack,67108864)
target_link_libraries(vexilon PRIVATE vexcore user32 gdi32 comdlg32 imm32)

if(VEX_TESTS)
  include(${CMAKE_CURRENT_SOURCE_DIR}/tests/gui/gui.cmake OPTIONAL)
endif()
