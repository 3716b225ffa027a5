# Cross-compiles for 32-bit Windows with MinGW-w64 (POSIX-threads flavour). Test programs
# run under 32-bit Wine through wine-run.sh, in a 32-bit prefix, as on 32-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZELFIX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEARCH=win32 ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
