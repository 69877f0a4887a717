#!/usr/bin/env bash
# Draws Kivora's pictures from the vector sources in this folder:
#   ../speaker.png, ../speaker_muted.png  20 x 20 RGBA button pictures
#   ../app_icon.ico                       one 128 x 128 32-bit image with alpha
#   ../banner.jpg                         390 x 37 banner for the web server
# Each picture is drawn at several times its size and box-filtered down, so edges
# get even anti-aliasing. PNGs carry no timestamps or other metadata, so running
# the script again gives byte-identical files.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
assets=$(dirname "$here")

# Debian's ImageMagick policy forbids '@file' arguments, so the sources are
# passed to -draw as text.
source_of() { cat "$@"; }

png_options=(-strip -define png:exclude-chunks=date,time -define png:color-type=6)

# draw_button_picture OUTPUT MVG... : a 20 x 20 picture on a transparent background.
draw_button_picture() {
  local output=$1; shift
  convert -size 160x160 xc:none \
    -draw "scale 8,8 $(source_of "$@")" \
    -filter box -resize 20x20 \
    "${png_options[@]}" "PNG32:$output"
}

draw_button_picture "$assets/speaker.png" \
  "$here/speaker_body.mvg" "$here/speaker_waves.mvg"
draw_button_picture "$assets/speaker_muted.png" \
  "$here/speaker_body.mvg" "$here/speaker_cross.mvg"

# The icon: a warm gradient cut to the rounded plate, the white speaker on top.
# ICO stores a 128 x 128 image as a 32-bit BMP with its alpha channel.
convert -size 512x512 gradient:'#FF8A3D-#E23B2A' \
  \( -size 512x512 xc:black -draw "scale 4,4 $(source_of "$here/app_icon_plate.mvg")" \) \
  -alpha off -compose CopyOpacity -composite -compose Over \
  -draw "scale 4,4 $(source_of "$here/app_icon_speaker.mvg")" \
  -filter box -resize 128x128 \
  -strip "ICO:$assets/app_icon.ico"

# The banner the web server serves (not built into the program): 390 x 37, the
# size of the picture box across the top of the window.
convert -size 390x37 gradient:'#1f3b73-#2f8fce' \
  -font /usr/share/fonts/truetype/wqy/wqy-microhei.ttc \
  -pointsize 18 -fill white -gravity west -annotate +14+0 'Kivora 直播音效助手' \
  -pointsize 12 -fill '#ffd866' -gravity east -annotate +14+0 '一键音效 · 自定义按钮 · 免费使用' \
  -strip -quality 90 "$assets/banner.jpg"
