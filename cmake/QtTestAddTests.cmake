# Run by ctest before the tests (see TessilorTests.cmake): lists the test
# functions of a Qt Test program and writes one add_test per function.
# In: TEST_TARGET, TEST_EXECUTABLE, TEST_ENVIRONMENT, TEST_TIMEOUT, CTEST_FILE,
# TEST_CMAKE (the cmake program), TEST_LAUNCHER (empty, or a program that
# runs the test program).
execute_process(
  COMMAND ${TEST_CMAKE} -E env ${TEST_ENVIRONMENT} ${TEST_LAUNCHER} ${TEST_EXECUTABLE} -functions
  OUTPUT_VARIABLE _out ERROR_VARIABLE _err RESULT_VARIABLE _rc TIMEOUT 60)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${TEST_EXECUTABLE} -functions failed (${_rc}):\n${_out}\n${_err}")
endif()
string(REPLACE "\n" ";" _lines "${_out}")
set(_content "")
set(_launcher "")
if(TEST_LAUNCHER)
  set(_launcher "[=[${TEST_LAUNCHER}]=]")
endif()
set(_count 0)
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)\\(\\)$")
    set(_fn ${CMAKE_MATCH_1})
    string(APPEND _content
      "add_test([=[${TEST_TARGET}.${_fn}]=] ${_launcher} [=[${TEST_EXECUTABLE}]=] [=[${_fn}]=])\n"
      "set_tests_properties([=[${TEST_TARGET}.${_fn}]=] PROPERTIES ENVIRONMENT [=[${TEST_ENVIRONMENT}]=] TIMEOUT ${TEST_TIMEOUT})\n")
    math(EXPR _count "${_count} + 1")
  endif()
endforeach()
if(_count EQUAL 0)
  message(FATAL_ERROR "${TEST_EXECUTABLE} -functions listed no test functions:\n${_out}")
endif()
file(WRITE ${CTEST_FILE} "${_content}")
