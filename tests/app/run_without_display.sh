#!/usr/bin/env bash
# Starts the demo with no display of any kind: it must end at once with status 1 and say why on
# standard error, not hang and not crash. Exit 77 (skip) where a DRM device could serve as a
# display.
set -u
program=$1
if compgen -G "/dev/dri/card*" >/dev/null; then echo "skip: a DRM display device exists here"; exit 77; fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 "$program" 2>&1 >/dev/null)
status=$?
echo "$err"
echo "exit status $status"
[ "$status" -eq 1 ] || { echo "FAIL: expected exit status 1"; exit 1; }
grep -q "no display" <<<"$err" || { echo "FAIL: no word about the missing display"; exit 1; }
grep -q "^Init error: Error registering window class$" <<<"$err" || { echo "FAIL: no fatal message"; exit 1; }
