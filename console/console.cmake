# The console program vexilon-cli, its installation and its Debian package's
# part. Included by the top CMakeLists.txt.
#
# Installed, the program finds the start-up library in ../share/vexilon
# from its own folder (console/session.cpp) when the current folder has
# none: the destinations below keep that layout for any prefix.

file(GLOB VEX_CONSOLE_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
# Each system's line editor: the console's own on Windows, libedit
# elsewhere.
if(WIN32)
  list(FILTER VEX_CONSOLE_SOURCES EXCLUDE REGEX "_posix\\.cpp$")
else()
  list(FILTER VEX_CONSOLE_SOURCES EXCLUDE REGEX "_win\\.cpp$")
endif()
add_executable(vexilon-cli ${VEX_CONSOLE_SOURCES})
target_link_libraries(vexilon-cli PRIVATE vexcore)

# A static program starts without the dynamic loader's relocations of the C++
# runtime, which were a third of the console's start-up time. The sanitizer
# builds need their shared runtimes.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT VEX_SANITIZE AND NOT VEX_FUZZ)
  target_link_options(vexilon-cli PRIVATE -static)
  # libedit with what it needs, as Debian builds it: terminfo, and libbsd
  # with libmd.
  target_link_libraries(vexilon-cli PRIVATE edit tinfo bsd md)
elseif(NOT WIN32)
  find_library(VEX_LIBEDIT edit REQUIRED)
  target_link_libraries(vexilon-cli PRIVATE ${VEX_LIBEDIT})
endif()

# The Windows release installs the program beside vexilon.exe
# (shell/shell.cmake).
if(NOT WIN32)
  install(TARGETS vexilon-cli RUNTIME DESTINATION bin)
  install(FILES ${PROJECT_SOURCE_DIR}/src/vexsys.LSP
          DESTINATION share/vexilon/src)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
          DESTINATION share/vexilon/examples
          PATTERN "*.sh" EXCLUDE)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/guide-en.md
                ${PROJECT_SOURCE_DIR}/docs/guide-ja.md
          DESTINATION share/vexilon/docs)
endif()
