#!/usr/bin/env bash
# Sets up, writes the demo library into ./demo (or the folder given), builds it into a bank file
# and reads the bank file back.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Only the two programs: the tests, benchmarks and fuzz replays are built by tools/run-tests.sh.
"$here/tools/setup.sh" "$here/build" qbank qbank-gui
qbank="$here/build/src/cli/qbank"
demo=${1:-$here/demo}
"$qbank" demo "$demo"
"$qbank" build "$demo/Demo.qbs"
"$qbank" info "$demo/Demo.qbb"
