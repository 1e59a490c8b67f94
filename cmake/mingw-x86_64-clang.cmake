# Cross-compiling to 64-bit Windows (x64) with clang and lld, on the MinGW-w64 headers and
# libraries: a second compiler, whose warnings and code generation differ from GCC's.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRO_MINGW_TRIPLE x86_64-w64-mingw32)
set(KESTRO_WINE_ARCH 64)
set(KESTRO_MINGW_C_COMPILER clang)
set(KESTRO_MINGW_CXX_COMPILER clang++)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

set(CMAKE_C_COMPILER_TARGET ${KESTRO_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${KESTRO_MINGW_TRIPLE})
# Without a sysroot, clang adds the host's /usr/include and /usr/lib behind the MinGW-w64 ones.
set(CMAKE_SYSROOT /usr/${KESTRO_MINGW_TRIPLE})

# clang 14 looks for GCC's libstdc++ in a folder named by a bare version number, and Debian names
# it 12-posix (the posix threads variant, which std::thread needs): its headers and libraries are
# given here by hand.
file(GLOB kestro_gcc_dirs LIST_DIRECTORIES true /usr/lib/gcc/${KESTRO_MINGW_TRIPLE}/*-posix)
if(NOT kestro_gcc_dirs)
    message(FATAL_ERROR "No /usr/lib/gcc/${KESTRO_MINGW_TRIPLE}/*-posix folder: run scripts/setup.sh first")
endif()
list(SORT kestro_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET kestro_gcc_dirs 0 kestro_gcc_dir)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
    ${kestro_gcc_dir}/include/c++
    ${kestro_gcc_dir}/include/c++/${KESTRO_MINGW_TRIPLE}
    ${kestro_gcc_dir}/include/c++/backward)
# -pthread has the driver put winpthreads after libstdc++, which needs it (GCC's posix variant
# does that by itself). lld stamps the link time into the PE header unless told not to.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -L${kestro_gcc_dir} -pthread -Wl,--no-insert-timestamp")
