# Test programs, registered with ctest case by case so that a failure names
# the case, not only the program.
#
# tessilor_gtest(NAME SOURCES files... LIBS targets... [TIMEOUT s] [FONTS])
#   A GoogleTest program; its cases are found with gtest_discover_tests.
# tessilor_qtest(NAME SOURCES files... LIBS targets... [TIMEOUT s] [FONTS]
#                [ENVIRONMENT var=value...] [LAUNCHER program])
#   A Qt Test program; every test function is one ctest test,
#   NAME.function, found by running the program with -functions. With a
#   LAUNCHER, the program runs (and is asked for its functions) through it.
#
# Both run on the offscreen platform unless ENVIRONMENT says otherwise; FONTS
# builds the generated figure fonts first.
include(GoogleTest)
find_package(GTest REQUIRED)

set(_tessilor_qtest_script ${CMAKE_CURRENT_LIST_DIR}/QtTestAddTests.cmake)

function(_tessilor_test_program name kind)
  cmake_parse_arguments(ARG "FONTS" "TIMEOUT;LAUNCHER" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  if(ARG_FONTS)
    add_dependencies(${name} figure_fonts)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(NOT ARG_ENVIRONMENT)
    set(ARG_ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  if(kind STREQUAL "gtest")
    target_link_libraries(${name} PRIVATE GTest::gtest)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      TEST_PREFIX "${name}." PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" TIMEOUT ${ARG_TIMEOUT})
  else()
    target_link_libraries(${name} PRIVATE Qt6::Test)
    set(_ctest_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_tests.cmake)
    set(_include ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake)
    file(GENERATE OUTPUT ${_include} CONTENT
"set(_exe \"$<TARGET_FILE:${name}>\")
if(EXISTS \"\${_exe}\")
  if(NOT EXISTS \"${_ctest_file}\" OR \"\${_exe}\" IS_NEWER_THAN \"${_ctest_file}\")
    set(TEST_TARGET \"${name}\")
    set(TEST_EXECUTABLE \"\${_exe}\")
    set(TEST_ENVIRONMENT \"${ARG_ENVIRONMENT}\")
    set(TEST_TIMEOUT \"${ARG_TIMEOUT}\")
    set(CTEST_FILE \"${_ctest_file}\")
    set(TEST_CMAKE \"${CMAKE_COMMAND}\")
    set(TEST_LAUNCHER \"${ARG_LAUNCHER}\")
    include(\"${_tessilor_qtest_script}\")
  endif()
  include(\"${_ctest_file}\")
else()
  add_test(${name}_NOT_BUILT ${name}_NOT_BUILT)
endif()
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_include})
  endif()
endfunction()

function(tessilor_gtest name)
  _tessilor_test_program(${name} gtest ${ARGN})
endfunction()

function(tessilor_qtest name)
  _tessilor_test_program(${name} qtest ${ARGN})
endfunction()
