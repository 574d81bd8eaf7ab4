#!/usr/bin/env bash
# Run inside xvfb-run: starts the demo, waits for its visible "ZELK4" window, presses Escape in
# it and expects the program to end by itself with status 0. It runs in the given folder (the
# build folder, where the demo finds its data). Exit 77 (skip) without xdotool.
set -u
program=$1
folder=${2:-.}
command -v xdotool >/dev/null || { echo "skip: xdotool is not installed (scripts/setup.sh installs it)"; exit 77; }

here=$(cd "$(dirname "$0")" && pwd)
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan_system_libs.supp"

cd "$folder"
"$program" & pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^ZELK4$' | head -n 1)
if [ -z "$window" ]; then
  echo "FAIL: no visible window titled ZELK4 appeared"; kill "$pid" 2>/dev/null; wait "$pid"; exit 1
fi
echo "window $window: $(xdotool getwindowgeometry "$window" | tr '\n' ' ')"

# The renderer may recreate the X window once while the device starts (SDL does so when it
# changes the window's renderer), so each try presses Escape in the ZELK4 window there is now.
for try in 1 2 3 4 5; do
  window=$(xdotool search --onlyvisible --name '^ZELK4$' | tail -n 1)
  [ -n "$window" ] && xdotool windowfocus --sync "$window" key Escape 2>/dev/null
  for _ in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || break 2
    sleep 0.1
  done
  echo "still running 2 s after Escape (try $try)"
done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: still running 10 s after Escape"; kill "$pid"; wait "$pid"; exit 1
fi
wait "$pid"; status=$?
echo "exit status $status"
[ "$status" -eq 0 ]
