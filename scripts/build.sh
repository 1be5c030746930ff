#!/usr/bin/env bash
# build.sh DIR [cmake options...] [-- targets...]: configures one configuration with Ninja (again
# whenever the options differ from the ones it was configured with) and builds all of it, or the
# targets named after "--".
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
options=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = -- ]; then
    shift
    for target in "$@"; do targets+=(--target "$target"); done
    break
  fi
  options+=("$1")
  shift
done
if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$dir/.quillane-options" 2>/dev/null)" != "${options[*]}" ]; then
  cmake -S . -B "$dir" -G Ninja -Wno-dev "${options[@]}" >/dev/null
  printf '%s' "${options[*]}" > "$dir/.quillane-options"
fi
# Ninja's progress lines are dropped; warnings, errors and tool output stay.
cmake --build "$dir" -j "$(nproc)" "${targets[@]}" 2>&1 | { grep -v -E '^\[[0-9]+/[0-9]+\] ' || true; }
