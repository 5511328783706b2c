# Registers a GoogleTest program's test cases with CTest, run at CTest time (the program's
# list is read again when the program is newer than the last list written).
#
# Starting a sanitised test program costs more than most of its test cases do: loading and
# relocating it and its Qt libraries, registering its globals and the leak check at its end
# take half a second to a second of processor time, and most cases take a few milliseconds.
# So the cases run kGroupSize or fewer to a process: a suite's cases together, small suites
# joined, large ones split. The cases of the suites that match ALONE (the end-to-end runs and
# the long recorded deals, each long enough on its own) run one to a process. A process
# passes only when every case in it passes, and its output names the case that failed (a
# leak found as the process ends fails the process, and names no case).
#
# Called with -P and: TEST_EXECUTABLE, TEST_EXECUTOR, TEST_WORKING_DIR, CTEST_FILE,
# TEST_TIMEOUT, TEST_DISCOVERY_TIMEOUT, ALONE (a regular expression of suite names).

set(kGroupSize 10)

set(script "")

# A bracket argument that no name can close early.
function(quoted value out)
  set(eq "=")
  while(value MATCHES "]${eq}]")
    string(APPEND eq "=")
  endwhile()
  set(${out} "[${eq}[${value}]${eq}]" PARENT_SCOPE)
endfunction()

# The exit code with which a test program says that every case it ran was skipped.
set(kSkippedExitCode 77)

# One CTest test: `name`, the filter its process runs, whether it is a single case. A process
# whose cases were all skipped shows as skipped; where some ran, it shows their result, and
# its output lists the skipped ones. A single disabled case is shown as disabled.
function(add_one name filter single)
  quoted("${name}" qname)
  quoted("--gtest_filter=${filter}" qfilter)
  quoted("${TEST_EXECUTABLE}" qexe)
  set(executor "")
  if(TEST_EXECUTOR)
    quoted("${TEST_EXECUTOR}" executor)
  endif()
  string(APPEND script
         "add_test(${qname} ${executor} ${qexe} ${qfilter} --skipped-exit-code=${kSkippedExitCode})\n")
  quoted("${TEST_WORKING_DIR}" qdir)
  set(props "WORKING_DIRECTORY ${qdir} TIMEOUT ${TEST_TIMEOUT} SKIP_RETURN_CODE ${kSkippedExitCode}")
  if(single AND filter MATCHES "(^|[./])DISABLED_")
    string(APPEND props " DISABLED TRUE")
  endif()
  string(APPEND script "set_tests_properties(${qname} PROPERTIES ${props})\n")
  set(script "${script}" PARENT_SCOPE)
endfunction()

# Whole small suites waiting for a process: their filters ("Suite.*") and how many cases.
set(pending "")
set(pending_count 0)
set(pending_case "")   # a lone suite of one case: its filter and the name shown
set(pending_shown "")
macro(flush_pending)
  list(LENGTH pending np)
  if(np EQUAL 1 AND pending_count EQUAL 1)
    add_one("${pending_shown}" "${pending_case}" TRUE)
  elseif(np GREATER 0)
    string(REPLACE ";" ":" filter "${pending}")
    add_one("${filter}" "${filter}" FALSE)
  endif()
  set(pending "")
  set(pending_count 0)
endmacro()

# The suite read last: `suite`, its case names `cases` and the names shown `pretty`.
macro(flush_suite)
  list(LENGTH cases n)
  if(n EQUAL 0)
    # nothing listed
  elseif(ALONE AND suite MATCHES "${ALONE}")
    flush_pending()
    foreach(c s IN ZIP_LISTS cases pretty)
      add_one("${suite}.${s}" "${suite}.${c}" TRUE)
    endforeach()
  elseif(n GREATER kGroupSize)
    flush_pending()
    math(EXPR chunks "(${n} + ${kGroupSize} - 1) / ${kGroupSize}")
    set(names "")
    set(k 0)
    set(i 0)
    foreach(c IN LISTS cases)
      math(EXPR i "${i} + 1")
      list(APPEND names "${suite}.${c}")
      list(LENGTH names nn)
      if(nn EQUAL kGroupSize OR i EQUAL n)
        math(EXPR k "${k} + 1")
        string(REPLACE ";" ":" filter "${names}")
        add_one("${suite}.* (${k} of ${chunks})" "${filter}" FALSE)
        set(names "")
      endif()
    endforeach()
  else()
    math(EXPR total "${pending_count} + ${n}")
    if(total GREATER kGroupSize)
      flush_pending()
    endif()
    list(APPEND pending "${suite}.*")
    math(EXPR pending_count "${pending_count} + ${n}")
    list(GET cases 0 c)
    list(GET pretty 0 s)
    set(pending_case "${suite}.${c}")
    set(pending_shown "${suite}.${s}")
  endif()
endmacro()

if(NOT EXISTS "${TEST_EXECUTABLE}")
  message(FATAL_ERROR "No test program at ${TEST_EXECUTABLE}")
endif()
execute_process(
  COMMAND ${TEST_EXECUTOR} "${TEST_EXECUTABLE}" --gtest_list_tests
  WORKING_DIRECTORY "${TEST_WORKING_DIR}"
  TIMEOUT ${TEST_DISCOVERY_TIMEOUT}
  OUTPUT_VARIABLE output
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TEST_EXECUTABLE} --gtest_list_tests failed (${result}):\n${output}")
endif()

# Lines: "Suite." (a typed suite adds "  # TypeParam = ..."), then "  Case" (a value-
# parameterised case adds "  # GetParam() = ..."). Only the printed parameters can hold a
# semicolon or a bracket, which a CMake list cannot: they are only shown.
string(REPLACE ";" "," output "${output}")
string(REPLACE "[" "(" output "${output}")
string(REPLACE "]" ")" output "${output}")
string(REPLACE "\n" ";" lines "${output}")
set(suite "")
set(cases "")
set(pretty "")
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^  ")
    flush_suite()
    string(REGEX REPLACE "\\.( *#.*)?$" "" suite "${line}")
    set(cases "")
    set(pretty "")
  else()
    string(STRIP "${line}" c)
    set(shown "${c}")
    if(c MATCHES "#")
      string(REGEX REPLACE "/[0-9]+[ #]+GetParam\\(\\) = " "/" shown "${c}")
    endif()
    string(REGEX REPLACE " +#.*" "" c "${c}")
    list(APPEND cases "${c}")
    list(APPEND pretty "${shown}")
  endif()
endforeach()
flush_suite()
flush_pending()

file(WRITE "${CTEST_FILE}" "${script}")
