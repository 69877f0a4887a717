#!/usr/bin/env bash
# Draws Kivora's pictures from the vector sources in this folder:
#   ../speaker.png, ../speaker_muted.png  20 x 20 RGBA button pictures (100 %), and
#   ../speaker{,_muted}_{125,150,200}.png the same at 25, 30 and 40 pixels
#   ../app_icon.ico                       one 128 x 128 32-bit image with alpha
#   ../window_icons.ico                   the same drawing at the title-bar, taskbar and
#                                         tray sizes of 100 to 200 %, 16 to 64 pixels
#   ../banner.jpg                         780 x 74 banner for the web server
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

# draw_button_picture OUTPUT SIZE MVG... : a SIZE x SIZE picture on a transparent
# background; the sources are drawn on a 20 x 20 grid.
draw_button_picture() {
  local output=$1 size=$2; shift 2
  local factor=$((size * 8 / 20))
  convert -size $((size * 8))x$((size * 8)) xc:none \
    -draw "scale $factor,$factor $(source_of "$@")" \
    -filter box -resize "${size}x${size}" \
    "${png_options[@]}" "PNG32:$output"
}

# 100, 125, 150 and 200 %: the suffix names the scale.
for scale in 100:20 125:25 150:30 200:40; do
  suffix="_${scale%%:*}"; [ "$suffix" = _100 ] && suffix=""
  size=${scale##*:}
  draw_button_picture "$assets/speaker$suffix.png" "$size" \
    "$here/speaker_body.mvg" "$here/speaker_waves.mvg"
  draw_button_picture "$assets/speaker_muted$suffix.png" "$size" \
    "$here/speaker_body.mvg" "$here/speaker_cross.mvg"
done

# The icon: a warm gradient cut to the rounded plate, the white speaker on top.
# ICO stores each image as a 32-bit BMP with its alpha channel; every size is
# box-filtered from the one large drawing.
draw_icon() {
  local sizes=$1 output=$2
  convert -size 512x512 gradient:'#FF8A3D-#E23B2A' \
    \( -size 512x512 xc:black -draw "scale 4,4 $(source_of "$here/app_icon_plate.mvg")" \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -draw "scale 4,4 $(source_of "$here/app_icon_speaker.mvg")" \
    -filter box -define icon:auto-resize="$sizes" \
    -strip "ICO:$output"
}
draw_icon 128 "$assets/app_icon.ico"
draw_icon 64,48,40,32,24,20,16 "$assets/window_icons.ico"

# The banner the web server serves (not built into the program): twice the 390 x 37
# picture box across the top of the window, so that the box shows it made smaller,
# and sharp, at every display scale up to 200 %.
convert -size 780x74 gradient:'#1f3b73-#2f8fce' \
  -font /usr/share/fonts/truetype/wqy/wqy-microhei.ttc \
  -pointsize 36 -fill white -gravity west -annotate +28+0 'Kivora 直播音效助手' \
  -pointsize 24 -fill '#ffd866' -gravity east -annotate +28+0 '一键音效 · 自定义按钮 · 免费使用' \
  -strip -quality 90 "$assets/banner.jpg"
