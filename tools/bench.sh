#!/usr/bin/env bash
# The benchmark suite: configures a release build in build-bench/ (beside build/, never in it),
# builds every program of bench/, runs each, and prints one table of every measure against its
# baseline measured in the same run, with its ratio and goal.
#
#   tools/bench.sh                     # quick: 3 runs, 256 MB libraries
#   tools/bench.sh --runs 7 --library-mb 1024
#   tools/bench.sh --only script,bank_build   # programs whose name contains one of these
#
# Environment: QBANK_BENCH_BUILD (build folder, default build-bench), QBANK_BENCH_DIR (where the
# programs write their inputs; see bench/README.md). The window's programs run offscreen; the
# player's needs a sound server, which is started for the run when none answers (PulseAudio).
# Exit status: 0 when every goal was met, 1 when one was missed, 2 when a program failed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QBANK_BENCH_BUILD:-$root/build-bench}
runs=3
library_mb=256
only=""
while [ $# -gt 0 ]; do
  case "$1" in
  --runs) runs=$2; shift 2 ;;
  --library-mb) library_mb=$2; shift 2 ;;
  --only) only=$2; shift 2 ;;
  -h | --help) sed -n '2,14p' "$0"; exit 0 ;;
  *) echo "bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=1
configure() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQBANK_BUILD_TESTS=OFF \
    -DQBANK_BUILD_GUI="$1" -DQBANK_BUILD_BENCH=ON >"$build.configure.log" 2>&1
}
# Without Qt the window's programs are left out and the rest still runs.
gui=ON
if ! configure ON; then
  gui=OFF
  configure OFF || { cat "$build.configure.log" >&2; exit 2; }
  echo "bench.sh: Qt 6 not found; the window's benchmarks are left out" >&2
fi
rm -f "$build.configure.log"

# Every bench/*_bench.cpp is one program; a new one joins the suite by being there.
programs=()
for src in "$root"/bench/*_bench.cpp; do
  name=$(basename "$src" .cpp)
  case "$name" in gui_*) [ "$gui" = ON ] || continue ;; esac
  if [ -n "$only" ]; then
    keep=no
    for want in ${only//,/ }; do case "$name" in *"$want"*) keep=yes ;; esac; done
    [ $keep = yes ] || continue
  fi
  programs+=("$name")
done
# A program whose feature this build leaves out (conform without libsoxr, ...) is no target.
targets=$(ninja -C "$build" -t targets all 2>/dev/null | cut -d: -f1)
kept=()
for name in "${programs[@]}"; do
  if grep -qx "$name" <<<"$targets"; then kept+=("$name"); else
    echo "bench.sh: $name is not built in this configuration; left out" >&2
  fi
done
programs=("${kept[@]}")
[ ${#programs[@]} -gt 0 ] || { echo "bench.sh: no benchmark selected" >&2; exit 2; }
ninja -C "$build" -j2 qbank "${programs[@]}" >/dev/null || {
  echo "bench.sh: the build failed; run: ninja -C $build ${programs[*]}" >&2
  exit 2
}

work=$(mktemp -d)
sound_started=""
cleanup() {
  if [ -n "$sound_started" ]; then "$root/tools/test-sound-server.sh" stop; fi
  rm -rf "$work"
}
trap cleanup EXIT

rows=$work/rows.tsv
: >"$rows"
failed=()
for name in "${programs[@]}"; do
  exe=$(find "$build" -type f -name "$name" -perm -u+x | head -n 1)
  [ -n "$exe" ] || { failed+=("$name (not built)"); continue; }
  case "$name" in
  bank_build_bench | manager_bench | bulk_bench) args=("$runs" "$library_mb") ;;
  startup_bench) args=($((runs * 10)) "$build/src/cli/qbank") ;;
  gui_refresh_bench) args=($((runs * 7))) ;;
  gui_player_bench) args=($((runs * 5))) ;;
  *) args=("$runs") ;;
  esac
  if [ "$name" = gui_player_bench ] && [ -z "$sound_started" ]; then
    if out=$("$root/tools/test-sound-server.sh" start 2>/dev/null); then
      eval "$out"
      [ -n "${QBANK_SOUND_SERVER_PID:-}" ] && sound_started=yes
    fi
  fi
  echo "== $name ${args[*]}" >&2
  QBANK_BENCH_TSV=$rows QBANK_BENCH_PROGRAM=$name QT_QPA_PLATFORM=offscreen \
    "$exe" "${args[@]}" >"$work/$name.log" 2>&1
  status=$?
  # 0: every goal met, 1: a goal missed (its rows say which); anything else is a failure.
  if [ $status -gt 1 ]; then
    failed+=("$name (exit $status)")
    tail -n 5 "$work/$name.log" >&2
  fi
done

echo
echo "Benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) CPUs, runs $runs, libraries $library_mb MB"
awk -F'\t' '
  BEGIN { printf "%-18s %-50s %12s %12s %-6s %8s %8s  %s\n",
          "program", "operation", "measured", "baseline", "unit", "ratio", "goal", "" }
  { printf "%-18s %-50s %12.4g %12.4g %-6s %8.2f %8s  %s\n",
           $1, $2, $4, $5, $3, $6, $7, ($8 == "-" ? "" : $8)
    if ($8 == "MISSED") missed++ }
  END { printf "\n%d measures, %d goals missed\n", NR, missed }' "$rows"
if [ ${#failed[@]} -gt 0 ]; then
  echo "programs that failed: ${failed[*]}"
  exit 2
fi
grep -q $'\tMISSED$' "$rows" && exit 1
exit 0
