#!/usr/bin/env bash
# Draws the program icon and the about box logo from the drawings in
# converter/ui/art/ (ImageMagick vector files) and writes the resources the
# resource script includes:
#   converter/ui/art/tervano.ico  32x32 and 16x16 images
#   converter/ui/art/logo.bmp     147x46, 256 colours
# The results are committed, so a build needs neither ImageMagick nor the
# font; run this after changing a drawing.
#   scripts/make-art.sh
set -euo pipefail

art=$(cd "$(dirname "$0")/../converter/ui/art" && pwd)
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
for tool in convert identify; do
  command -v "$tool" >/dev/null || { echo "make-art: $tool missing (apt-get install imagemagick)" >&2; exit 1; }
done
[ -f "$font" ] || { echo "make-art: $font missing (apt-get install fonts-wqy-microhei)" >&2; exit 1; }

# The drawings are passed as text: the usual policy forbids "@file".
drawing() { grep -v '^#' "$art/$1"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 32x32 xc:none -draw "$(drawing icon.mvg)" "$work/icon32.png"
convert "$work/icon32.png" -filter Lanczos -resize 16x16 "$work/icon16.png"
convert "$work/icon32.png" "$work/icon16.png" "$art/tervano.ico"

convert -size 147x46 xc:white -font "$font" -draw "$(drawing logo.mvg)" \
  -background white -flatten +dither -colors 256 -type Palette \
  -define bmp:format=bmp3 -compress None "BMP3:$art/logo.bmp"

identify "$art/tervano.ico" "$art/logo.bmp"
