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
