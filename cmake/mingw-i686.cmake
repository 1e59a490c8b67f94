# Cross-compiling to 32-bit Windows with MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTRO_MINGW_TRIPLE i686-w64-mingw32)
set(KESTRO_WINE_ARCH 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
