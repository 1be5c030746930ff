#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
#   build/           release with warnings as errors: every test (unit, road, window), benchmarks
#                    (built, not run), tools
#   build-sanitize/  clang with AddressSanitizer + UndefinedBehaviorSanitizer: the unit tests and
#                    the roads marked for it again, and the libFuzzer targets, each run over its
#                    seed corpus for a few seconds
# At its end it prints each stage's wall time and, for each test stage, the machine's load and its
# slowest tests with the processor time each used against its budget.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT

# Every test runs under the watchdog (tests/support/TestWatch.cpp): it ends a test that hangs, never
# one that a slow or busy machine makes slow, and writes each test's wall and processor time to the
# report read below. QUILLANE_TEST_TIME_SCALE, set by hand on a machine that is slow without being
# busy, stretches every limit and guard.
load() { cut -d' ' -f1-3 /proc/loadavg; }

stage_start=$SECONDS
stage() {  # stage NAME: ends the running stage, starts NAME
  if [ -n "${stage_name:-}" ]; then
    printf '%-18s %5d s\n' "$stage_name" $((SECONDS - stage_start)) >> "$report/stages"
  fi
  stage_name=$1
  stage_start=$SECONDS
  [ -z "$stage_name" ] || echo "== $stage_name"
}
# A report line, "wall cpu budget kind name", as printed; a batch's name holds spaces.
row='NR <= n { name = $0; for (i = 1; i <= 4; i++) sub(/^[^ ]+ /, "", name)
  printf "  %8.1f s, %7.1f s of %5d s processor time  %s %s\n", $1, $2, $3, $4, name }'
run_tests() {  # run_tests DIR: every registered test of the build in DIR
  local log="$report/${1//\//_}.log" started
  export QUILLANE_TEST_WATCH_REPORT="$report/${1//\//_}.watch"
  started=$(load)
  if ! ctest --test-dir "$1" --output-on-failure -j "$jobs" > "$log" 2>&1; then
    grep -v -E ' Test +#[0-9]+: .* Passed ' "$log"  # the failures with their output, and the summary
    return 1
  fi
  tail -n 25 "$log"
  {
    echo "slowest of $1 (load $started at the start, $(load) at the end on $jobs processors;" \
      "processor time against the test's budget):"
    # awk reads to the end (head would end the pipe early, which pipefail takes for a failure).
    sort -rn "$QUILLANE_TEST_WATCH_REPORT" | awk -v n=10 "$row"
    echo "most processor time of $1:"
    sort -k2,2 -rn "$QUILLANE_TEST_WATCH_REPORT" | awk -v n=3 "$row"
  } >> "$report/slowest"
}

stage "release build"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_WERROR=ON
stage "release tests"
run_tests build

stage "sanitize build"
# One instrumented build for the sanitizer tests and the fuzz targets: libFuzzer needs clang.
CC=clang CXX=clang++ bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=ON \
  -DQUILLANE_FUZZ=ON -DQUILLANE_BUILD_BENCH=OFF
stage "sanitize tests"
# The leak checker's tracer crashes on stale dynamic-TLS entries that libraries loaded and
# unloaded at run time can leave behind; it then fails a test that had passed.
# Without tracking __tls_get_addr it skips them; our own code keeps nothing in dynamic TLS.
# A quarantine of 64 MiB instead of 256 still holds what a test freed a moment before, and the
# image-heavy tests, whose large blocks each come from fresh pages, run about a twentieth faster.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0:quarantine_size_mb=64 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_tests build-sanitize

stage "fuzz runs"
mkdir -p "$report/fuzz/tmp"
export scratch="$report/fuzz"
# Whatever a target writes to the temporary folder (its scratch folder among it) stays in this
# run's folder, removed at the end even where a crash left it.
export TMPDIR="$scratch/tmp"
# One target per core at a time; libFuzzer writes new inputs into the first (scratch) folder,
# so the checked-in seed corpus stays as it is. Each runs for 3 s under the tests' watchdog, which
# ends one that hangs (libFuzzer's own limit per input, a span of the wall clock, is off), and an
# input it was working on is written to the log.
unset QUILLANE_TEST_WATCH_REPORT
export QUILLANE_TEST_KIND=fuzz
ls build-sanitize/bin/fuzz_* | xargs -P "$jobs" -I{} bash -c '
  target={}; name=${target##*/fuzz_}
  mkdir -p "$scratch/$name"
  corpus=""; [ -d "fuzz/corpus/$name" ] && corpus="fuzz/corpus/$name"
  if build-sanitize/bin/quillane-test-watch "$target" "$scratch/$name" $corpus -max_total_time=3 -timeout=0 \
      -rss_limit_mb=2048 -artifact_prefix="$scratch/$name-" >"$scratch/$name.log" 2>&1; then
    echo "fuzz $name: clean"
  else
    tail -n 40 "$scratch/$name.log"; echo "fuzz target $name failed"; exit 255
  fi'
stage ""

echo "== stage times"
cat "$report/stages"
echo "== slowest tests"
cat "$report/slowest"
echo "== all tests passed"
