#!/usr/bin/env bash
# Sets up and runs every test except those labelled "slow" (run those with: ctest --test-dir build -L slow),
# then the same tests built for Windows under Wine (tools/run-windows-tests.sh), then the window's
# tests built for Windows under Wine when Qt for Windows is there (tools/run-windows-gui-tests.sh;
# QBANK_QT_WINDOWS, else ../shared/qt6-mingw beside the checkout), then the whole
# suite built with AddressSanitizer and UBSan (tools/run-sanitizer-tests.sh, in build-asan), then
# each fuzz target for 60 seconds (tools/fuzz/run.sh, outside the tree). Any stage failing fails.
# QBANK_CHECK_SANITIZERS=0 leaves the last two stages out (a quicker run while working).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
export QT_QPA_PLATFORM=offscreen
# The player's tests play through a real sound server: one with a null sink is started when none
# answers, and the one started here is stopped when the tests end.
eval "$("$here/tools/test-sound-server.sh" start)"
trap '"$here/tools/test-sound-server.sh" stop' EXIT
export QBANK_REQUIRE_SOUND=1
ctest --test-dir "$here/build" -LE slow --output-on-failure -j "$(nproc)"
"$here/tools/run-windows-tests.sh" "$here/build-windows"
qt_windows=$(realpath -m "${QBANK_QT_WINDOWS:-$here/../shared/qt6-mingw}")
if [ -e "$qt_windows/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  "$here/tools/run-windows-gui-tests.sh" "$here/build-windows"
else
  echo "windows: window tests skipped: no Qt for Windows at $qt_windows (set QBANK_QT_WINDOWS)"
fi
if [ "${QBANK_CHECK_SANITIZERS:-1}" != 0 ]; then
  "$here/tools/run-sanitizer-tests.sh" "$here/build-asan"
  "$here/tools/fuzz/run.sh" 60
fi
