#!/usr/bin/env bash
# Makes the Windows icon from the project's icon: one .ico holding it at
# 16, 32 and 48 pixels (bitmaps) and at 256 (PNG, as Windows stores that size).
#   assets/make-icon.sh SVG OUTPUT.ico
set -euo pipefail
svg=$1
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48 256; do
  rsvg-convert --width "$size" --height "$size" --output "$work/$size.png" "$svg"
done
icotool --create --output="$out" "$work/16.png" "$work/32.png" "$work/48.png" --raw="$work/256.png"
