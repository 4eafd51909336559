# The browser host: a static site in <build>/site that any static file
# server can serve (tools/web.sh builds and serves it). Included by the top
# CMakeLists.txt when building with Emscripten (the wasm preset).
#
# The module shares its memory with a Web Worker that runs the interpreter
# (the README says why); its memory is fixed at the start, large enough for
# the interpreter's areas, which are reserved and never touched beyond what
# is used, so the pages cost nothing until they are.

set(VEX_SITE ${CMAKE_BINARY_DIR}/site)

# What this toolchain's C++ library lacks of what the core uses.
target_compile_options(vexcore PRIVATE
  -include ${CMAKE_CURRENT_LIST_DIR}/charconv_floats.h)
# Link-time optimisation as in the native builds. Only the objects are
# compiled for it: the linker then optimises them together, with the
# toolchain's ordinary system libraries (it has none built for -flto).
target_compile_options(vexcore PRIVATE -flto)
# Every browser the page runs in (it needs shared memory) has the float to
# integer conversions that saturate and the sign-extending operations; with
# them the conversions and narrow loads need no guarding sequences.
set(VEX_WASM_FEATURES -mnontrapping-fptoint -msign-ext)
target_compile_options(vexcore PRIVATE ${VEX_WASM_FEATURES})

file(GLOB VEX_WEB_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(vexilon-web ${VEX_WEB_SOURCES})
target_link_libraries(vexilon-web PRIVATE vexcore)
target_compile_options(vexilon-web PRIVATE -flto ${VEX_WASM_FEATURES})
set_target_properties(vexilon-web PROPERTIES
  OUTPUT_NAME vexilon
  SUFFIX .js
  RUNTIME_OUTPUT_DIRECTORY ${VEX_SITE})
target_link_options(vexilon-web PRIVATE
  ${VEX_WASM_FEATURES}
  -pthread
  # The interpreter's worker is made with the page, before anything runs.
  -sPTHREAD_POOL_SIZE=1
  -sINITIAL_MEMORY=1GB
  # A request the heap cannot meet answers null (the page checks), rather
  # than ending the module.
  -sABORTING_MALLOC=0
  -sMODULARIZE=1
  -sEXPORT_NAME=createVexilon
  -sENVIRONMENT=web,worker
  -sFILESYSTEM=0
  -sEXPORTED_FUNCTIONS=_malloc,_free
  -sEXPORTED_RUNTIME_METHODS=UTF16ToString,UTF8ToString)

# The page, and the site's files: the start-up library and the examples,
# which the page puts in its file system. index.html lists them.
file(GLOB VEX_EXAMPLE_FILES RELATIVE ${PROJECT_SOURCE_DIR}
     CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.LSP)
set(VEX_SITE_FILES src/vexsys.LSP ${VEX_EXAMPLE_FILES})
list(TRANSFORM VEX_SITE_FILES PREPEND "\"" OUTPUT_VARIABLE VEX_QUOTED)
list(TRANSFORM VEX_QUOTED APPEND "\"")
list(JOIN VEX_QUOTED ", " VEX_SITE_FILE_LIST)
configure_file(${CMAKE_CURRENT_LIST_DIR}/index.html ${VEX_SITE}/index.html
               @ONLY)
foreach(page page.js sw.js page.css)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${page} ${VEX_SITE}/${page}
                 COPYONLY)
endforeach()
foreach(file ${VEX_SITE_FILES})
  configure_file(${PROJECT_SOURCE_DIR}/${file} ${VEX_SITE}/${file} COPYONLY)
endforeach()
