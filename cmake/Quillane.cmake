# Helpers shared by every target of the project.

set(QUILLANE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(QUILLANE_DATA_DIR ${QUILLANE_ROOT}/data)

add_library(quillane_warnings INTERFACE)
target_compile_options(quillane_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
if(QUILLANE_WERROR)
  target_compile_options(quillane_warnings INTERFACE -Werror)
endif()

# lld links the large test programs in about half the processor time of the default linker, and
# links are what a build waits for at its end.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld QUILLANE_HAVE_LLD)
if(QUILLANE_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()

if(QUILLANE_SANITIZE OR QUILLANE_FUZZ)
  # -O1: the instrumented code runs several times faster than unoptimised code, for a little more
  # compile time. -g1: line tables are all a report's stack needs, and full debug information
  # would cost most of these builds' compile and link time. Frame pointers keep the stacks whole.
  add_compile_options(-O1 -g1 -fno-omit-frame-pointer)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # The crash symboliser finds an address's source line through the address-range table, which
    # clang leaves out unless asked.
    add_compile_options(-gdwarf-aranges)
  endif()
endif()
if(QUILLANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QUILLANE_SANITIZE=1)
endif()
if(QUILLANE_FUZZ)
  # The fuzzers learn which edges an input ran. The operands of comparisons and the targets of
  # indirect calls teach them more, but make every instrumented test about a quarter slower: the
  # short runs of CI go without them; a long fuzzing run turns QUILLANE_FUZZ_COMPARES on.
  set(QUILLANE_COVERAGE inline-8bit-counters,pc-table)
  if(QUILLANE_FUZZ_COMPARES)
    string(APPEND QUILLANE_COVERAGE ,indirect-calls,trace-cmp)
  endif()
  add_compile_options(-fsanitize-coverage=${QUILLANE_COVERAGE} -fsanitize=address,undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QUILLANE_SANITIZE=1 QUILLANE_FUZZ=1)
endif()

# Adds every subfolder of the current folder that has a CMakeLists.txt, so that a new
# subsystem, test program or benchmark only needs its own folder.
function(quillane_add_subfolders)
  file(GLOB children CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# quillane_library(NAME [EXCLUDE files...] [ALONE files...]): a static library from every .cpp below
# the current folder (a sub-folder with a CMakeLists.txt of its own is another library, and the
# EXCLUDE files, relative to the folder, belong to a program), with alias quillane::NAME. Its files
# are compiled a few at a time, which halves the library's compile time: names private to a file
# must differ between the files of one library, or the file is listed after ALONE. Headers are
# included as "<folder>/<header>" from sourcecode/, but each library exports only its own folder:
# the include root it hands on holds one link, <folder> -> its sources, so a target sees the
# headers of the libraries it links and no others (tests/layering checks the direction).
function(quillane_library name)
  cmake_parse_arguments(L "" "" "EXCLUDE;ALONE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(excluded ${L_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  file(GLOB_RECURSE nested CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(lists ${nested})
    get_filename_component(dir ${lists} DIRECTORY)
    set(kept)
    foreach(source ${sources})
      string(FIND "${source}" "${dir}/" at)
      if(NOT at EQUAL 0)
        list(APPEND kept ${source})
      endif()
    endforeach()
    set(sources ${kept})
  endforeach()
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 6)
  if(L_ALONE)
    set_source_files_properties(${L_ALONE} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
  add_library(quillane::${name} ALIAS ${name})
  get_filename_component(tree ${QUILLANE_ROOT}/sourcecode ABSOLUTE)
  file(RELATIVE_PATH folder ${tree} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  get_filename_component(link_parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${link_parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PRIVATE quillane_warnings)
  # For tests/headers, which compiles each header of each library on its own.
  set_property(GLOBAL APPEND PROPERTY QUILLANE_LIBRARIES ${name})
  set_target_properties(${name} PROPERTIES QUILLANE_FOLDER ${folder})
endfunction()

# Tests come in three kinds, each a CTest label, so one kind can be run alone (`ctest -L unit`):
#   unit    a reader, writer, parser, the VM or a subsystem on its own: seconds each;
#   road    a whole-game road: a play file, a demo scene, a mini-game or an editor played through;
#   window  the built program in a virtual X display, driven by X events.
# The sanitizer build registers the unit tests and only the roads named SANITIZED: memory faults
# hide in readers and writers, and the long roads under the sanitizers would take most of CI's time.
# Its tests' guards and processor-time budgets are QUILLANE_TEST_TIME_FACTOR times the release
# build's, since every step there takes several times the work.
if(QUILLANE_SANITIZE)
  set(QUILLANE_TEST_TIME_FACTOR 4)
else()
  set(QUILLANE_TEST_TIME_FACTOR 1)
endif()
# The watchdog every test runs under (tests/support/TestWatch.cpp, built by tests/CMakeLists.txt).
set(QUILLANE_TEST_WATCH ${CMAKE_BINARY_DIR}/bin/quillane-test-watch)

# The compile options every test program shares with the precompiled headers it reuses
# (tests/CMakeLists.txt makes them once for all): line tables only, which is what a failure's
# backtrace needs, for much less to compile and link than full debug information.
function(quillane_test_compile_options target)
  target_link_libraries(${target} PRIVATE GTest::gtest quillane_warnings)
  target_compile_options(${target} PRIVATE -g1)
  # The product the tests call keeps its own optimisation; the test code itself runs as fast at
  # -O1 and compiles in two thirds of the time.
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-O1>)
  if(QUILLANE_FUZZ)
    # The fuzzers learn from the coverage of the product they call; in test code it would only cost
    # compile time and run time.
    target_compile_options(${target} PRIVATE -fno-sanitize-coverage=${QUILLANE_COVERAGE})
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 loses the system-header mark of precompiled code and then reports its known false
    # bounds warnings of std::string's inlined copies in every test; the sanitizer build checks bounds.
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread -Wno-restrict)
  endif()
endfunction()

# quillane_test(NAME LIBS... [KIND unit|road|window] [ROAD patterns...] [WINDOW patterns...]
#               [SANITIZED patterns...] [ONE_AT_A_TIME] [TIMEOUT SECONDS]): one GoogleTest program from
# every .cpp in the current folder, its tests of KIND (unit) but for those matching the GoogleTest
# patterns after ROAD and WINDOW ("Suite.*", "Suite.Test"). SANITIZED: roads that also run in the
# sanitizer build. ONE_AT_A_TIME: its tests drive a whole program in a real window, or a sound card
# at its pace, so they run one after the other, beside other programs' tests.
# Each test runs under the watchdog (tests/support/TestWatch.cpp), which ends it when it hangs, with
# the processor-time budget of its kind (unit, road or window).
function(quillane_test name)
  cmake_parse_arguments(T "ONE_AT_A_TIME" "KIND" "ROAD;WINDOW;SANITIZED" ${ARGN})
  list(JOIN T_ROAD ":" T_ROAD)
  list(JOIN T_WINDOW ":" T_WINDOW)
  list(JOIN T_SANITIZED ":" T_SANITIZED)
  find_package(GTest REQUIRED)
  if(NOT T_KIND)
    set(T_KIND unit)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${T_UNPARSED_ARGUMENTS} GTest::gtest GTest::gtest_main
    quillane_warnings quillane_test_support)
  target_compile_definitions(test_${name} PRIVATE
    QUILLANE_DATA_DIR="${QUILLANE_DATA_DIR}"
    QUILLANE_TEST_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
  # CTest runs the program (its tests, and their listing) through the watchdog.
  set_target_properties(test_${name} PROPERTIES CROSSCOMPILING_EMULATOR ${QUILLANE_TEST_WATCH})
  add_dependencies(test_${name} quillane-test-watch)
  quillane_test_compile_options(test_${name})
  target_precompile_headers(test_${name} REUSE_FROM quillane_test_pch)
  # Test files share most of what they include: compiled a few at a time, a test program costs
  # little more than half as much. Names private to a test file must therefore differ between the
  # files of one program.
  set_target_properties(test_${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 6)

  # (label, filter) for each kind the program holds.
  set(kinds)
  if(T_KIND STREQUAL "unit")
    set(others ${T_ROAD} ${T_WINDOW})
    list(JOIN others ":" others)
    if(others)
      list(APPEND kinds "unit|-${others}")
    else()
      list(APPEND kinds "unit|*")
    endif()
    if(T_ROAD AND NOT QUILLANE_SANITIZE)
      list(APPEND kinds "road|${T_ROAD}")
    endif()
    if(T_WINDOW AND NOT QUILLANE_SANITIZE)
      list(APPEND kinds "window|${T_WINDOW}")
    endif()
  elseif(NOT QUILLANE_SANITIZE)
    if(T_KIND STREQUAL "road")
      list(APPEND kinds "road|*")
    else()
      list(APPEND kinds "window|*")
    endif()
  endif()
  if(T_SANITIZED AND QUILLANE_SANITIZE)
    list(APPEND kinds "road|${T_SANITIZED}")
  endif()
  if(NOT kinds)
    # Nothing of it runs in this build: the program is built only on request.
    set_target_properties(test_${name} PROPERTIES EXCLUDE_FROM_ALL TRUE)
    return()
  endif()

  include(GoogleTest)
  # The software renderer draws on the test's own thread: tests already run side by side, and its
  # worker threads, still exiting when the leak checker stops the process, can crash that checker.
  set(lock)
  if(T_ONE_AT_A_TIME)
    set(lock RESOURCE_LOCK test_${name})
  endif()
  foreach(kind ${kinds})
    string(REPLACE "|" ";" kind "${kind}")
    list(GET kind 0 label)
    list(GET kind 1 filter)
    # CTest starts the costliest first: the long roads and the chain of one-at-a-time tests then
    # overlap the many short ones instead of trailing after them.
    set(cost 0)
    if(NOT label STREQUAL "unit")
      set(cost 100)
    endif()
    if(T_ONE_AT_A_TIME)
      set(cost 200)
    endif()
    if(QUILLANE_SANITIZE AND label STREQUAL "unit")
      # A few tests of one suite per process (cmake/TestBatches.cmake): an instrumented process's
      # start and leak check cost more than most unit tests.
      set(include ${CMAKE_CURRENT_BINARY_DIR}/test_${name}_${label}_batches_include.cmake)
      string(CONCAT content
        "include(\"${QUILLANE_ROOT}/cmake/TestBatches.cmake\")\n"
        "quillane_add_test_batches(test_${name} \"$<TARGET_FILE:test_${name}>\" \"${QUILLANE_TEST_WATCH}\" "
        "[==[${filter}]==] \"${CMAKE_CURRENT_BINARY_DIR}\" LP_NUM_THREADS=0 test_${name}_${label} "
        "LABELS ${label} COST ${cost} ENVIRONMENT_MODIFICATION QUILLANE_TEST_KIND=set:${label} ${lock})\n")
      file(GENERATE OUTPUT ${include} CONTENT "${content}")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include})
    else()
      # The listing only reads the program's table of tests: its limit catches a program that hangs
      # before main.
      gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 1200 TEST_FILTER "${filter}"
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} TEST_LIST test_${name}_${label}
        PROPERTIES LABELS ${label} COST ${cost} ENVIRONMENT LP_NUM_THREADS=0
        ENVIRONMENT_MODIFICATION QUILLANE_TEST_KIND=set:${label} ${lock})
    endif()
    quillane_test_time_limit(test_${name}_${label})
  endforeach()
endfunction()

# quillane_test_time_limit(LIST): once CTest has read the tests the CTest variable LIST names
# (gtest_discover_tests' TEST_LIST), they get CTest's limit behind the watchdog's
# (cmake/TestTimeLimit.cmake).
function(quillane_test_time_limit list)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${list}_limit.cmake)
  file(WRITE ${file} "include(\"${QUILLANE_ROOT}/cmake/TestTimeLimit.cmake\")\n"
                     "quillane_set_time_limits(\"\${${list}}\" \"${QUILLANE_TEST_WATCH}\")\n")
  # After gtest_discover_tests' own list, which adds the tests and sets LIST.
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()

# quillane_bench(NAME SOURCES... LIBS ...): a Google Benchmark program; it may include the tests'
# "support/<header>" helpers (the headless engine's set-up).
function(quillane_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(bench_${name} ${B_SOURCES})
  target_link_libraries(bench_${name} PRIVATE ${B_LIBS} benchmark::benchmark quillane_warnings quillane_test_support)
  target_compile_options(bench_${name} PRIVATE -g1)  # line tables are what a profile needs
endfunction()

# quillane_fuzz(NAME SOURCE LIBS...): a libFuzzer target; its seed corpus is fuzz/corpus/NAME.
# The target `fuzz_targets` builds them all and only what they need.
function(quillane_fuzz name source)
  add_executable(fuzz_${name} ${source})
  target_link_libraries(fuzz_${name} PRIVATE ${ARGN} quillane_test_support)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  if(NOT TARGET fuzz_targets)
    add_custom_target(fuzz_targets)
  endif()
  add_dependencies(fuzz_targets fuzz_${name})
endfunction()
