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

# hqlv_test(<target> [DEPS <targets...>] [EXCLUDE <regex>])
# One GoogleTest program from every .cpp below the calling tests/ folder. Tests run
# without a display or a sound device.
function(hqlv_test target)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  include(GoogleTest)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  add_executable(${target} ${srcs} ${PROJECT_SOURCE_DIR}/tests/test_main.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock Threads::Threads)
  target_compile_definitions(${target} PRIVATE HQLV_BUILD_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 300)
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
