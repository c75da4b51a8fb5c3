#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and AddressSanitizer and runs each for SECONDS
# (default 60). Crashes are written to tools/fuzz/out/. Needs clang and libclang-rt-dev.
# Usage: tools/fuzz/run.sh [SECONDS] [TARGET...]   targets: wav_fuzz script_fuzz bank_reader_fuzz
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wav_fuzz script_fuzz bank_reader_fuzz)
build="$root/build-fuzz"
mkdir -p "$build" "$here/out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/src/core")
core_sources=$(find "$root/src/core" -name '*.cpp')
for t in "${targets[@]}"; do
  echo "fuzz: building $t"
  clang++ "${flags[@]}" "$here/$t.cpp" $core_sources -o "$build/$t"
  mkdir -p "$build/corpus-$t"
  echo "fuzz: running $t for ${seconds}s"
  (cd "$here/out" && "$build/$t" -max_total_time="$seconds" -rss_limit_mb=4096 "$build/corpus-$t")
done
