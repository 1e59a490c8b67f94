# Native build: the portable core's test suite, benchmarks and fuzz targets.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB KESTRO_CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
add_executable(core_tests ${KESTRO_CORE_TESTS})
target_include_directories(core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(core_tests PRIVATE ${KESTRO_WARNINGS})
target_compile_definitions(core_tests PRIVATE KESTRO_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
target_link_libraries(core_tests PRIVATE refindor_core GTest::gtest GTest::gtest_main GTest::gmock)
gtest_discover_tests(core_tests DISCOVERY_MODE PRE_TEST)

if(KESTRO_BENCH AND NOT KESTRO_SANITIZE AND EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
    add_subdirectory(bench)
endif()
if(KESTRO_FUZZ AND EXISTS ${CMAKE_SOURCE_DIR}/fuzz/CMakeLists.txt)
    add_subdirectory(fuzz)
endif()
