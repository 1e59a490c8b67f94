# libjpeg-turbo for MinGW, built once per architecture from Debian's source package
# into a cache outside the source tree (scripts/build-libjpeg-mingw.sh).
if(NOT KESTRO_JPEG_PREFIX)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(kestro_jpeg_arch x86_64)
    else()
        set(kestro_jpeg_arch i686)
    endif()
    execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/build-libjpeg-mingw.sh ${kestro_jpeg_arch}
        OUTPUT_VARIABLE prefix OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "libjpeg-turbo for MinGW could not be built (run scripts/setup.sh first)")
    endif()
    set(KESTRO_JPEG_PREFIX "${prefix}" CACHE PATH "Install prefix of the static MinGW libjpeg-turbo")
endif()
add_library(JPEG::JPEG STATIC IMPORTED)
set_target_properties(JPEG::JPEG PROPERTIES
    IMPORTED_LOCATION "${KESTRO_JPEG_PREFIX}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${KESTRO_JPEG_PREFIX}/include")
