# Cross-compiling to 64-bit Windows (x64) with MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRO_MINGW_TRIPLE x86_64-w64-mingw32)
set(KESTRO_WINE_ARCH 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
