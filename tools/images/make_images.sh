#!/usr/bin/env bash
# Draws the setup's logo (PNG, 505 x 125) and its animated network indicator (GIF, 20 x 20) into resources/.
# Needs ImageMagick 6 and the DejaVu fonts. Run it again after changing a colour or a text here.
set -euo pipefail
out=$(cd "$(dirname "$0")/../../resources" && pwd)
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
font_light=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
blue='#1f5fae'
dark='#1d2733'
grey='#6b7785'

# The logo: a rounded badge holding a "Z", the product name and its add-on, on the window's white.
convert -size 505x125 xc:white \
  -fill "$blue" -draw 'roundrectangle 8,12 108,112 18,18' \
  -fill white -font "$font" -pointsize 78 -gravity NorthWest -annotate +28+14 'Z' \
  -fill "$dark" -font "$font" -pointsize 64 -annotate +128+6 'Zorvex' \
  -fill "$grey" -font "$font_light" -pointsize 22 -annotate +132+82 'with Quellpack' \
  -fill "$blue" -draw 'rectangle 128,77 486,79' \
  -strip -define png:exclude-chunks=date,time -depth 8 "PNG24:$out/logo.png"

# The network indicator: eight dots on a ring, one bright dot running round, 80 ms a step.
frames=()
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for step in 0 1 2 3 4 5 6 7; do
  draw=()
  for dot in 0 1 2 3 4 5 6 7; do
    age=$(( (step - dot + 8) % 8 ))
    shade=$(( 40 + age * 26 ))
    [ $shade -gt 230 ] && shade=230
    x=$(awk -v d=$dot 'BEGIN { printf "%.1f", 10 + 7 * sin(d * 3.14159265 / 4) }')
    y=$(awk -v d=$dot 'BEGIN { printf "%.1f", 10 - 7 * cos(d * 3.14159265 / 4) }')
    r=$(awk -v a=$age 'BEGIN { printf "%.1f", (a == 0 ? 2.4 : 1.9) }')
    draw+=(-fill "rgb($shade,$((shade + 20 > 255 ? 255 : shade + 20)),255)" -draw "circle $x,$y $(awk -v x=$x -v r=$r 'BEGIN { printf "%.1f", x + r }'),$y")
  done
  convert -size 20x20 xc:white "${draw[@]}" "$tmp/f$step.gif"
  frames+=("$tmp/f$step.gif")
done
convert -delay 8 -loop 0 "${frames[@]}" -layers Optimize "$out/network.gif"
identify -depth 8 "PNG24:$out/logo.png" "$out/network.gif"
