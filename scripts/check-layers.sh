#!/usr/bin/env bash
# The layer check: every #include "folder/header.h" in the sources must stay inside its own layer
# or point down the layer order. src/CMakeLists.txt passes the order (top to bottom) and the
# allowed exceptions, so the build and this check read the same list.
#
# Usage: scripts/check-layers.sh SRC_DIR LAYER... [--allow FROM:TO]...
# Prints the order, every include that points up (file:line) and a count; exit status 1 when any
# include points up, names a folder outside the layers, or sits in a folder outside them.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 SRC_DIR LAYER... [--allow FROM:TO]..." >&2
  exit 2
fi
src=${1%/}
shift
layers=()
allowed=()
while [ $# -gt 0 ]; do
  case $1 in
    --allow) allowed+=("$2"); shift 2 ;;
    *) layers+=("$1"); shift ;;
  esac
done

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

# Sets `layer` to the layer a path (relative to SRC_DIR) lies in, or to "" for none.
find_layer() {
  layer=""
  local candidate
  for candidate in "${layers[@]}"; do
    if [[ $1 == "$candidate"/* ]]; then
      layer=$candidate
      return
    fi
  done
}

echo "layer order, top to bottom: ${layers[*]}"
[ ${#allowed[@]} -gt 0 ] && echo "allowed to point up: ${allowed[*]}"

files=0 checked=0 up=0 excepted=0 outside=0
while IFS= read -r -d '' path; do
  rel=${path#"$src"/}
  find_layer "$rel"
  from=$layer
  files=$((files + 1))
  if [ -z "$from" ]; then
    echo "$rel: its folder is not in the layer order"
    outside=$((outside + 1))
    continue
  fi
  while IFS=: read -r line text; do
    header=${text#*\"}
    header=${header%%\"*}
    [[ $header == */* ]] || continue  # a header beside the file
    checked=$((checked + 1))
    find_layer "$header"
    if [ -z "$layer" ]; then
      echo "$rel:$line: includes $header, outside the layers"
      outside=$((outside + 1))
    elif [ "${rank[$layer]}" -lt "${rank[$from]}" ]; then
      if [[ " ${allowed[*]} " == *" $from:$layer "* ]]; then
        excepted=$((excepted + 1))
      else
        echo "$rel:$line: $from includes $header, which is above it"
        up=$((up + 1))
      fi
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$path" || true)
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

echo "$checked includes in $files files: $up point up the layer order" \
     "($excepted by an allowed exception), $outside outside the layers"
[ "$up" -eq 0 ] && [ "$outside" -eq 0 ]
