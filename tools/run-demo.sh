#!/usr/bin/env bash
# Sets up, writes the demo library into ./demo and runs the main job on it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
qbank="$here/build/src/cli/qbank"
demo=${1:-$here/demo}
"$qbank" demo "$demo"
"$qbank" info "$demo/Demo.qbs"
