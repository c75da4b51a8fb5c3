#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (gcc) in BUILD_DIR
# (default: build-asan beside build) and runs every test but the slow ones there, window tests
# included. Any error report fails the run: UBSan halts on the first finding, ASan on any,
# LeakSanitizer at exit (third-party leaks only are suppressed, see tools/sanitizers/lsan.supp).
# Usage: tools/run-sanitizer-tests.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-asan}
# A rerun from a fresh clone elsewhere hits the compiler cache: paths are taken relative.
export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=1
# The window and the tests are named explicitly: a build folder configured earlier without them
# would otherwise keep them out without a word.
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQBANK_SANITIZE=ON \
  -DQBANK_BUILD_GUI=ON -DQBANK_BUILD_TESTS=ON -DQBANK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$here/tools/sanitizers/lsan.supp:print_suppressions=0
ctest --test-dir "$build" -LE slow --output-on-failure -j "$(nproc)"
