# The GUI tests of vexilon.exe: a UI-automation driver (a console program)
# and the probe DLL it hooks into the program. Run them under Wine with
# .ci/windows.sh, or on Windows:
#   vexilon-gui-test.exe path\to\vexilon.exe path\to\vexsys.LSP work-folder
add_library(vexprobe SHARED ${CMAKE_CURRENT_LIST_DIR}/probe.cpp)
set_target_properties(vexprobe PROPERTIES PREFIX "")
target_include_directories(vexprobe PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vexprobe PRIVATE UNICODE _UNICODE)
# The hook is looked up by its plain name, which i686 would decorate.
target_link_options(vexprobe PRIVATE -static -Wl,--kill-at)

add_executable(vexilon-gui-test ${CMAKE_CURRENT_LIST_DIR}/gui_tests.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/automation.cpp)
target_include_directories(vexilon-gui-test PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vexilon-gui-test PRIVATE UNICODE _UNICODE)
# -Wno-stringop-overread: GCC 12 misreads the inlined wmemcpy of mingw-w64's
# <wchar.h> when a wide literal is added to a std::wstring (also at the
# link-time optimisation step).
target_compile_options(vexilon-gui-test PRIVATE -municode
                                               -Wno-stringop-overread)
target_link_options(vexilon-gui-test PRIVATE -municode -Wno-stringop-overread)
target_link_libraries(vexilon-gui-test PRIVATE user32 gdi32 winspool)
add_dependencies(vexilon-gui-test vexprobe vexilon)
