# Read by CTest, not by the build: each test folder's test list includes it when CTest starts, to
# multiply the time limits the build registered by how loaded the machine is at that moment. A
# busy machine then makes a test slower, never a "Timeout". The factor is the one
# tests/support/TimeScale.h gives the guards of the waits inside a test (measured again at each
# test's start there): the larger of QUILLANE_TEST_TIME_SCALE and the load average per
# processor, at least 1.
include_guard(GLOBAL)

# quillane_time_scale_percent(OUT): that factor in hundredths.
function(quillane_time_scale_percent out)
  set(percent 100)
  # "2.5" or "3": whole part and up to two decimals.
  if("$ENV{QUILLANE_TEST_TIME_SCALE}" MATCHES "^([0-9]+)(\\.([0-9]?[0-9]?))?")
    set(hundredths "${CMAKE_MATCH_3}00")
    string(SUBSTRING "${hundredths}" 0 2 hundredths)
    math(EXPR asked "${CMAKE_MATCH_1} * 100 + 1${hundredths} - 100")
    if(asked GREATER percent)
      set(percent ${asked})
    endif()
  endif()
  # The processors CTest may run on (nproc honours a pinning to some of them).
  execute_process(COMMAND nproc OUTPUT_VARIABLE cores OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT cores MATCHES "^[1-9][0-9]*$")
    cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
  endif()
  # "1.23 4.56 ...": the 1- and 5-minute load averages, always with two decimals.
  if(EXISTS /proc/loadavg)
    file(READ /proc/loadavg loadavg)
    if(loadavg MATCHES "^([0-9]+)\\.([0-9][0-9]) ([0-9]+)\\.([0-9][0-9])")
      foreach(whole_decimals "${CMAKE_MATCH_1};${CMAKE_MATCH_2}" "${CMAKE_MATCH_3};${CMAKE_MATCH_4}")
        list(GET whole_decimals 0 whole)
        list(GET whole_decimals 1 decimals)
        math(EXPR load "(${whole} * 100 + 1${decimals} - 100) / ${cores}")
        if(load GREATER percent)
          set(percent ${load})
        endif()
      endforeach()
    endif()
  endif()
  set(${out} ${percent} PARENT_SCOPE)
endfunction()

# quillane_scale_time_limits(TESTS SECONDS): the tests named in the list TESTS get a limit of
# SECONDS (the limit on a quiet machine) times the factor.
function(quillane_scale_time_limits tests seconds)
  if(NOT tests)
    return()  # the program is not built yet, or holds none of this kind
  endif()
  # Measured once, when CTest reads the first list.
  get_property(percent GLOBAL PROPERTY QUILLANE_TIME_SCALE_PERCENT)
  if(NOT percent)
    quillane_time_scale_percent(percent)
    set_property(GLOBAL PROPERTY QUILLANE_TIME_SCALE_PERCENT ${percent})
  endif()
  math(EXPR limit "${seconds} * ${percent} / 100")
  set_tests_properties(${tests} PROPERTIES TIMEOUT ${limit})
endfunction()
