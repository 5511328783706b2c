# Small helpers shared by the folders' CMakeLists.txt files.

# hqlv_library(<target> [DEPS <targets...>] [EXCLUDE <regex>])
# A static library from every .cpp and .c file below the calling folder.
function(hqlv_library target)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} Threads::Threads)
endfunction()

# hqlv_test(<target> [DEPS <targets...>] [EXCLUDE <regex>] [ALONE <regex>])
# One GoogleTest program from every .cpp below the calling tests/ folder. Tests run
# without a display or a sound device. CTest runs the cases of a suite together, a process
# a group (cmake/hqlv_test_groups.cmake says why); those of the suites that ALONE matches
# run one to a process.
function(hqlv_test target)
  cmake_parse_arguments(ARG "" "EXCLUDE;ALONE" "DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  add_executable(${target} ${srcs} ${PROJECT_SOURCE_DIR}/tests/test_main.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock Threads::Threads)
  target_compile_definitions(${target} PRIVATE HQLV_BUILD_DIR="${PROJECT_BINARY_DIR}")
  # The test files are unoptimised in a debug build: optimising their cases costs a quarter
  # of their compile time, and the time the cases run is spent in the code under test.
  target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:-O0>)
  # The cases are listed when CTest starts, from the program as built, and listed again
  # only when the program or this file is newer than the list.
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_cases.cmake")
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake")
  get_property(executor TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR)
  file(GENERATE OUTPUT "${include_file}" CONTENT
"if(EXISTS [==[$<TARGET_FILE:${target}>]==])
  if(NOT EXISTS [==[${list_file}]==] OR
     NOT [==[${list_file}]==] IS_NEWER_THAN [==[$<TARGET_FILE:${target}>]==] OR
     NOT [==[${list_file}]==] IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\")
    execute_process(COMMAND [==[${CMAKE_COMMAND}]==]
      [==[-DTEST_EXECUTABLE=$<TARGET_FILE:${target}>]==]
      [==[-DTEST_EXECUTOR=${executor}]==]
      [==[-DTEST_WORKING_DIR=${CMAKE_CURRENT_BINARY_DIR}]==]
      [==[-DCTEST_FILE=${list_file}]==]
      -DTEST_TIMEOUT=300 -DTEST_DISCOVERY_TIMEOUT=60
      [==[-DALONE=${ARG_ALONE}]==]
      -P [==[${PROJECT_SOURCE_DIR}/cmake/hqlv_test_groups.cmake]==]
      RESULT_VARIABLE listed)
    if(NOT listed EQUAL 0)
      file(REMOVE [==[${list_file}]==])
      add_test(${target}_NOT_LISTED ${target}_NOT_LISTED)
      return()
    endif()
  endif()
  include([==[${list_file}]==])
else()
  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()

# hqlv_bench(<target> <sources...> [DEPS <targets...>])
function(hqlv_bench target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${target} ${ARG_UNPARSED_ARGUMENTS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} benchmark::benchmark Threads::Threads)
endfunction()

# hqlv_fuzz(<target> <sources...> [DEPS <targets...>] [SECONDS <n>] [MAXLEN <bytes>]
#           [SEEDS <program>] [DICT <file>])
# A libFuzzer harness; ctest runs it for a short while. With SEEDS, <program> (made with
# hqlv_fuzz_seeds) writes a seed corpus at build time, and the run starts from it; without,
# the run starts from an empty corpus. New inputs go to a corpus folder of their own. DICT
# names a libFuzzer dictionary (relative to the calling folder).
function(hqlv_fuzz target)
  cmake_parse_arguments(ARG "" "SECONDS;MAXLEN;SEEDS;DICT" "DEPS" ${ARGN})
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 20)
  endif()
  if(NOT ARG_MAXLEN)
    set(ARG_MAXLEN 4096)
  endif()
  add_executable(${target} ${ARG_UNPARSED_ARGUMENTS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} Threads::Threads)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${target}-corpus)
  set(seed_dirs)
  if(ARG_SEEDS)
    set(seeds ${CMAKE_CURRENT_BINARY_DIR}/${target}-seeds)
    add_custom_command(
      OUTPUT ${seeds}.stamp
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${seeds}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${seeds}
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:${ARG_SEEDS}>
              ${seeds}
      COMMAND ${CMAKE_COMMAND} -E touch ${seeds}.stamp
      DEPENDS ${ARG_SEEDS}
      COMMENT "Writing the seed corpus of ${target}")
    add_custom_target(${target}-seeds ALL DEPENDS ${seeds}.stamp)
    add_dependencies(${target} ${target}-seeds)
    set(seed_dirs ${seeds})
  endif()
  set(dict_option)
  if(ARG_DICT)
    set(dict_option -dict=${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DICT})
  endif()
  add_test(NAME ${target}
           COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                   $<TARGET_FILE:${target}> -max_total_time=${ARG_SECONDS}
                   -max_len=${ARG_MAXLEN} -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10
                   ${dict_option} ${corpus} ${seed_dirs})
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED ${target}-corpus-dir)
  set_property(GLOBAL APPEND PROPERTY HQLV_FUZZ_TESTS ${target})
  add_test(NAME ${target}-corpus-dir COMMAND ${CMAKE_COMMAND} -E make_directory ${corpus})
  set_tests_properties(${target}-corpus-dir PROPERTIES FIXTURES_SETUP ${target}-corpus-dir)
endfunction()

# hqlv_fuzz_seeds(<target> <sources...> [DEPS <targets...>])
# A program that writes a harness's seed corpus into the folder named by its argument,
# with the project's own writers.
function(hqlv_fuzz_seeds target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(${target} ${ARG_UNPARSED_ARGUMENTS} ${PROJECT_SOURCE_DIR}/fuzz/seed_main.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/fuzz)
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} Threads::Threads)
endfunction()

# hqlv_add_subfolders(): every subfolder of the calling folder that has a
# CMakeLists.txt joins the build, in name order.
macro(hqlv_add_subfolders)
  file(GLOB _children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _children)
  foreach(_child ${_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child}
       AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
