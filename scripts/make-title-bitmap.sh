#!/usr/bin/env bash
# Draws the backdrop's title bitmap, resources/title.bmp: 321 x 90, one bit per pixel,
# white artwork on black, colour 0 white and colour 1 black (the order the program and
# its tests expect). Drawn with ImageMagick from DejaVu Sans (Debian's fonts-dejavu-core)
# without anti-aliasing, so the same tools give the same bytes.
#
#   make-title-bitmap.sh [OUTPUT]   write the bitmap (default: resources/title.bmp)
#   make-title-bitmap.sh --check    exit 1 when the checked-in bitmap differs from a fresh one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fonts=/usr/share/fonts/truetype/dejavu
width=321 height=90
stride=$(( (width + 31) / 32 * 4 ))  # bytes a row, padded to 32 bits
image=$(( stride * height ))

. "$root/scripts/artwork.sh"
artwork_args "$root/resources/title.bmp" "$@"
for f in DejaVuSans-Bold.ttf DejaVuSans.ttf; do
  [ -f "$fonts/$f" ] || { echo "make-title-bitmap: $fonts/$f missing (apt-get install fonts-dejavu-core)" >&2; exit 2; }
done

{
  # BITMAPFILEHEADER, BITMAPINFOHEADER, then the palette: white, black.
  printf "BM$(le32 $(( 62 + image )))$(le32 0)$(le32 62)"
  printf "$(le32 40)$(le32 $width)$(le32 $height)$(le16 1)$(le16 1)$(le32 0)$(le32 $image)"
  printf "$(le32 2835)$(le32 2835)$(le32 2)$(le32 2)"
  printf '\xff\xff\xff\x00\x00\x00\x00\x00'
  # A raw PBM's bits are 1 for black, as are this palette's indices: widened to the
  # padded row and turned bottom-up, its pixel data is the bitmap's.
  convert -size ${width}x${height} xc:black +antialias -fill white \
    -font "$fonts/DejaVuSans-Bold.ttf" -pointsize 56 -gravity NorthWest -annotate +8+0 'Velvorine' \
    -draw 'rectangle 10,72 224,73' \
    -font "$fonts/DejaVuSans.ttf" -pointsize 24 -gravity NorthEast -annotate +16+56 'Install' \
    -threshold 50% -gravity NorthWest -background black -extent $(( stride * 8 ))x$height \
    -flip pbm:- | tail -c $image
} >"$out.tmp"
mv "$out.tmp" "$out"

size=$(stat -c %s "$out")
[ "$size" -eq $(( 62 + image )) ] || { echo "make-title-bitmap: $out has $size bytes" >&2; exit 1; }
artwork_done "$root/resources/title.bmp"
