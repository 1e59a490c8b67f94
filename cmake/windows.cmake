# Windows build (MinGW-w64 i686 or x86_64): Tarvask.exe, the tool simulator and
# the Windows test programs, which ctest runs under Wine.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KESTRO_WINE_ARCH 64)
    set(KESTRO_MANIFEST_ARCH amd64)
else()
    set(KESTRO_WINE_ARCH 32)
    set(KESTRO_MANIFEST_ARCH x86)
endif()
# Unix paths handed to programs under Wine need the Z: drive in front.
if(CMAKE_CROSSCOMPILING)
    set(KESTRO_PATH_PREFIX "Z:")
else()
    set(KESTRO_PATH_PREFIX "")
endif()
set(KESTRO_WIN_DEFINES UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00 STRICT)
if(MSVC)
    set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    set(KESTRO_WIN_LINK /ENTRY:wWinMainCRTStartup)
    set(KESTRO_TEST_LINK "")
else()
    # Sections aligned to whole pages in the file too: a loader can then map the program's pages as
    # they are needed, where one that meets 512-byte alignment (Wine's) reads the whole file into
    # memory first, which costs a megabyte and more of every run's working set.
    set(KESTRO_WIN_LINK -static -static-libgcc -static-libstdc++ -municode -Wl,--file-alignment=4096
        -Wl,--gc-sections)
    set(KESTRO_TEST_LINK -static -static-libgcc -static-libstdc++ -municode)
    set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --codepage=65001")
endif()

target_compile_definitions(refindor_core PUBLIC ${KESTRO_WIN_DEFINES})

