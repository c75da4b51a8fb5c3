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
. "$here/tools/windows/common.sh"

windows_install_packages cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine wine64 googletest \
  libcli11-dev
windows_stage

echo "windows: cross-building qbank and the tests"
windows_configure "$build/qbank" -DCMAKE_FIND_ROOT_PATH="$stage" -DQBANK_BUILD_GUI=OFF
cmake --build "$build/qbank" -j "$jobs" --target qbank qbank_core_tests

windows_wine_prefix

echo "windows: running the tests under Wine"
status=0
wine "$build/qbank/bin/qbank_core_tests.exe" --gtest_color=no "$@" || status=$?
wineserver --kill >/dev/null 2>&1 || true
if [ $status -ne 0 ]; then
  echo "windows: the tests FAILED under Wine (exit $status)" >&2
  exit 1
fi
echo "windows: all tests passed under Wine"
