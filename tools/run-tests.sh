#!/usr/bin/env bash
# Sets up and runs every test except those labelled "slow" (run those with: ctest --test-dir build -L slow),
# then the same tests built for Windows under Wine (tools/run-windows-tests.sh). Either failing fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$here/build" -LE slow --output-on-failure -j "$(nproc)"
"$here/tools/run-windows-tests.sh" "$here/build-windows"
