#!/usr/bin/env bash
# Sets up a fresh Debian machine for this project and builds it:
# installs the Debian packages that are missing (only those), then configures and builds with Ninja.
# Usage: tools/setup.sh [BUILD_DIR [TARGET...]]   (default: build, every target)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
targets=("$@")

packages=(
  g++ cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-multimedia-dev libgl-dev
  libcli11-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libsndfile1-dev libsoxr-dev
  libpugixml-dev libzip-dev
  sox
  pulseaudio pulseaudio-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo_cmd apt-get update && $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
else
  cmake --build "$build" -j "$(nproc)"
fi
