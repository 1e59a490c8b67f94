# Shared by the MinGW-w64 toolchain files: set KESTRO_MINGW_TRIPLE and KESTRO_WINE_ARCH first,
# and KESTRO_MINGW_C_COMPILER / KESTRO_MINGW_CXX_COMPILER for another compiler than MinGW's GCC.
set(CMAKE_SYSTEM_NAME Windows)

if(NOT KESTRO_MINGW_C_COMPILER)
    set(KESTRO_MINGW_C_COMPILER ${KESTRO_MINGW_TRIPLE}-gcc-posix)
    set(KESTRO_MINGW_CXX_COMPILER ${KESTRO_MINGW_TRIPLE}-g++-posix)
endif()
set(CMAKE_C_COMPILER ${KESTRO_MINGW_C_COMPILER})
set(CMAKE_CXX_COMPILER ${KESTRO_MINGW_CXX_COMPILER})
set(CMAKE_RC_COMPILER ${KESTRO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows programs through the one script that picks Wine's loader for this
# architecture (Debian's plain `wine` prefers the 32-bit loader, which some machines cannot run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine.sh run ${KESTRO_WINE_ARCH})
