#!/usr/bin/env bash
# Runs the Win32 dialog tests twice: without a display, where no dialog can be created, and
# inside Xvfb in a Wine desktop (which draws the title bars), where a thread of the program
# works the real dialogs. In the second run each dialog and picker waits on screen for its
# picture, taken here from the display into <out>/screenshots/<name>.png.
#   run_dialog_tests.sh <win_dialog_tests.exe> <out>
set -euo pipefail
exe=$1
out=$2

if [[ ${3:-} != --inside ]]; then
  mkdir -p "$out/screenshots"
  rm -f "$out"/screenshots/*.png "$out"/*.xml "$out"/*.ready
  env -u DISPLAY -u WAYLAND_DISPLAY ZYQ_NO_DESKTOP=1 wine "$exe" \
    --gtest_filter='Win32DialogsNoDesktopTest.*'
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$exe" "$out" --inside
fi

# Inside Xvfb: the program in a Wine desktop of the screen's size; its result comes back
# through gtest's XML report, since the desktop does not pass the exit status on.
report=$out/report.xml
ZYQ_SHOT_DIR="Z:$out" wine explorer /desktop=zyqdialogs,1024x768 "$exe" \
  --gtest_filter='Win32DialogsTest.*' --gtest_output="xml:Z:$report" </dev/null &
program=$!
while kill -0 "$program" 2>/dev/null; do
  for request in "$out"/*.ready; do
    [[ -e $request ]] || continue
    name=$(basename "$request" .ready)
    xwd -root -silent | convert xwd:- "$out/screenshots/$name.png"
    rm -f "$request"
  done
  sleep 0.2
done
wait "$program" || true
[[ -f $report ]] || { echo "no report: the program did not finish"; exit 1; }
grep -o '<testsuites[^>]*>' "$report"
grep -q '<testsuites tests="[1-9][0-9]*" failures="0" disabled="0" errors="0"' "$report" || {
  grep -A3 '<failure' "$report" || true
  exit 1
}
