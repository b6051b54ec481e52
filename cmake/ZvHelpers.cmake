# zv_add_gtest(NAME SOURCES a.cpp b.cpp LIBS zv_engine ... [TEST_PREFIX prefix.])
# One GoogleTest binary; each test case becomes its own CTest test (its name prefixed when a
# second binary runs the same cases). Every binary links the shared helpers (tests/support)
# and may read the generated songs (ZV_FIXTURE_DIR).
function(zv_add_gtest name)
    cmake_parse_arguments(ARG "" "TEST_PREFIX" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    find_package(GTest REQUIRED)
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zv_options zv_test_support ${ARG_LIBS} GTest::gtest
                                          GTest::gtest_main GTest::gmock Threads::Threads)
    target_compile_definitions(${name} PRIVATE ZV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${ARG_TEST_PREFIX}"
                         PROPERTIES FIXTURES_REQUIRED zv_fixture_songs ${ARG_PROPERTIES})
endfunction()

# zv_add_bench(NAME SOURCES a.cpp LIBS ... [GBENCH])
# GBENCH links Google Benchmark; without it the program is a plain timed program.
function(zv_add_bench name)
    cmake_parse_arguments(ARG "GBENCH" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zv_options ${ARG_LIBS} Threads::Threads)
    target_compile_definitions(${name} PRIVATE
        ZV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        ZV_FIXTURE_DIR="${ZV_FIXTURE_DIR}")
    if(TARGET zv_fixtures)
        add_dependencies(${name} zv_fixtures)
    endif()
    if(ARG_GBENCH)
        find_package(benchmark REQUIRED)
        target_link_libraries(${name} PRIVATE benchmark::benchmark)
    endif()
endfunction()

# zv_add_fuzzer(NAME SOURCES a.cpp LIBS ... [CORPUS dir])
# Built only with ZV_FUZZ=ON and clang. Each fuzzer runs ZV_FUZZ_SECONDS under CTest,
# starting from the seed files in CORPUS (copied, so the seeds stay as committed).
function(zv_add_fuzzer name)
    if(NOT ZV_FUZZ)
        return()
    endif()
    cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zv_options ${ARG_LIBS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    set(seed_args "")
    if(ARG_CORPUS)
        set(seed_args ${ARG_CORPUS})
    endif()
    add_test(NAME fuzz.${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     $<TARGET_FILE:${name}> -max_total_time=${ZV_FUZZ_SECONDS}
                     -rss_limit_mb=2048 -print_final_stats=1 ${work} ${seed_args})
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz
                         FIXTURES_REQUIRED fuzzdirs.${name})
    add_test(NAME fuzzdirs.${name} COMMAND ${CMAKE_COMMAND} -E make_directory ${work})
    set_tests_properties(fuzzdirs.${name} PROPERTIES FIXTURES_SETUP fuzzdirs.${name})
endfunction()