file(GLOB_RECURSE KESTRO_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*_win.cpp ${CMAKE_SOURCE_DIR}/src/*_win.h)
list(FILTER KESTRO_WIN_SOURCES EXCLUDE REGEX "winmain_win\\.cpp$")
add_library(refindor_win STATIC ${KESTRO_WIN_SOURCES})
target_compile_options(refindor_win PRIVATE ${KESTRO_WARNINGS})
# The windows' code runs once per click, not once per line of output: it is built for size, which
# keeps what every start maps small. The portable core, which reads the tool's output, is built
# for speed without the code growth of -O3.
if(NOT MSVC)
    target_compile_options(refindor_win PRIVATE $<$<CONFIG:Release>:-Os>)
    target_compile_options(refindor_core PRIVATE $<$<CONFIG:Release>:-O2>)
endif()
# Parsing <windows.h> takes over a third of these files' compile time, and every Windows build
# compiles them. Only it is precompiled: with the C++ standard headers in the precompiled header
# too, GCC 12 reports warnings from inside libstdc++ (stringop-overflow, array-bounds) that it
# does not report when they are included as text. job_system_win.cpp must include <winsock2.h>
# before <windows.h>.
target_precompile_headers(refindor_win PRIVATE <windows.h>)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/job/job_system_win.cpp PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
target_include_directories(refindor_win PUBLIC ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(refindor_win PUBLIC refindor_core comctl32 shell32 ole32 oleaut32 uuid gdi32 user32 advapi32 shlwapi)

# Resources (manifest, version, icons, pictures, string table) as one object
# library, linked into the program and into every Windows test program.
# The manifest names the processor architecture of the build (the common controls 6 it asks
# for must match the process).
configure_file(${CMAKE_SOURCE_DIR}/resources/tarvask.manifest.in ${KESTRO_GENERATED_DIR}/tarvask.manifest @ONLY)
add_library(refindor_res OBJECT ${CMAKE_SOURCE_DIR}/resources/tarvask.rc)
target_include_directories(refindor_res PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources ${KESTRO_GENERATED_DIR})
file(GLOB KESTRO_RES_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/* ${CMAKE_SOURCE_DIR}/src/base/texts.def
    ${CMAKE_SOURCE_DIR}/src/base/translations/*.def)
list(APPEND KESTRO_RES_FILES ${KESTRO_GENERATED_DIR}/tarvask.manifest ${KESTRO_GENERATED_DIR}/base/program_version.h)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/tarvask.rc PROPERTIES OBJECT_DEPENDS "${KESTRO_RES_FILES}")

add_executable(Tarvask WIN32 ${CMAKE_SOURCE_DIR}/src/app/winmain_win.cpp $<TARGET_OBJECTS:refindor_res>)
target_compile_options(Tarvask PRIVATE ${KESTRO_WARNINGS})
target_link_libraries(Tarvask PRIVATE refindor_win)
target_link_options(Tarvask PRIVATE ${KESTRO_WIN_LINK} $<$<NOT:$<BOOL:${MSVC}>>:-s>)

if(EXISTS ${CMAKE_SOURCE_DIR}/tools/winfr-sim/CMakeLists.txt)
    add_subdirectory(tools/winfr-sim)
endif()
add_subdirectory(tools/bench)

# GoogleTest: built from Debian's sources when cross-compiling, found otherwise.
if(CMAKE_CROSSCOMPILING AND EXISTS /usr/src/googletest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(KESTRO_GTEST gtest)
    set(KESTRO_GTEST_MAIN gtest_main)
    set(KESTRO_GMOCK gmock)
else()
    find_package(GTest REQUIRED)
    set(KESTRO_GTEST GTest::gtest)
    set(KESTRO_GTEST_MAIN GTest::gtest_main)
    set(KESTRO_GMOCK GTest::gmock)
endif()

if(CMAKE_CROSSCOMPILING)
    # Under Wine: one prefix of the build's architecture for the whole run, its wineserver kept
    # alive by a fixture; a second one whose screens have 144 DPI, for the tests named *dpi144*.
    set(kestro_prefix_script ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh)
    set(KESTRO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(KESTRO_WINE_ENV WINEPREFIX=${KESTRO_WINEPREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
    # The simulator goes where Windows keeps winfr for the account; the program looks nowhere else.
    set(kestro_winfr ${CMAKE_COMMAND} -E env KESTRO_WINFR=${CMAKE_BINARY_DIR}/bin/winfr-sim.exe)
    add_test(NAME wine_start COMMAND ${kestro_winfr} ${kestro_prefix_script} ${KESTRO_WINE_ARCH} ${KESTRO_WINEPREFIX} start)
    add_test(NAME wine_stop COMMAND ${kestro_prefix_script} ${KESTRO_WINE_ARCH} ${KESTRO_WINEPREFIX} stop)
    set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP WINE TIMEOUT 300)
    set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP WINE)
    set(KESTRO_WINEPREFIX_144 ${CMAKE_BINARY_DIR}/wineprefix-144)
    set(KESTRO_WINE_ENV_144 WINEPREFIX=${KESTRO_WINEPREFIX_144} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")
    add_test(NAME wine144_start COMMAND ${kestro_winfr} ${kestro_prefix_script} ${KESTRO_WINE_ARCH} ${KESTRO_WINEPREFIX_144} start 144)
    add_test(NAME wine144_stop COMMAND ${kestro_prefix_script} ${KESTRO_WINE_ARCH} ${KESTRO_WINEPREFIX_144} stop)
    set_tests_properties(wine144_start PROPERTIES FIXTURES_SETUP WINE144 TIMEOUT 300)
    set_tests_properties(wine144_stop PROPERTIES FIXTURES_CLEANUP WINE144)
endif()

function(kestro_wine_test name)
    add_test(NAME ${name} COMMAND ${name} ${ARGN} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_display)
    if(CMAKE_CROSSCOMPILING AND name MATCHES "dpi144")
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED WINE144 ENVIRONMENT "${KESTRO_WINE_ENV_144}")
    elseif(CMAKE_CROSSCOMPILING)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED WINE ENVIRONMENT "${KESTRO_WINE_ENV}")
    endif()
endfunction()

# The portable core's tests, also run as a Windows program.
file(GLOB KESTRO_CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
add_executable(core_tests ${KESTRO_CORE_TESTS})
target_include_directories(core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(core_tests PRIVATE KESTRO_TEST_DATA="${KESTRO_PATH_PREFIX}${CMAKE_SOURCE_DIR}/tests/data")
target_link_libraries(core_tests PRIVATE refindor_core ${KESTRO_GTEST} ${KESTRO_GTEST_MAIN} ${KESTRO_GMOCK})
if(NOT MSVC)
    target_link_options(core_tests PRIVATE -static -static-libgcc -static-libstdc++)
endif()
kestro_wine_test(core_tests)

# One Windows test program per module: tests/win/<module>_tests.cpp.
file(GLOB KESTRO_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_tests.cpp)
file(GLOB KESTRO_WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/support/*.cpp)
add_library(win_test_support STATIC ${KESTRO_WIN_TEST_SUPPORT})
target_include_directories(win_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tests/win)
target_compile_definitions(win_test_support PUBLIC KESTRO_TEST_DATA="${KESTRO_PATH_PREFIX}${CMAKE_SOURCE_DIR}/tests/data"
    KESTRO_BUILD_DIR="${KESTRO_PATH_PREFIX}${CMAKE_BINARY_DIR}")
target_link_libraries(win_test_support PUBLIC refindor_win ${KESTRO_GTEST} ${KESTRO_GMOCK})
foreach(src IN LISTS KESTRO_WIN_TESTS)
    get_filename_component(base ${src} NAME_WE)
    set(name win_${base})
    add_executable(${name} ${src} $<TARGET_OBJECTS:refindor_res>)
    target_compile_options(${name} PRIVATE ${KESTRO_WARNINGS})
    target_link_libraries(${name} PRIVATE win_test_support)
    target_link_options(${name} PRIVATE ${KESTRO_TEST_LINK})
    kestro_wine_test(${name})
endforeach()

# The version resource test reads the program's file.
if(TARGET win_resources_tests)
    target_link_libraries(win_resources_tests PRIVATE version)
endif()
# The folder picker test puts another program's window on the screen.
if(TARGET win_main_window_life_tests AND TARGET bench-minimal-window)
    add_dependencies(win_main_window_life_tests bench-minimal-window)
endif()
# So does the test of runs that end behind another program.
if(TARGET win_closing_tests AND TARGET bench-minimal-window)
    add_dependencies(win_closing_tests bench-minimal-window)
endif()
# The program in the session's language: once under German, once under English (the locales
# come from scripts/setup.sh).
if(TARGET win_language_env_tests)
    set_tests_properties(win_language_env_tests PROPERTIES ENVIRONMENT
        "${KESTRO_WINE_ENV};LANG=de_DE.UTF-8;LC_ALL=de_DE.UTF-8;KESTRO_EXPECT_LANGUAGE=de")
    add_test(NAME win_language_env_en_tests COMMAND win_language_env_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(win_language_env_en_tests PROPERTIES TIMEOUT 600 RESOURCE_LOCK wine_display)
    if(CMAKE_CROSSCOMPILING)
        set_tests_properties(win_language_env_en_tests PROPERTIES FIXTURES_REQUIRED WINE)
    endif()
    set_tests_properties(win_language_env_en_tests PROPERTIES ENVIRONMENT
        "${KESTRO_WINE_ENV};LANG=en_US.UTF-8;LC_ALL=en_US.UTF-8;KESTRO_EXPECT_LANGUAGE=en")
endif()
# These tests start or read the program itself: the end-to-end programs (e2e*_tests.cpp) and a few more.
set(kestro_program_tests win_dpi144_tests win_resources_tests win_language_env_tests)
foreach(src IN LISTS KESTRO_WIN_TESTS)
    get_filename_component(base ${src} NAME_WE)
    if(base MATCHES "^e2e")
        list(APPEND kestro_program_tests win_${base})
    endif()
endforeach()
foreach(test IN LISTS kestro_program_tests)
    if(TARGET ${test})
        add_dependencies(${test} Tarvask)
    endif()
endforeach()
