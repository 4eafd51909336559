# The console program vexilon-cli. Included by the top CMakeLists.txt.

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
