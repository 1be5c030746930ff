#!/usr/bin/env bash
# Installs what is missing, builds the release configuration into build/ and runs the program
# on the bundled demo data in data/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_WERROR=ON
cd data
# Without a display the program runs headless, where nothing would ever end the frame loop: stop
# after a few frames unless the caller asked for another count.
if [ "${QUILLANE_HEADLESS:-}" = 1 ] || [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  export QUILLANE_HEADLESS=1
  export QUILLANE_FRAMES="${QUILLANE_FRAMES:-120}"
fi
exec ../build/bin/quillane
