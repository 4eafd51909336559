# Cross build for 32-bit Windows with the mingw-w64 compilers (POSIX-thread
# variant: the core needs std::mutex). The runtime is linked statically so
# the programs run on a Windows with no compiler libraries installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VEX_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Single-precision arithmetic must round every step to a float, as SSE2
# does; the x87 unit would keep intermediate results in extended precision.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# The areas alone take some 630 MB and every run reserves a large stack: the
# programs ask for the 4 GB a 32-bit process gets on 64-bit Windows.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
