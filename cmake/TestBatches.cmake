# Read by CTest, not by the build: the sanitizer build's unit tests run a few of one suite per
# process. Each instrumented process spends most of a second on its start (the run-time linker,
# the sanitizers' set-up) and on the leak check at its end, far more than most unit tests take;
# the release build still runs each test in a process of its own.
include_guard(GLOBAL)

# At most this many tests share a process: a batch stays well inside one test's budget and
# ceiling, and a failure still names a handful of tests.
set(QUILLANE_TESTS_PER_BATCH 6)

# quillane_add_test_batches(TARGET PROGRAM WATCHDOG FILTER DIR ENVIRONMENT LIST [PROPERTIES...]):
# the tests of PROGRAM that FILTER (GoogleTest's) selects, registered in batches of one suite's
# tests, each with ENVIRONMENT and the PROPERTIES given; LIST names the variable that gets the
# batches' names. The program is listed again only when it is newer than the batches written from
# its last listing with that filter.
function(quillane_add_test_batches target program watchdog filter dir environment list)
  if(NOT EXISTS "${program}")
    add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)  # CTest reports it as not run
    return()
  endif()
  # Named after the filter too: a filter changed without a rebuild (a road marked for this build)
  # is listed anew.
  string(MD5 key "${filter}")
  set(batches "${dir}/${target}_${key}_batches.cmake")
  if(NOT EXISTS "${batches}" OR "${program}" IS_NEWER_THAN "${batches}")
    execute_process(COMMAND "${watchdog}" "${program}" --gtest_list_tests "--gtest_filter=${filter}"
                    WORKING_DIRECTORY "${dir}" OUTPUT_VARIABLE listing RESULT_VARIABLE code)
    if(NOT code EQUAL 0)
      # The listing's failure shows as a failed test with the program's own words.
      add_test(${target}_NOT_LISTED "${watchdog}" "${program}" --gtest_list_tests)
      return()
    endif()
    # A parameter's description follows "  # " and may hold any character: dropped first.
    string(REGEX REPLACE "  #[^\n]*" "" listing "${listing}")
    string(REPLACE "\n" ";" lines "${listing}")
    set(suites)
    foreach(line IN LISTS lines)
      if(line MATCHES "^([A-Za-z0-9_/]+)\\.$")
        set(suite ${CMAKE_MATCH_1})
        if(NOT suite MATCHES "^DISABLED_")
          list(APPEND suites ${suite})
          set(tests_${suite})
        endif()
      elseif(line MATCHES "^  ([A-Za-z0-9_/]+)$")
        # (Each MATCHES sets the match variables again: the name is kept first.)
        set(test ${CMAKE_MATCH_1})
        if(suite AND NOT suite MATCHES "^DISABLED_" AND NOT test MATCHES "^DISABLED_")
          list(APPEND tests_${suite} ${suite}.${test})
        endif()
      endif()
    endforeach()
    set(content "set(names)\n")
    foreach(suite IN LISTS suites)
      list(LENGTH tests_${suite} count)
      if(count EQUAL 0)
        continue()
      endif()
      math(EXPR parts "(${count} + ${QUILLANE_TESTS_PER_BATCH} - 1) / ${QUILLANE_TESTS_PER_BATCH}")
      foreach(part RANGE 1 ${parts})
        math(EXPR first "(${part} - 1) * ${QUILLANE_TESTS_PER_BATCH}")
        list(SUBLIST tests_${suite} ${first} ${QUILLANE_TESTS_PER_BATCH} batch)
        list(JOIN batch ":" batch)
        if(parts EQUAL 1)
          set(name "${suite}.*")
        else()
          set(name "${suite}.* (${part} of ${parts})")
        endif()
        string(APPEND content
          "add_test([==[${name}]==] \"${watchdog}\" \"${program}\" [==[--gtest_filter=${batch}]==])\n"
          "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY \"${dir}\")\n"
          "list(APPEND names [==[${name}]==])\n")
      endforeach()
    endforeach()
    file(WRITE "${batches}" "${content}")
  endif()
  include("${batches}")
  foreach(name IN LISTS names)
    # The watchdog names a batch in its report as CTest does.
    set_tests_properties("${name}" PROPERTIES ENVIRONMENT "${environment};QUILLANE_TEST_NAME=${name}" ${ARGN})
  endforeach()
  set(${list} ${names} PARENT_SCOPE)
endfunction()
