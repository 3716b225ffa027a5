# Cross-compiles for 32-bit Windows with MinGW-w64 (POSIX-threads flavour). There is no
# 32-bit Wine on the build machines, so nothing built here is run; tests are only built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZELFIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
