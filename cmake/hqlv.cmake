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

# hqlv_fuzz(<target> <sources...> [DEPS <targets...>] [SECONDS <n>] [MAXLEN <bytes>])
# A libFuzzer harness; ctest runs it for a short while from an empty corpus.
function(hqlv_fuzz target)
  cmake_parse_arguments(ARG "" "SECONDS;MAXLEN" "DEPS" ${ARGN})
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
  add_test(NAME ${target}
           COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                   $<TARGET_FILE:${target}> -max_total_time=${ARG_SECONDS}
                   -max_len=${ARG_MAXLEN} -rss_limit_mb=2048 -timeout=10 ${corpus})
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED ${target}-corpus-dir)
  add_test(NAME ${target}-corpus-dir COMMAND ${CMAKE_COMMAND} -E make_directory ${corpus})
  set_tests_properties(${target}-corpus-dir PROPERTIES FIXTURES_SETUP ${target}-corpus-dir)
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
