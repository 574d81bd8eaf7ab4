#!/usr/bin/env bash
# Decode speed of our archive reader against the two outside decoders in ../shared/tools/rar-anchors
# (bench_unrar: the reference decoder; bench_dmc: a small decoder), side by side in one run: each
# round runs ours, the reference and the small decoder one after the other on each ARCHIVE. All
# three open the archive file, decode every entry and check its CRC-32: ours is `zelk4-archive t`,
# run again and again for about SECONDS; the outside programs repeat their decode for SECONDS.
#
# Speed is taken from processor time (user + system, from /usr/bin/time) and the bytes decoded,
# which a busy shared machine disturbs far less than wall time; the outside programs' own figures
# (wall time, median round) are printed beside it. MB = 10^6 bytes.
#
# usage: bench/archive/compare-anchors.sh ZELK4_ARCHIVE ANCHORS SECONDS ROUNDS ARCHIVE...
#   e.g. bench/archive/compare-anchors.sh build/tools/archive/zelk4-archive \
#          ../shared/tools/rar-anchors 2 5 /dev/shm/vim-doc.rar /dev/shm/z3.rar /dev/shm/music.rar
set -euo pipefail
if [ $# -lt 5 ] || [ "$1" = "--help" ]; then
  sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
tool=$(realpath "$1") anchors=$(realpath "$2") seconds=$3 rounds=$4
shift 4
runs=$(mktemp) out=$(mktemp)
trap 'rm -f "$runs" "$out"' EXIT

cpu() { awk '/^cpu / { print $2 + $3 }' "$out"; }

for round in $(seq "$rounds"); do
  for archive in "$@"; do
    name=$(basename "$archive")
    # The outside programs first: their output gives the archive's unpacked size.
    for anchor in bench_unrar bench_dmc; do
      /usr/bin/time -f 'cpu %U %S' -o "$out" -a "$anchors/$anchor" "$archive" "$seconds" >"$out.run" 2>/dev/null || true
      # "N MB/s median (M mean) unpacked=BYTES reps=R"
      read -r own _ _ _ _ unpacked reps < <(head -1 "$out.run" | sed 's/unpacked=//; s/reps=//')
      label=$([ $anchor = bench_unrar ] && echo reference || echo small)
      awk -v n="$name" -v l="$label" -v o="$own" -v b="$unpacked" -v r="$reps" -v c="$(cpu)" \
        'BEGIN { printf "%s\t%s\t%.1f\t%.1f\n", n, l, b * r / c / 1e6, o }' | tee -a "$runs"
      : >"$out"
      [ $anchor = bench_unrar ] && size=$unpacked
    done
    rm -f "$out.run"
    if ! [ "${size:-0}" -gt 0 ] 2>/dev/null; then
      echo "$name: the reference decoder did not report the unpacked size" >&2
      exit 1
    fi
    times=$(awk -v s="$seconds" -v b="$size" 'BEGIN { n = int(s * 2e8 / b); print (n < 3) ? 3 : n }')
    /usr/bin/time -f 'cpu %U %S' -o "$out" sh -c "for i in \$(seq $times); do '$tool' t '$archive' >/dev/null || exit 1; done"
    awk -v n="$name" -v b="$size" -v r="$times" -v c="$(cpu)" \
      'BEGIN { printf "%s\tours\t%.1f\t-\n", n, b * r / c / 1e6 }' | tee -a "$runs"
    : >"$out"
  done
done

python3 - "$runs" <<'PY'
import statistics, sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1])]
archives = list(dict.fromkeys(r[0] for r in rows))
def med(a, d, col):
    vals = [float(r[col]) for r in rows if r[0] == a and r[1] == d and r[col] != "-"]
    return statistics.median(vals) if vals else float("nan")
print("\nmedian MB/s by processor time (the outside programs' own wall-time figures in brackets)")
print("%-24s %8s %18s %18s %9s" % ("archive", "ours", "reference", "small", "ours/ref"))
for a in archives:
    o, r, s = med(a, "ours", 2), med(a, "reference", 2), med(a, "small", 2)
    print("%-24s %8.1f %9.1f (%6.1f) %9.1f (%6.1f) %8.2fx" % (a, o, r, med(a, "reference", 3), s, med(a, "small", 3), o / r))
PY
