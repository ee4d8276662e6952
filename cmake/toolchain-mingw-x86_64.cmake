# Cross-compiles the same code for 64-bit Windows with Debian's mingw-w64. It is how the Windows
# code is tested on machines that run no 32-bit programs (64-bit Wine only); it never ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LINKMOOR_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
