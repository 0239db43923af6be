#!/usr/bin/env bash
# Draws the program icon and the about box logo from the drawings in
# converter/ui/art/ (ImageMagick vector files) and writes the resources the
# resource script includes:
#   converter/ui/art/tervano.ico  16, 20, 24, 32, 40, 48 and 64 pixels square:
#                                 the small and big icon sizes Windows asks
#                                 for at 100, 125, 150 and 200 %
#   converter/ui/art/logo.bmp     147x46, 256 colours
#   converter/ui/art/logo-2x.bmp  294x92, 256 colours (200 %; the program
#                                 shrinks it for the scales in between)
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

# Each size drawn from the vectors (the drawing is on a 32 by 32 grid), not
# resized from another size.
icons=()
for size in 16 20 24 32 40 48 64; do
  scale=$(awk -v s="$size" 'BEGIN { printf "%.4f", s / 32 }')
  convert -size "${size}x${size}" xc:none -draw "scale $scale,$scale $(drawing icon.mvg)" "$work/icon$size.png"
  icons+=("$work/icon$size.png")
done
convert "${icons[@]}" "$art/tervano.ico"

# logo SCALE FILE: the logo drawn at SCALE times its size.
logo() {
  convert -size "$((147 * $1))x$((46 * $1))" xc:white -font "$font" -draw "scale $1,$1 $(drawing logo.mvg)" \
    -background white -flatten +dither -colors 256 -type Palette \
    -define bmp:format=bmp3 -compress None "BMP3:$2"
}
logo 1 "$art/logo.bmp"
logo 2 "$art/logo-2x.bmp"

identify "$art/tervano.ico" "$art/logo.bmp" "$art/logo-2x.bmp"
