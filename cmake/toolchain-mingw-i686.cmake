# Cross-compiles for 32-bit Windows with Debian's mingw-w64: the launcher that ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LINKMOOR_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
