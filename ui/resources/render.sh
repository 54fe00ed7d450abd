#!/usr/bin/env bash
# Renders the icon and logo pictures from their SVG sources. The PNGs are kept
# in the repository so building needs no SVG renderer; run this after editing
# an SVG (needs rsvg-convert, Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" chromaport.svg -o "icon-$size.png"
done
rsvg-convert -w 240 -h 46 logo.svg -o logo.png
rsvg-convert -w 480 -h 92 logo.svg -o logo@2x.png
