#!/usr/bin/env bash
# Measures the line coverage of the core (src/core) by the tests: builds the core, `qbank` and the
# core and command-line tests with gcc's --coverage in a build folder of its own, runs every test
# except those labelled "slow", and prints gcovr's per-file table and the total. The Win32 file
# layer is left out on Linux, where it is not compiled. Fails when the total line coverage is
# below THRESHOLD percent. An HTML report with every line lands in BUILD_DIR/coverage/index.html.
# Usage: tools/coverage.sh [BUILD_DIR] [THRESHOLD]   (defaults: build-coverage, 90)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$here/build-coverage}")
threshold=${2:-90}

packages=(g++ cmake ninja-build ccache pkg-config libcli11-dev libgtest-dev googletest
  libsndfile1-dev gcovr)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "coverage: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo_cmd apt-get update && $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

# Unoptimised, so that every source line keeps its own counter. The window is not built: the
# core's coverage is what its own tests and the command-line tests reach.
export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=1
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DQBANK_BUILD_GUI=OFF -DQBANK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target qbank qbank_core_tests

# Counters from an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -LE slow -E "_NOT_BUILT$" -j "$(nproc)" --output-on-failure >"$build/coverage-tests.log" ||
  { tail -n 50 "$build/coverage-tests.log"; echo "coverage: tests failed (see $build/coverage-tests.log)"; exit 1; }

mkdir -p "$build/coverage"
cd "$here"
# CMake's compiler check leaves a counter file of its own: not searched.
gcovr --root "$here" --object-directory "$build" --filter 'src/core/' \
  --exclude 'src/core/platform/win32/' --exclude-directories '.*/CMakeFiles/[0-9.]+/.*' \
  -j "$(nproc)" \
  --txt - --html-details "$build/coverage/index.html" --print-summary \
  --fail-under-line "$threshold" ||
  { echo "coverage: line coverage of src/core is below $threshold%"; exit 1; }
