#!/usr/bin/env bash
# Packs the files of each FOLDER with zelk4-archive (levels 3 and 5, plain and solid) and, as
# yardsticks, with gzip -9 and xz -6 (each file on its own, and the whole folder as one tar
# stream, which is what a solid archive compares with). Prints sizes and ratios (packed / input).
#
# usage: bench/rarpack/compare-ratios.sh ZELK4_ARCHIVE FOLDER...
#   e.g. bench/rarpack/compare-ratios.sh build/tools/archive/zelk4-archive /usr/share/vim/vim90/doc
set -euo pipefail
if [ $# -lt 2 ] || [ "$1" = "--help" ]; then
  sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
  [ "${1:-}" = "--help" ] && exit 0 || exit 2
fi
tool=$(realpath "$1")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

row() { awk -v n="$1" -v p="$2" -v i="$3" 'BEGIN { printf "  %-28s %12d  %6.3f\n", n, p, p / i }'; }

for folder in "$@"; do
  (
    cd "$folder"
    mapfile -t files < <(find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    input=$(cat "${files[@]}" | wc -c)
    echo "$folder: ${#files[@]} files, $input bytes"
    for level in 3 5; do
      "$tool" a -q -m$level "$work/plain.rar" "${files[@]}"
      "$tool" a -q -s -m$level "$work/solid.rar" "${files[@]}"
      row "zelk4-archive -m$level" "$(stat -c %s "$work/plain.rar")" "$input"
      row "zelk4-archive -m$level -s" "$(stat -c %s "$work/solid.rar")" "$input"
      rm -f "$work/plain.rar" "$work/solid.rar"
    done
    gzip_each=0 xz_each=0
    for f in "${files[@]}"; do
      gzip_each=$((gzip_each + $(gzip -9 -c "$f" | wc -c)))
      xz_each=$((xz_each + $(xz -6 -c "$f" | wc -c)))
    done
    row "gzip -9, file by file" "$gzip_each" "$input"
    row "xz -6, file by file" "$xz_each" "$input"
    row "tar | gzip -9" "$(tar cf - "${files[@]}" | gzip -9 | wc -c)" "$input"
    row "tar | xz -6" "$(tar cf - "${files[@]}" | xz -6 | wc -c)" "$input"
  )
done
