#!/usr/bin/env bash
# Sets up and runs every test except those labelled "slow" (run those with: ctest --test-dir build -L slow).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$here/build" -LE slow --output-on-failure -j "$(nproc)"
