#!/usr/bin/env bash
# Cross-builds the core, `qbank` and the tests for 64-bit Windows with mingw-w64 and runs the
# tests under Wine. Installs the Debian packages that are missing (only those), builds GoogleTest
# from Debian's sources with the cross compiler once, and keeps everything in BUILD_DIR.
# Usage: tools/run-windows-tests.sh [BUILD_DIR] [-- GTEST_ARGS...]   (default: build-windows)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build-windows
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
  build=$(realpath -m "$1")
  shift
fi
[ "${1:-}" = "--" ] && shift
toolchain=$here/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)

packages=(cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine wine64 googletest libcli11-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "windows: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo_cmd apt-get update && $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

# GoogleTest and CLI11 for the cross compiler, in a prefix of their own.
stage=$build/stage
gtest_src=/usr/src/googletest
gtest_stamp=$stage/.googletest-$(dpkg-query -W -f='${Version}' googletest)
if [ ! -e "$gtest_stamp" ]; then
  echo "windows: building GoogleTest with the cross compiler"
  rm -rf "$build/googletest"
  cmake -S "$gtest_src" -B "$build/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$stage" -DBUILD_GMOCK=OFF \
    -Dgtest_force_shared_crt=ON >/dev/null
  cmake --build "$build/googletest" -j "$jobs"
  cmake --install "$build/googletest" >/dev/null
  touch "$gtest_stamp"
fi
# CLI11 is headers only; Debian's CMake package would add /usr/include, the build machine's own
# headers, to the cross compiler's search path, so the headers are copied into the prefix.
if [ ! -e "$stage/lib/cmake/CLI11/CLI11Config.cmake" ]; then
  mkdir -p "$stage/include" "$stage/lib/cmake/CLI11"
  cp -r /usr/include/CLI "$stage/include/"
  cat >"$stage/lib/cmake/CLI11/CLI11Config.cmake" <<'CMAKE'
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  get_filename_component(_cli11_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_cli11_prefix}/include")
endif()
CMAKE
fi

echo "windows: cross-building qbank and the tests"
cmake -S "$here" -B "$build/qbank" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_FIND_ROOT_PATH="$stage" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS="-Wno-restrict" \
  -DQBANK_BUILD_GUI=OFF -DQBANK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build/qbank" -j "$jobs" --target qbank qbank_core_tests

# A Wine prefix of our own, made once: nothing of the user's Wine is touched, and no dialog
# offers to install Mono or Gecko.
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  echo "windows: making the Wine prefix"
  wineboot --init >/dev/null 2>&1 || true
  wineserver --wait || true
fi

echo "windows: running the tests under Wine"
status=0
wine "$build/qbank/bin/qbank_core_tests.exe" --gtest_color=no "$@" || status=$?
wineserver --kill >/dev/null 2>&1 || true
if [ $status -ne 0 ]; then
  echo "windows: the tests FAILED under Wine (exit $status)" >&2
  exit 1
fi
echo "windows: all tests passed under Wine"
