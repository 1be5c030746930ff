#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
#   build/           release with warnings as errors: every test (unit, road, window), benchmarks
#                    (built, not run), tools
#   build-sanitize/  clang with AddressSanitizer + UndefinedBehaviorSanitizer: the unit tests and
#                    the roads marked for it again, and the libFuzzer targets, each run over its
#                    seed corpus for a few seconds
# At its end it prints each stage's wall time and, for each test stage, the machine's load and its
# ten slowest tests against their time limits.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT

# A loaded machine stretches every test's waits, so their guards and CTest's time limits are
# multiplied by the load per processor when a test stage starts (never less than what
# QUILLANE_TEST_TIME_SCALE asks for, on a machine that is slow without being loaded); each test
# measures the load again at its own start (tests/support/TimeScale.h).
asked_scale=${QUILLANE_TEST_TIME_SCALE:-1}
time_scale() {
  awk -v cores="$jobs" -v asked="$asked_scale" '{
    scale = ($1 > $2 ? $1 : $2) / cores
    if (scale < asked + 0) scale = asked + 0
    printf "%.2f", scale < 1 ? 1 : scale
  }' /proc/loadavg
}
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
run_tests() {  # run_tests DIR: every registered test of the build in DIR
  local log="$report/${1//\//_}.log" limits="$report/${1//\//_}.limits" started
  export QUILLANE_TEST_TIME_SCALE
  QUILLANE_TEST_TIME_SCALE=$(time_scale)
  started=$(load)
  # Each test's limit as CTest sets it now: "name seconds".
  ctest --test-dir "$1" --show-only=json-v1 | awk '
    /^      "name" : / { name = $0; sub(/^[^:]*: "/, "", name); sub(/",?$/, "", name); sub(/  #.*$/, "", name) }
    /"name" : "TIMEOUT"/ { limit = 1; next }
    limit && /"value"/ { value = $0; sub(/^[^:]*: /, "", value); print name, value + 0; limit = 0 }' > "$limits"
  if ! ctest --test-dir "$1" --output-on-failure -j "$jobs" > "$log" 2>&1; then
    grep -v -E ' Test +#[0-9]+: .* Passed ' "$log"  # the failures with their output, and the summary
    return 1
  fi
  tail -n 25 "$log"
  {
    echo "slowest of $1 (load $started at the start, $(load) at the end on $jobs processors;" \
      "time limits x $QUILLANE_TEST_TIME_SCALE):"
    grep -E ' Test +#[0-9]+: ' "$log" | sed -E 's/^.* Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec$/\2 \1/' \
      | sort -rn | awk 'NR == FNR { limit[$1] = $2; next }
                       FNR <= 10 { printf "  %8.1f s of %6.0f s  %s\n", $1, limit[$2], $2 }' "$limits" -
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
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_tests build-sanitize

stage "fuzz runs"
mkdir -p "$report/fuzz/tmp"
export scratch="$report/fuzz"
# Whatever a target writes to the temporary folder (its scratch folder among it) stays in this
# run's folder, removed at the end even where a crash left it.
export TMPDIR="$scratch/tmp"
# One target per core at a time; libFuzzer writes new inputs into the first (scratch) folder,
# so the checked-in seed corpus stays as it is. An input that opens the editor on a scene loads
# its pictures: a few seconds on a busy two-core machine, so a hang is an input past 30 s.
ls build-sanitize/bin/fuzz_* | xargs -P "$jobs" -I{} bash -c '
  target={}; name=${target##*/fuzz_}
  mkdir -p "$scratch/$name"
  corpus=""; [ -d "fuzz/corpus/$name" ] && corpus="fuzz/corpus/$name"
  if "$target" "$scratch/$name" $corpus -max_total_time=5 -timeout=30 -rss_limit_mb=2048 \
      >"$scratch/$name.log" 2>&1; then
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
