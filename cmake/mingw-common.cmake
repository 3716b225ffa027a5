# Shared by the MinGW toolchain files; ZELFIX_MINGW_TRIPLET names the target.
# The POSIX-threads flavour of the compiler: in Debian's GCC 12 the win32-threads flavour
# has no std::thread, std::mutex or std::condition_variable, which the program's drive
# probes (platform/driveprobe.cpp) use, as does GoogleTest. Its run-time library
# (winpthread) is linked statically with the rest, below.
set(CMAKE_C_COMPILER ${ZELFIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELFIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELFIX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZELFIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Reproducible executables: the same sources give the same bytes, wherever they were
# checked out and whenever they were built. Source and build paths are written relative
# (for __FILE__ and debug information), and the linker leaves the PE header's time stamp
# at zero (the header's checksum then stops changing too).
set(ZELFIX_PREFIX_MAPS
    "-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=")
set(CMAKE_C_FLAGS_INIT "${ZELFIX_PREFIX_MAPS}")
set(CMAKE_CXX_FLAGS_INIT "${ZELFIX_PREFIX_MAPS}")
# Everything static: the executables are copied alone onto the operators' PCs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
