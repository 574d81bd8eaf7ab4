#!/usr/bin/env bash
# Checks RAR archives with two independent reference decoders that the npm registry provides:
# node-unrar-js (the reference RAR decoder compiled to WebAssembly) and 7z-wasm (7-Zip compiled
# to WebAssembly). Both are installed with npm into .cache/rar-reference (git-ignored) on first
# use. Every entry must extract with the expected bytes and CRC-32 in both.
#
# usage: scripts/check-rar-reference.sh [--make-set PROGRAM] [--set DIR] [ARCHIVE.rar...]
#   --set DIR         check the packer's reference set in DIR (DIR/manifest.tsv names the entries
#                     and their expected bytes)
#   --make-set PROG   first make that set: PROG DIR (zelk4_rarpack_reference_set from the build)
#   ARCHIVE.rar       check any archive: both decoders must extract every entry with the CRC-32
#                     its header gives, and agree with each other
# Exit status: 0 all good, 1 a failure, 2 usage error, 77 skipped (node or npm missing, or npm
# cannot reach its registry to install the decoders).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
skip=77
modules_home=${ZELK4_RAR_REFERENCE_DIR:-$root/.cache/rar-reference}
unrar_version=2.0.2
sevenzip_version=1.2.0

usage() { sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; }

set_dir="" make_set="" archives=()
while [ $# -gt 0 ]; do
  case "$1" in
    --set) set_dir=${2:?--set needs a folder}; shift 2 ;;
    --make-set) make_set=${2:?--make-set needs a program}; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "check-rar-reference: unknown option '$1'" >&2; usage >&2; exit 2 ;;
    *) archives+=("$1"); shift ;;
  esac
done
if [ -n "$make_set" ] && [ -z "$set_dir" ]; then echo "check-rar-reference: --make-set needs --set DIR" >&2; exit 2; fi
if [ -z "$set_dir" ] && [ ${#archives[@]} -eq 0 ]; then usage >&2; exit 2; fi

for tool in node npm; do
  if ! command -v "$tool" > /dev/null; then
    echo "check-rar-reference: $tool not found; skipping the reference decoder check"
    exit $skip
  fi
done

installed() {
  node -e '
    const [dir, a, b] = process.argv.slice(1);
    const v = (p) => { try { return require(dir + "/node_modules/" + p + "/package.json").version; } catch (e) { return ""; } };
    process.exit(v("node-unrar-js") === a && v("7z-wasm") === b ? 0 : 1);' \
    "$modules_home" "$unrar_version" "$sevenzip_version"
}

mkdir -p "$modules_home"
# One install at a time, should two builds run this at once.
exec 9> "$modules_home/.lock"
flock 9
if ! installed; then
  cat > "$modules_home/package.json" <<JSON
{
  "private": true,
  "description": "Reference RAR decoders for scripts/check-rar-reference.sh",
  "dependencies": { "node-unrar-js": "$unrar_version", "7z-wasm": "$sevenzip_version" }
}
JSON
  echo "check-rar-reference: installing node-unrar-js $unrar_version and 7z-wasm $sevenzip_version into $modules_home"
  if ! log=$(cd "$modules_home" && timeout 300 npm install --no-audit --no-fund --no-package-lock \
               --fetch-retries=1 --fetch-timeout=60000 --loglevel=error 2>&1) || ! installed; then
    echo "$log" | tail -5
    echo "check-rar-reference: npm cannot install the decoders (is its registry reachable?); skipping the reference decoder check"
    exit $skip
  fi
fi
flock -u 9

if [ -n "$make_set" ]; then
  "$make_set" "$set_dir"
fi
targets=()
[ -n "$set_dir" ] && targets+=("$set_dir")
targets+=("${archives[@]}")
exec node "$root/tests/rarpack/reference/check-archives.js" "$modules_home/node_modules" "${targets[@]}"
