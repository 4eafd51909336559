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
# The window thread evaluates the start-up library: it gets a stack deep
# enough for it (run_thread.h says why not as deep as a run's).
target_link_options(vexilon PRIVATE -municode -Wl,--stack,67108864)
target_link_libraries(vexilon PRIVATE vexcore user32 gdi32 comdlg32 imm32)

if(VEX_TESTS)
  include(${CMAKE_CURRENT_SOURCE_DIR}/tests/gui/gui.cmake OPTIONAL)
endif()

# The release (cmake/packaging.cmake makes the zip): the two programs, the
# start-up library, the examples, the guides and a read-me, laid out as
# vexilon.exe expects to find them when it is started in its folder. The
# read-me gets Windows line ends for Notepad.
install(TARGETS vexilon vexilon-cli RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/src/vexsys.LSP DESTINATION src)
file(GLOB VEX_EXAMPLES ${CMAKE_SOURCE_DIR}/examples/*.LSP)
install(FILES ${VEX_EXAMPLES} DESTINATION examples)
file(GLOB VEX_EXAMPLE_PICTURES ${CMAKE_SOURCE_DIR}/examples/svg/*.svg)
install(FILES ${VEX_EXAMPLE_PICTURES} DESTINATION examples/svg)
install(FILES ${CMAKE_SOURCE_DIR}/docs/guide-ja.md
              ${CMAKE_SOURCE_DIR}/docs/guide-en.md DESTINATION docs)
configure_file(${CMAKE_CURRENT_LIST_DIR}/readme.txt
               ${CMAKE_CURRENT_BINARY_DIR}/readme.txt @ONLY NEWLINE_STYLE WIN32)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/readme.txt DESTINATION .)
