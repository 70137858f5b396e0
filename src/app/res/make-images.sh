#!/bin/sh
# Rebuilds the raster images of the dialog pages from their vector drawings.
# Needs ImageMagick (Debian: apt-get install imagemagick). Run from any folder.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Window icon: the logo as drawn, on a transparent ground.
convert -background none -density 768 plovik.svg -resize 256x256 -depth 8 -strip PNG32:plovik.png

# About box icon: JPEG has no transparency, so the logo's ground fills the square and the page
# rounds the corners itself.
sed 's/<rect width="64" height="64" rx="14"/<rect width="64" height="64" rx="0"/' plovik.svg \
    >"$tmp/square.svg"
convert -background '#2563eb' -density 384 "$tmp/square.svg" -resize 112x112 -flatten \
    -quality 92 -strip iconk.jpg

# Completion mark: GIF keeps only on/off transparency, so the edge is cut at half coverage.
cat >"$tmp/success.svg" <<'SVG'
<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 48 48">
<circle cx="24" cy="24" r="22" fill="#16a34a"/>
<path d="M13.5 24.5l7 7 14-15" fill="none" stroke="#ffffff" stroke-width="5"
      stroke-linecap="round" stroke-linejoin="round"/>
</svg>
SVG
convert -background none -density 576 "$tmp/success.svg" -resize 48x48 \
    -channel A -threshold 50% +channel -strip success.gif
