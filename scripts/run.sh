#!/usr/bin/env bash
# Builds ZELK4 and runs the demo. With a display it runs full screen (Escape quits); without
# one it says so and captures the demo to a video instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd build
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./zelk4
fi
echo "run: no display found (DISPLAY and WAYLAND_DISPLAY are unset): capturing 30 seconds of the demo instead"
out="$root/out"
mkdir -p "$out"
# out/ belongs to this script: each run replaces the previous capture.
./zelk4-capture --seconds 30 --force --out "$out/zelk4.mp4"
if [ -f "$out/zelk4.mp4" ]; then
  echo "run: video: $out/zelk4.mp4"
else
  echo "run: frames and sound (no ffmpeg): $out/zelk4-frames"
fi
echo "run: contact sheet: $out/zelk4-contact.png"
