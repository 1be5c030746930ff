#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need; quiet when nothing is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build ccache pkg-config clang lld sox
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsdl2-ttf-dev libegl-dev libgl-dev libgles-dev libgl1-mesa-dri libegl-mesa0 libgbm-dev
  libfreetype-dev fonts-dejavu-core libstb-dev
  libvorbis-dev libespeak-ng-dev libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libjama-dev libtnt-dev
  libjemalloc-dev libmimalloc-dev libpugixml-dev libexpat1-dev libglm-dev libsquish-dev liblua5.4-dev lua5.4
  libboost-graph-dev
  libmeshoptimizer-dev libassimp-dev librecast-dev
  libunwind-dev libdw-dev
  xvfb xauth xdotool x11-xkb-utils x11-apps
  gdb
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
