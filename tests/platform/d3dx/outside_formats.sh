#!/usr/bin/env bash
# Texture files written by outside encoders (ImageMagick, ffmpeg) from the corpus's
# jpeg/testorig.jpg, decoded through the texture call (zelk4-inspect image --texture) and by
# ffmpeg's own decoders, compared pixel by pixel. Not run by CTest (it needs ImageMagick).
# Usage: tests/platform/d3dx/outside_formats.sh BUILD_DIR [CORPUS_DIR]   (exit 0 when all agree)
set -euo pipefail
build=$(cd "$1" && pwd)
corpus=$(cd "${2:-$(dirname "$0")/../../../../shared/corpus}" && pwd)
magick=$(command -v convert-im6.q16 || command -v convert)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
src="$corpus/jpeg/testorig.jpg"
ffmpeg -v error -i "$src" -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='mod(X+2*Y,256)'" src.png
# name | maker command | tolerance (largest channel difference)
makes=(
  "bmp24.bmp|ffmpeg -v error -i src.png -pix_fmt bgr24 bmp24.bmp|0"
  "bmp32.bmp|ffmpeg -v error -i src.png -pix_fmt bgra bmp32.bmp|0"
  "bmp565.bmp|ffmpeg -v error -i src.png -pix_fmt rgb565le bmp565.bmp|0"
  "bmp555.bmp|ffmpeg -v error -i src.png -pix_fmt rgb555le bmp555.bmp|0"
  "bmp8.bmp|ffmpeg -v error -i src.png -pix_fmt pal8 bmp8.bmp|0"
  "bmp4.bmp|$magick src.png -colors 16 -type Palette BMP3:bmp4.bmp|0"
  "bmp1.bmp|$magick src.png -monochrome BMP3:bmp1.bmp|0"
  "tga-rle24.tga|ffmpeg -v error -i src.png -pix_fmt bgr24 tga-rle24.tga|0"
  "tga-rle32.tga|ffmpeg -v error -i src.png -pix_fmt bgra tga-rle32.tga|0"
  "tga-rle8.tga|ffmpeg -v error -i src.png -pix_fmt gray tga-rle8.tga|0"
  "tga-pal8.tga|ffmpeg -v error -i src.png -pix_fmt pal8 tga-pal8.tga|0"
  "tga-555.tga|ffmpeg -v error -i src.png -pix_fmt rgb555le tga-555.tga|0"
  "tga-raw24.tga|$magick src.png -compress none -type TrueColor tga-raw24.tga|0"
  "dds-dxt1.dds|$magick src.png -define dds:compression=dxt1 -define dds:mipmaps=0 dds-dxt1.dds|3"
  "dds-dxt5.dds|$magick src.png -alpha set -define dds:compression=dxt5 -define dds:mipmaps=0 dds-dxt5.dds|3"
  "dds-argb.dds|$magick src.png -alpha set -define dds:compression=none -define dds:mipmaps=0 dds-argb.dds|0"
)
failures=0
for row in "${makes[@]}"; do
  IFS='|' read -r name make tolerance <<<"$row"
  eval "$make"
  ffmpeg -v error -i "$name" -f rawvideo -pix_fmt bgra "$name.ref"
  "$build/tools/inspect/zelk4-inspect" image --texture --rgba "$name.ours" "$name" >/dev/null
  python3 - "$name" "$tolerance" <<'PY' || failures=$((failures + 1))
import sys
name, tolerance = sys.argv[1], int(sys.argv[2])
ref, ours = open(name + '.ref', 'rb').read(), open(name + '.ours', 'rb').read()
if len(ref) != len(ours):
    print(f'{name}: {len(ours)} bytes against {len(ref)}'); sys.exit(1)
worst = max(abs(a - b) for a, b in zip(ref, ours))
off = sum(1 for i in range(0, len(ref), 4) if max(abs(ref[i + k] - ours[i + k]) for k in range(4)) > tolerance)
print(f'{name}: {len(ref) // 4} pixels, largest channel difference {worst}, {off} beyond {tolerance}')
sys.exit(1 if off else 0)
PY
done
echo "$failures file(s) differ"
exit $((failures > 0))
