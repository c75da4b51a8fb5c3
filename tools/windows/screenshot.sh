#!/usr/bin/env bash
# The Windows smoke test: starts qbank-gui.exe on the `windows` platform under Wine on a virtual
# X display (Xvfb), with the demo script (written by the qbank.exe beside it) on its command
# line, waits for the main window to show the script's name in its title, and saves a picture
# of that window. Fails when the window does not come up with the script.
# Usage: tools/windows/screenshot.sh BIN_DIR OUT.png   (Wine's settings as the caller has them)
set -euo pipefail
bin=$(realpath "$1")
out=$(realpath -m "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The demo library: its script, WAV files and folders, written as a Windows user would.
(cd "$bin" && wine ./qbank.exe demo "$(winepath -w "$work/demo")") >/dev/null
script=$work/demo/Demo.qbs
[ -e "$script" ] || { echo "screenshot: qbank.exe demo wrote no $script" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
# A Wine server left from runs without a display (the offscreen tests, the demo just written)
# would keep the window off the screen: this prefix's server starts again on the virtual one.
wineserver --kill >/dev/null 2>&1 || true

cat >"$work/run.sh" <<'SH'
set -euo pipefail
bin=$1 script=$2 out=$3
cd "$bin"
wine ./qbank-gui.exe -platform windows "$(winepath -w "$script")" &
gui=$!
window=""
for _ in $(seq 120); do
  window=$(xdotool search --name "Demo.qbs" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$gui" 2>/dev/null || break
  sleep 0.5
done
status=0
if [ -n "$window" ]; then
  sleep 3  # the window paints its tabs and grids
  import -window "$window" "$out"
  echo "screenshot: $(xdotool getwindowname "$window") -> $out"
else
  import -window root "${out%.png}-failed.png" 2>/dev/null || true
  echo "screenshot: no window titled with the demo script came up (the screen: ${out%.png}-failed.png)" >&2
  status=1
fi
kill "$gui" 2>/dev/null || true
wineserver --kill >/dev/null 2>&1 || true
wait "$gui" 2>/dev/null || true
exit $status
SH
# Wine's sound drivers complain about the machine's missing cards on the way: not ours to show.
xvfb-run -a -s "-screen 0 1280x1000x24" bash "$work/run.sh" "$bin" "$script" "$out" 2>&1 |
  grep -v '^ALSA lib \|Read access denied for device' || true
exit "${PIPESTATUS[0]}"
