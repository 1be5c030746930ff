#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds one configuration with Ninja.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -Wno-dev "$@" >/dev/null
fi
# Ninja's progress lines are dropped; warnings, errors and tool output stay.
cmake --build "$dir" -j "$(nproc)" 2>&1 | { grep -v -E '^\[[0-9]+/[0-9]+\] ' || true; }
