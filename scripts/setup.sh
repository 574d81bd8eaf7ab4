#!/usr/bin/env bash
# Installs the Debian packages ZELK4 needs to build, test and run, only those that are missing.
# Safe to run again; needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev            # libFuzzer for the fuzz targets
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev                         # window, input, audio, message boxes
  libpng-dev zlib1g-dev libjpeg62-turbo-dev
  libopenmpt-dev openmpt123           # module playback
  libcli11-dev nlohmann-json3-dev libssl-dev   # tool command lines, JSON output, sha256
  ffmpeg libswscale-dev               # video capture; scaling frames onto a canvas
  xvfb xauth x11-apps imagemagick     # virtual display for window tests and screenshots
  xdotool                             # keys into the demo window under Xvfb (window test)
  libosmesa6-dev libgl1-mesa-dri      # independent software renderer for cross-checks
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Node.js with npm runs the independent RAR decoders (WebAssembly) that check our packer. Machines
# may carry their own Node.js build, which conflicts with Debian's npm package: ask for the
# commands, not the packages.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
