# What both mingw-w64 toolchain files share; each sets LINKMOOR_MINGW_PREFIX and the processor
# first. The -posix thread model is needed by GoogleTest (std::mutex); everything is linked
# statically so executables need only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${LINKMOOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LINKMOOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${LINKMOOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LINKMOOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
