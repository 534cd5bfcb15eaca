#!/usr/bin/env bash
# Draws the program's icon, resources/setup.ico: a white "V" of DejaVu Sans Bold over the
# backdrop's black-to-blue, at 16, 32, 48 and 256 pixels, with ImageMagick as the title
# bitmap is drawn (scripts/make-title-bitmap.sh). The icon container is written here,
# image by image, so that the same tools give the same bytes: 32-bit pixels with an
# empty mask for the small sizes, a PNG without timestamps for 256.
#
#   make-icon.sh [OUTPUT]   write the icon (default: resources/setup.ico)
#   make-icon.sh --check    exit 1 when the checked-in icon differs from a fresh one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
sizes=(16 32 48 256)

. "$root/scripts/artwork.sh"
artwork_args "$root/resources/setup.ico" "$@"
[ -f "$font" ] || { echo "make-icon: $font missing (apt-get install fonts-dejavu-core)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One image a size, each drawn at its own size so that the small ones stay crisp.
for s in "${sizes[@]}"; do
  draw=(convert -size ${s}x${s} gradient:'#000000-#00007c' -fill white -font "$font"
        -pointsize $(( s * 9 / 10 )) -gravity center -annotate +0+0 V)
  if [ "$s" -eq 256 ]; then
    "${draw[@]}" -strip -define png:exclude-chunks=date,time png32:"$work/$s"
  else
    # BITMAPINFOHEADER (height counts the mask too), bottom-up BGRA rows, then the AND
    # mask: rows of bits padded to 32, all clear, since the alpha channel says it all.
    mask=$(( (s + 31) / 32 * 4 * s ))
    {
      printf "$(le32 40)$(le32 $s)$(le32 $(( 2 * s )))$(le16 1)$(le16 32)$(le32 0)"
      printf "$(le32 $(( s * s * 4 + mask )))$(le32 0)$(le32 0)$(le32 0)$(le32 0)"
      "${draw[@]}" -alpha opaque -flip -depth 8 bgra:-
      head -c $mask /dev/zero
    } >"$work/$s"
  fi
done

{
  # ICONDIR, one ICONDIRENTRY a size (a width or height of 0 means 256), the images.
  printf "$(le16 0)$(le16 1)$(le16 ${#sizes[@]})"
  offset=$(( 6 + 16 * ${#sizes[@]} ))
  for s in "${sizes[@]}"; do
    bytes=$(stat -c %s "$work/$s")
    printf "$(le16 $(( (s & 255) * 257 )))$(le16 0)$(le16 1)$(le16 32)$(le32 $bytes)$(le32 $offset)"
    offset=$(( offset + bytes ))
  done
  for s in "${sizes[@]}"; do cat "$work/$s"; done
} >"$out.tmp"
mv "$out.tmp" "$out"

artwork_done "$root/resources/setup.ico"
