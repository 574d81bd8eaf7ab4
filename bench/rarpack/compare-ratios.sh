#!/usr/bin/env bash
# Packs the files of each FOLDER with zelk4-archive (levels 1, 3 and 5, plain and solid) and, as
# yardsticks, with gzip -9 and xz -6 (each file on its own, and the whole folder as one tar
# stream, which is what a solid archive compares with). Prints sizes, ratios (packed / input) and
# the processor time (user + system) and wall time of each, best of ROUNDS runs (3 by default).
# Non-solid archives are packed on one thread per processor, so their wall time is the lower.
#
# usage: bench/rarpack/compare-ratios.sh [--rounds N] ZELK4_ARCHIVE FOLDER...
#   e.g. bench/rarpack/compare-ratios.sh build/tools/archive/zelk4-archive /usr/share/vim/vim90/doc
set -euo pipefail
rounds=3
if [ "${1:-}" = "--rounds" ]; then rounds=$2; shift 2; fi
if [ $# -lt 2 ] || [ "$1" = "--help" ]; then
  sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
tool=$(realpath "$1")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# best_time CMD...: runs CMD (a shell command line) $rounds times; prints the least processor time
# (user + system, all threads and child processes) and the least wall time, in seconds.
best_time() {
  local cpu="" wall=""
  for _ in $(seq "$rounds"); do
    local c w
    read -r c w < <( { /usr/bin/time -f '%U %S %e' sh -c "$1" >/dev/null; } 2>&1 | tail -1 | awk '{ print $1 + $2, $3 }')
    cpu=$(awk -v a="$c" -v b="${cpu:-$c}" 'BEGIN { print (a < b) ? a : b }')
    wall=$(awk -v a="$w" -v b="${wall:-$w}" 'BEGIN { print (a < b) ? a : b }')
  done
  echo "$cpu $wall"
}
row() {
  awk -v n="$1" -v p="$2" -v i="$3" -v t="$4" 'BEGIN { split(t, x, " ");
    printf "  %-28s %12d  %6.3f  %6.2f s  %6.2f s\n", n, p, p / i, x[1], x[2] }'
}

for folder in "$@"; do
  (
    cd "$folder"
    mapfile -t files < <(find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    input=$(cat "${files[@]}" | wc -c)
    list=$(printf '%q ' "${files[@]}")
    echo "$folder: ${#files[@]} files, $input bytes"
    echo "                                     packed   ratio      cpu      wall"
    for level in 1 3 5; do
      t=$(best_time "'$tool' a -q -f -m$level '$work/plain.rar' $list")
      row "zelk4-archive -m$level" "$(stat -c %s "$work/plain.rar")" "$input" "$t"
      t=$(best_time "'$tool' a -q -f -s -m$level '$work/solid.rar' $list")
      row "zelk4-archive -m$level -s" "$(stat -c %s "$work/solid.rar")" "$input" "$t"
      rm -f "$work/plain.rar" "$work/solid.rar"
    done
    gzip_each=0 xz_each=0
    for f in "${files[@]}"; do
      gzip_each=$((gzip_each + $(gzip -9 -c "$f" | wc -c)))
      xz_each=$((xz_each + $(xz -6 -c "$f" | wc -c)))
    done
    row "gzip -9, file by file" "$gzip_each" "$input" "$(best_time "for f in $list; do gzip -9 -c \"\$f\"; done")"
    row "xz -6, file by file" "$xz_each" "$input" "$(best_time "for f in $list; do xz -6 -c \"\$f\"; done")"
    row "tar | gzip -9" "$(tar cf - "${files[@]}" | gzip -9 | wc -c)" "$input" "$(best_time "tar cf - $list | gzip -9")"
    row "tar | xz -6" "$(tar cf - "${files[@]}" | xz -6 | wc -c)" "$input" "$(best_time "tar cf - $list | xz -6")"
  )
done
