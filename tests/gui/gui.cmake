# The GUI tests of vexilon.exe: a UI-automation driver (a console program)
# and the probe DLL it hooks into the program. README says how to run them.
add_library(vexprobe SHARED ${CMAKE_CURRENT_LIST_DIR}/probe.cpp)
# Loaded into vexilon.exe, whose folder holds no runtime DLLs.
set_target_properties(vexprobe PROPERTIES PREFIX "")
target_link_options(vexprobe PRIVATE -static)
add_executable(vexilon-gui-test ${CMAKE_CURRENT_LIST_DIR}/gui_tests.cpp)
target_include_directories(vexprobe PRIVATE ${CMAKE_SOURCE_DIR})
target_include_directories(vexilon-gui-test PRIVATE ${CMAKE_SOURCE_DIR})
# GCC 12 misreads the inlined wmemcpy of mingw-w64's <wchar.h> when a wide
# literal is added to a std::wstring (also at the link-time optimisation).
target_compile_options(vexilon-gui-test PRIVATE -municode
                                               -Wno-stringop-overread)
target_link_options(vexilon-gui-test PRIVATE -municode -Wno-stringop-overread)
target_link_libraries(vexilon-gui-test PRIVATE vexprobe user32 gdi32 winspool)
add_dependencies(vexilon-gui-test vexilon)
