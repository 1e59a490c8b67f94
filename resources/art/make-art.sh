#!/usr/bin/env bash
# Regenerates the program's pictures with ImageMagick. The results are committed
# (resources/*.jpg, *.ico), so building never needs this script.
set -euo pipefail
cd "$(dirname "$0")"
out=..
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

# Title band background: 50 x 50, stretched across the band. A calm deep blue,
# darker at the bottom, with a faint highlight near the top.
convert -size 50x50 gradient:'#2d63c8'-'#163a86' \
    \( -size 50x50 gradient:'rgba(255,255,255,0.18)'-'rgba(255,255,255,0)' \) -compose over -composite \
    -strip -interlace none -sampling-factor 4:2:0 -quality 92 "$out/title.jpg"

# About banner: 360 x 50, the same blue running left to right, with the product name.
convert -size 50x360 gradient:'#163a86'-'#2d63c8' -rotate 90 \
    \( -size 360x50 xc:none -fill 'rgba(255,255,255,0.07)' \
       -draw 'circle 330,10 330,70' -draw 'circle 290,55 290,85' \) -compose over -composite \
    -font "$BOLD" -pointsize 20 -fill white -gravity west -annotate +66+0 'Kestro Refindor' \
    -strip -interlace none -quality 92 "$out/about.jpg"

# Product icon: a drive with a green "bring back" arrow, drawn at 256 and scaled down.
convert -size 256x256 xc:none \
    -fill '#1f4fa8' -draw 'roundrectangle 8,8 248,248 44,44' \
    -fill '#e9eef8' -draw 'roundrectangle 44,92 212,196 18,18' \
    -fill '#9fb3d9' -draw 'rectangle 44,150 212,156' \
    -fill '#2fbf5b' -draw 'circle 176,176 176,196' \
    -fill none -stroke '#ffffff' -strokewidth 18 -draw 'arc 70,24 186,120 200,340' \
    -stroke none -fill '#ffffff' -draw 'polygon 58,74 104,62 92,108' \
    "$tmp/product256.png"
for s in 16 20 24 32 48 64; do convert "$tmp/product256.png" -resize ${s}x${s} "$tmp/product$s.png"; done
convert "$tmp/product16.png" "$tmp/product20.png" "$tmp/product24.png" "$tmp/product32.png" \
    "$tmp/product48.png" "$tmp/product64.png" "$tmp/product256.png" "$out/product.ico"

# Update icon, 16 x 16: a white arrow pointing down on a green disc.
convert -size 128x128 xc:none -fill '#2fbf5b' -draw 'circle 64,64 64,4' \
    -fill white -draw 'rectangle 52,26 76,70' -draw 'polygon 30,64 98,64 64,102' \
    -resize 16x16 "$out/update.ico"

# Menu button, 32 x 32, and its hover picture: three bars on a rounded tile.
menu_icon() {
    convert -size 128x128 xc:none -fill "$1" -draw 'roundrectangle 4,4 124,124 26,26' \
        -fill white -draw 'roundrectangle 30,34 98,46 6,6' -draw 'roundrectangle 30,58 98,70 6,6' \
        -draw 'roundrectangle 30,82 98,94 6,6' -resize 32x32 "$2"
}
menu_icon '#2a5bbd' "$out/menu.ico"
menu_icon '#e07b1f' "$out/menu_hover.ico"

# Decorative file-type picture, 32 x 41: a page with a folded corner and coloured type marks.
convert -size 128x164 xc:none \
    -fill '#ffffff' -stroke '#6b7fa6' -strokewidth 5 -draw 'polygon 8,4 88,4 120,36 120,160 8,160' \
    -fill '#d6def0' -draw 'polygon 88,4 88,36 120,36' -stroke none \
    -fill '#2d63c8' -draw 'roundrectangle 24,56 104,70 4,4' \
    -fill '#2fbf5b' -draw 'roundrectangle 24,84 84,98 4,4' \
    -fill '#e07b1f' -draw 'roundrectangle 24,112 96,126 4,4' \
    -resize 32x41! "$out/filetypes.ico"
