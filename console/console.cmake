# The console program vexilon-cli. Included by the top CMakeLists.txt.

file(GLOB VEX_CONSOLE_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(vexilon-cli ${VEX_CONSOLE_SOURCES})
target_link_libraries(vexilon-cli PRIVATE vexcore)

# A static program starts without the dynamic loader's relocations of the C++
# runtime, which were a third of the console's start-up time. The sanitizer
# builds need their shared runtimes.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT VEX_SANITIZE AND NOT VEX_FUZZ)
  target_link_options(vexilon-cli PRIVATE -static)
endif()
