#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UBSan) and runs each for SECONDS
# (default 60), at most two at once, at low priority. Nothing is written inside the source tree:
#   build     ${QBANK_FUZZ_BUILD:-${TMPDIR:-/tmp}/qbank-fuzz-build}
#   corpora, seeds, logs and findings   ${QBANK_FUZZ_OUT:-${TMPDIR:-/tmp}/qbank-fuzz-out}
# A finding (crash, leak, timeout, out-of-memory) is saved as findings/<target>/..., and the
# script fails. Keep it as tests/fuzz_inputs/<target>/<name> once fixed: ctest replays it.
# Usage: tools/fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
shift || true
all=(script_fuzz bank_fuzz s2_bank_fuzz wav_fuzz export_fuzz param_fuzz sfz_fuzz sf2_fuzz dspreset_fuzz)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
build=${QBANK_FUZZ_BUILD:-${TMPDIR:-/tmp}/qbank-fuzz-build}
out=${QBANK_FUZZ_OUT:-${TMPDIR:-/tmp}/qbank-fuzz-out}
jobs=${QBANK_FUZZ_JOBS:-2}

# The largest input each target is given: big enough for long text areas, many part
# boundaries and whole audio blocks, small enough for well over 1000 runs a second.
max_len() {
  case $1 in
    param_fuzz) echo 4096 ;;
    wav_fuzz) echo 262144 ;;
    *) echo 65536 ;;
  esac
}

missing=()
command -v clang++ >/dev/null || missing+=(clang)
command -v llvm-symbolizer >/dev/null || missing+=(llvm)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
  missing+=(libclang-rt-14-dev)
command -v ninja >/dev/null || missing+=(ninja-build)
if [ ${#missing[@]} -gt 0 ]; then
  echo "fuzz: installing ${missing[*]}"
  sudo=; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq && $sudo apt-get install -y -qq "${missing[@]}"
fi

export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
# A build folder made from another checkout (another clone, a worktree) is started afresh:
# CMake refuses to configure it for this one.
if [ -f "$build/CMakeCache.txt" ] &&
  ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DQBANK_FUZZ=ON -DQBANK_BUILD_GUI=OFF -DQBANK_BUILD_TESTS=OFF \
  -DQBANK_BUILD_BENCH=OFF >/dev/null
nice -n 10 ninja -C "$build" -j2 "${targets[@]}" make_seeds

mkdir -p "$out/logs"
# The seeds are made again whenever the seed maker has been rebuilt (the targets' input layout
# may have changed with it).
if [ ! -f "$out/seeds/.made" ] || [ "$build/tools/fuzz/make_seeds" -nt "$out/seeds/.made" ]; then
  echo "fuzz: making the seed inputs"
  rm -rf "$out/seeds"
  ASAN_OPTIONS=detect_leaks=0 "$build/tools/fuzz/make_seeds" "$out/seeds"
  touch "$out/seeds/.made"
fi

run_one() {
  local t=$1
  mkdir -p "$out/corpus/$t" "$out/findings/$t" "$out/seeds/$t"
  nice -n 10 "$build/tools/fuzz/$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
    -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$out/findings/$t/" "$out/corpus/$t" "$out/seeds/$t" \
    >"$out/logs/$t.log" 2>&1
}

failed=()
running=()
for t in "${targets[@]}"; do
  echo "fuzz: running $t for ${seconds}s (log: $out/logs/$t.log)"
  run_one "$t" &
  running+=("$!:$t")
  if [ ${#running[@]} -ge "$jobs" ]; then
    entry=${running[0]}; running=("${running[@]:1}")
    wait "${entry%%:*}" || failed+=("${entry#*:}")
  fi
done
for entry in "${running[@]}"; do wait "${entry%%:*}" || failed+=("${entry#*:}"); done

for t in "${targets[@]}"; do
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/logs/$t.log" | grep -o '[0-9]*$' || echo ?)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$out/logs/$t.log" | grep -o '[0-9]*$' || echo ?)
  printf 'fuzz: %-14s %10s runs  %6s exec/s\n' "$t" "$runs" "$rate"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FINDINGS in ${failed[*]}: see $out/findings and $out/logs" >&2
  exit 1
fi
