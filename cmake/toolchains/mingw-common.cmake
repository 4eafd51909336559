# What the two mingw-w64 toolchains share; VEX_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${VEX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A bare Windows has no libstdc++, libgcc or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# -O2 rather than -O3: GCC 12 at -O3 reports a false -Wrestrict inside
# std::string concatenation (GCC bug 105651), which -Werror turns fatal.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Release flags")
