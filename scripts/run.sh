#!/usr/bin/env bash
# Installs what is missing, builds the release configuration into build/ and runs the program
# on the bundled demo data in data/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd data
exec ../build/bin/quillane
