#!/usr/bin/env bash
# Draws the welcome window's picture: a 135 x 200 baseline colour JFIF with a
# dusk gradient, a closed book and the product name. Run once; the result is
# committed as resources/welcome.jpg.
#   tools/make_welcome_picture.sh [OUTPUT]   (default resources/welcome.jpg)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$ROOT/resources/welcome.jpg}
font=$(fc-match -f '%{file}' 'Liberation Serif:bold' 2>/dev/null || true)
font_args=()
[ -n "$font" ] && font_args=(-font "$font")

convert -size 135x200 gradient:'#1d2b64'-'#f8cdda' \
  -fill '#7a1f2b' -stroke '#3b0d14' -strokewidth 1 -draw 'roundrectangle 30,52 104,142 4,4' \
  -fill '#f4ecd8' -stroke none -draw 'rectangle 100,56 106,138' \
  -fill '#a8323f' -draw 'rectangle 34,56 38,138' \
  -stroke '#e8c66a' -strokewidth 1 -draw 'line 46,70 94,70' -draw 'line 46,118 94,118' \
  -stroke none -fill '#e8c66a' "${font_args[@]}" -pointsize 13 -gravity north \
  -annotate +0+88 'TW' \
  -fill white -pointsize 19 -annotate +0+158 'Tomewright' \
  -pointsize 10 -fill '#fff6e0' -annotate +0+20 'Velmo' \
  -attenuate 0.25 +noise Gaussian \
  -strip -sampling-factor 2x2 -interlace none -quality 93 "JPEG:$out"
identify "$out"
