# Shared by the MinGW toolchain files; ZELFIX_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${ZELFIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELFIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELFIX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZELFIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything static: the executables are copied alone onto the operators' PCs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
