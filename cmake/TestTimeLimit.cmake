# Read by CTest, not by the build: each test folder's test list includes it when CTest starts. Every
# test runs under the watchdog (tests/support/TestWatch.cpp), which ends a test that hangs and
# nothing that is only slow. CTest's own limit is a backstop behind the watchdog's ceiling; the
# watchdog prints it, reading QUILLANE_TEST_TIME_SCALE as the tests' own guards read it.
include_guard(GLOBAL)

# quillane_set_time_limits(TESTS WATCHDOG): the tests named in the list TESTS get CTest's limit.
function(quillane_set_time_limits tests watchdog)
  if(NOT tests)
    return()  # the program is not built yet, or holds none of this kind
  endif()
  # Asked once, when CTest reads the first list.
  get_property(limit GLOBAL PROPERTY QUILLANE_CTEST_TIME_LIMIT)
  if(NOT limit)
    execute_process(COMMAND "${watchdog}" --ctest-limit OUTPUT_VARIABLE limit OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
    if(NOT limit MATCHES "^[1-9][0-9]*$")
      set(limit 1800)  # the watchdog is not built: its limit with no scale asked
    endif()
    set_property(GLOBAL PROPERTY QUILLANE_CTEST_TIME_LIMIT ${limit})
  endif()
  set_tests_properties(${tests} PROPERTIES TIMEOUT ${limit})
endfunction()
