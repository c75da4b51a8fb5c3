#!/usr/bin/env bash
# Cross-builds qbank-gui.exe and the window's Qt Test suites for 64-bit Windows against Qt for
# Windows (QBANK_QT_WINDOWS, else ../shared/qt6-mingw beside the checkout), runs every suite
# under Wine on the offscreen platform, then starts qbank-gui.exe on the `windows` platform
# under Xvfb with the demo script and saves a screenshot of it.
# Shares the GoogleTest stage and the Wine prefix with tools/run-windows-tests.sh.
# Usage: tools/run-windows-gui-tests.sh [BUILD_DIR] [SUITE...]   (default: build-windows)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build-windows
if [ $# -gt 0 ]; then
  build=$(realpath -m "$1")
  shift
fi
suites=("$@")
. "$here/tools/windows/common.sh"

if [ ! -e "$qt_windows/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "windows: no Qt for Windows at $qt_windows (set QBANK_QT_WINDOWS)" >&2
  exit 2
fi
windows_install_packages cmake ninja-build ccache g++-mingw-w64-x86-64-posix wine wine64 googletest \
  libcli11-dev qt6-base-dev qt6-base-dev-tools xvfb xauth xdotool imagemagick fonts-dejavu-core
windows_stage

echo "windows: cross-building qbank-gui and the window tests"
# shellcheck disable=SC2046
windows_configure "$build/gui" $(windows_qt_options)
# The suites CMake builds for Windows; those it leaves out are named, and why.
mapfile -t all_suites < <(grep -o 'bin/gui_[a-z0-9_]*_test\.exe' "$build/gui/build.ninja" |
  sed 's|bin/||; s|\.exe||' | sort -u)
for src in "$here"/tests/gui/*_test.cpp; do
  name=gui_$(basename "$src" .cpp)
  printf '%s\n' "${all_suites[@]}" | grep -qx "$name" ||
    echo "windows: $name skipped: it plays through Qt Multimedia and a PulseAudio server," \
      "which the Windows build and Wine lack (gui_audio_output_test plays through wave-out)"
done
[ ${#suites[@]} -eq 0 ] && suites=("${all_suites[@]}")
cmake --build "$build/gui" -j "$jobs" --target qbank qbank-gui "${suites[@]}"

windows_wine_prefix
bin=$build/gui/bin
# What Wine says about the machine (no sound card, the root folder's label) on every start.
wine_noise='^ALSA lib \|Read access denied for device\|Qt no longer ships fonts'
failed=()
for suite in "${suites[@]}"; do
  echo "windows: $suite"
  # Each suite from the folder the programs are in: Windows looks for DLLs and programs there.
  # Under Wine the suites' own output does not reach the terminal: it goes to a log, shown after.
  status=0
  (cd "$bin" && timeout 600 wine "./$suite.exe" -platform offscreen -o "$suite.log,txt" 2>&1 |
    grep -v "$wine_noise"; exit "${PIPESTATUS[0]}") || status=$?
  tr -d '\r' <"$bin/$suite.log" 2>/dev/null | grep -v '^PASS ' || true
  [ $status -eq 0 ] || { echo "windows: $suite FAILED (exit $status)"; failed+=("$suite"); }
done

echo "windows: qbank-gui.exe on the windows platform under Xvfb"
# The picture goes into the build folder; QBANK_SCREENSHOT_DIR=docs/screenshots renews the
# README's.
shot=${QBANK_SCREENSHOT_DIR:-$build}/windows.png
if ! "$here/tools/windows/screenshot.sh" "$bin" "$shot"; then
  failed+=("windows smoke test")
fi
wineserver --kill >/dev/null 2>&1 || true
if [ ${#failed[@]} -gt 0 ]; then
  echo "windows: FAILED under Wine: ${failed[*]}" >&2
  exit 1
fi
echo "windows: all window tests passed under Wine"
