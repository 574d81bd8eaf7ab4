# Helpers shared by every folder's CMakeLists.txt. Each subsystem, test folder, tool, fuzz target
# and benchmark lives in its own folder with its own CMakeLists.txt. src/CMakeLists.txt names the
# subsystems in their layer order; the other folders pick up their subfolders by themselves.

find_package(PkgConfig REQUIRED)

set(ZELK4_WARNINGS -Wall -Wextra)
if(ZELK4_WERROR)
  list(APPEND ZELK4_WARNINGS -Werror)
endif()

# Sanitizers apply to everything this project compiles, so they are global flags.
if(ZELK4_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(ZELK4_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZELK4_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(ZELK4_FUZZ_BUILD=1)
endif()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt.
function(zelk4_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# zelk4_library(NAME SOURCES ... [LIBS ...] [PRIVATE_LIBS ...])
# A static library; its public headers are included as "subsystem/header.h" from src/.
function(zelk4_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${ZELK4_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# zelk4_executable(NAME SOURCES ... [LIBS ...]): a program (the demo or a tool).
function(zelk4_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${ZELK4_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# zelk4_test(NAME SOURCES ... [LIBS ...] [TIMEOUT seconds]): a GoogleTest binary whose cases
# CTest lists one by one. Tests run from the build folder and find outside files through
# zelk4_test_support (CorpusDir()).
function(zelk4_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${ZELK4_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} zelk4_test_support GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

# zelk4_fuzzer(NAME SOURCES ... [LIBS ...] [SEEDS dir ...])
# The target defines LLVMFuzzerTestOneInput. In a fuzz build it links libFuzzer and CTest runs it
# for a bounded time (label "fuzz"); in other builds it links a small main that replays the files
# named on its command line, so a crash found in CI reproduces with one command.
set(ZELK4_FUZZ_SECONDS 20 CACHE STRING "How long CTest runs each fuzz target in a fuzz build")
function(zelk4_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;SEEDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/fuzz)
  target_compile_options(${name} PRIVATE ${ZELK4_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ZELK4_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    file(MAKE_DIRECTORY ${work})
    set(seeds "")
    foreach(seed IN LISTS ARG_SEEDS)
      if(EXISTS ${seed})
        list(APPEND seeds ${seed})
      endif()
    endforeach()
    add_test(NAME ${name}
             COMMAND ${name} -max_total_time=${ZELK4_FUZZ_SECONDS} -timeout=1 -rss_limit_mb=2048
                     -print_final_stats=1 ${work} ${seeds})
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/support/replay_main.cpp)
  endif()
endfunction()

# zelk4_benchmark(NAME SOURCES ... [LIBS ...]): a Google Benchmark binary (never run by CTest).
function(zelk4_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/bench ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${ZELK4_WARNINGS})
  target_compile_definitions(${name} PRIVATE ZELK4_CORPUS_DIR="${ZELK4_CORPUS_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

if(NOT ZELK4_FUZZ)
  find_package(CLI11 REQUIRED)
  find_package(nlohmann_json REQUIRED)
  find_package(OpenSSL REQUIRED)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  if(ZELK4_BENCH)
    find_package(benchmark REQUIRED)
  endif()
endif()
