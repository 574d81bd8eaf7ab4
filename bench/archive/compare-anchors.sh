#!/usr/bin/env bash
# Decode speed of our archive reader against the two outside decoders in ../shared/tools/rar-anchors
# (bench_unrar: the reference decoder; bench_dmc: a small decoder), side by side in one run: each
# round runs ours, the reference and the small decoder one after the other on each ARCHIVE, for
# SECONDS each. All three open the archive file, decode every entry to memory and check its CRC-32.
# Prints every run, then the median MB/s (10^6 unpacked bytes per second) of each and our ratios.
#
# usage: bench/archive/compare-anchors.sh BENCH ANCHORS SECONDS ROUNDS ARCHIVE...
#   BENCH: build/bench/archive/zelk4_archive_bench; ANCHORS: ../shared/tools/rar-anchors
#   e.g. bench/archive/compare-anchors.sh build/bench/archive/zelk4_archive_bench \
#          ../shared/tools/rar-anchors 2 5 /dev/shm/vim-doc.rar /dev/shm/z3.rar /dev/shm/music.rar
set -euo pipefail
if [ $# -lt 5 ] || [ "$1" = "--help" ]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
bench=$(realpath "$1") anchors=$(realpath "$2") seconds=$3 rounds=$4
shift 4
runs=$(mktemp)
trap 'rm -f "$runs"' EXIT

ours() {
  ZELK4_BENCH_ARCHIVES="$1" "$bench" --benchmark_filter='^TestArchive/' --benchmark_min_time="$seconds" \
    --benchmark_format=json 2>/dev/null |
    python3 -c 'import json,sys; b=json.load(sys.stdin)["benchmarks"]; print("%.1f" % (b[0]["bytes_per_second"] / 1e6))'
}
anchor() { "$anchors/$1" "$2" "$seconds" 2>/dev/null | awk '{ print $1 }'; }

for round in $(seq "$rounds"); do
  for archive in "$@"; do
    name=$(basename "$archive")
    printf '%s\tours\t%s\n' "$name" "$(ours "$archive")" | tee -a "$runs"
    printf '%s\treference\t%s\n' "$name" "$(anchor bench_unrar "$archive")" | tee -a "$runs"
    printf '%s\tsmall\t%s\n' "$name" "$(anchor bench_dmc "$archive")" | tee -a "$runs"
  done
done

python3 - "$runs" <<'PY'
import statistics, sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
archives = list(dict.fromkeys(r[0] for r in rows))
med = {(a, d): statistics.median(float(r[2]) for r in rows if r[0] == a and r[1] == d)
       for a in archives for d in ("ours", "reference", "small")}
print("\n%-28s %10s %10s %10s %9s %9s" % ("archive (median MB/s)", "ours", "reference", "small", "ours/ref", "ours/small"))
for a in archives:
    o, r, s = med[(a, "ours")], med[(a, "reference")], med[(a, "small")]
    print("%-28s %10.1f %10.1f %10.1f %8.2fx %8.2fx" % (a, o, r, s, o / r, o / s))
PY
