# zyq_add_gtest(<target> SOURCES <files...> LIBS <libs...>)
#
# Builds a GoogleTest executable on the shared test main (tests/support), which gives every
# test process a fresh ZYQSEC_HOME, HOME and TMPDIR, and registers each test case with CTest.
function(zyq_add_gtest target)
  if(NOT ZYQ_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  set(environment "ZYQSEC_UI=none;ZYQSEC_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};ZYQSEC_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE zyq_test_main ${ARG_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "${environment}"
               TIMEOUT 600)
endfunction()
