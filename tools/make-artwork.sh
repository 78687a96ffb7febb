#!/usr/bin/env bash
# Draws the window artwork under assets/ (ImageMagick). Run by hand when the artwork changes;
# the PNG files are committed.
set -euo pipefail
cd "$(dirname "$0")/../assets"

# Background of the left panel: a deep blue ground with a faint run of dits and dahs
# ("CQ" in Morse) and a thin sine trace, like a scope showing the sidetone.
convert -size 225x292 gradient:'#000060-#000028' \
  -fill '#1a2a80' -stroke none \
  -draw "roundrectangle 14,16 44,22 3,3" -draw "roundrectangle 50,16 58,22 3,3" \
  -draw "roundrectangle 64,16 94,22 3,3" -draw "roundrectangle 100,16 108,22 3,3" \
  -draw "roundrectangle 126,16 156,22 3,3" -draw "roundrectangle 162,16 192,22 3,3" \
  -draw "roundrectangle 198,16 206,22 3,3" \
  -stroke '#203a9a' -strokewidth 1 -fill none \
  -draw "path 'M 0,280 $(for x in $(seq 0 3 225); do printf 'L %d,%.1f ' $x $(echo "280+4*s($x/6)" | bc -l); done)'" \
  background.png

# Icon: a straight key's knob on a blue disc with a dah and a dit, drawn afresh at each of the
# desktop's icon sizes (the 64-pixel one is also the window's icon).
icon() {  # size file
  local size=$1
  scale() { echo "$1 * $size / 64" | bc -l; }
  convert -size "${size}x${size}" xc:none \
    -fill '#000040' -stroke '#4060ff' -strokewidth "$(scale 3)" \
    -draw "circle $(scale 32),$(scale 32) $(scale 32),$(scale 3)" \
    -fill '#00c000' -stroke none \
    -draw "roundrectangle $(scale 14),$(scale 28) $(scale 36),$(scale 36) $(scale 4),$(scale 4)" \
    -draw "circle $(scale 46),$(scale 32) $(scale 46),$(scale 28)" \
    -define png:exclude-chunks=date,time "$2"
}
icon 64 icon.png
mkdir -p icons
for size in 16 22 24 32 48 64 128 256; do
  icon "$size" "icons/vantrel-$size.png"
done

# The Close button's picture: a small red cross.
convert -size 16x16 xc:none -stroke '#c02020' -strokewidth 3 \
  -draw "line 4,4 12,12" -draw "line 12,4 4,12" close.png
