# Helpers that every folder uses to declare its libraries, tests, fuzz targets and benchmarks.
include(CMakeParseArguments)

# zq_add_library(<name> SOURCES ... [LIBS ...]): a static library of one subsystem.
function(zq_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC zq_options ${ARG_LIBS})
endfunction()

# zq_add_test(NAME <exe> SOURCES ... [LIBS ...] [WINDOW]): a GoogleTest executable.
# Host: each test case is registered with CTest. Windows: the executable is registered once,
# because every Wine process start costs a noticeable fraction of a second.
# WINDOW marks tests that open a window (run under xvfb-run by the test command).
function(zq_add_test)
  cmake_parse_arguments(ARG "WINDOW" "NAME" "SOURCES;LIBS" ${ARGN})
  if(ZQ_FUZZ)
    return()  # the fuzz configuration builds fuzz targets only
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE zq_options ${ARG_LIBS} zq_gtest_main)
  target_compile_definitions(${ARG_NAME} PRIVATE
    ZQ_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")  # the test folder, for its input files
  if(ZQ_WINDOWS)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    # A process that crashes under Wine can still end with status 0, so the verdict is read from
    # GoogleTest's own summary: the run must reach "[  PASSED  ]" and report nothing failed.
    set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT 600
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ test"
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  else()
    gtest_discover_tests(${ARG_NAME} TEST_PREFIX "${ARG_NAME}." NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
  if(ARG_WINDOW)
    set_property(TEST ${ARG_NAME} APPEND PROPERTY LABELS window)
  endif()
endfunction()

# zq_add_fuzzer(NAME <name> SOURCES ... [LIBS ...] [CORPUS <dir>]): a fuzz target exporting
# LLVMFuzzerTestOneInput. With clang and ZQ_FUZZ it is a libFuzzer binary; otherwise it is
# linked to a driver that replays every file of the corpus, registered as an ordinary test.
# Host build only.
function(zq_add_fuzzer)
  cmake_parse_arguments(ARG "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT ZQ_HOST)
    return()
  endif()
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE zq_options ${ARG_LIBS})
  if(ZQ_FUZZ)
    target_compile_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${ARG_NAME} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY ZQ_FUZZERS "${ARG_NAME}|${ARG_CORPUS}")
  else()
    target_sources(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/FuzzReplayMain.cpp)
    if(ARG_CORPUS)
      add_test(NAME ${ARG_NAME}_replay COMMAND ${ARG_NAME} ${ARG_CORPUS})
    endif()
  endif()
endfunction()

# zq_add_benchmark(NAME <name> SOURCES ... [LIBS ...]): a Google Benchmark binary (host only).
# Benchmarks are never tests: they report figures and gate nothing.
function(zq_add_benchmark)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT ZQ_HOST)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE zq_options ${ARG_LIBS} benchmark::benchmark)
endfunction()
