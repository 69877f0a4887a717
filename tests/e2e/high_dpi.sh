#!/usr/bin/env bash
# Kivora.exe started at 120, 144 and 192 DPI (the session's display set before each
# start): the window is 397 × 305 scaled, every control lies inside its client area
# at its scaled place, and at 144 DPI the settings dialog is laid out at that scale.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
source "$1/common.sh"
exe=$2; probe=$3

scaled() { echo $(( ($1 * $2 + 48) / 96 )); }  # MulDiv(value, dpi, 96), rounded to nearest
geometry() { "$WINE" "$probe" --geometry "$1" 2>/dev/null | tr -d "\r"; }

# Every visible control of window $1 inside its client area; $2 pixels may reach past
# the right edge (the tab control does so by 2 at 96 DPI).
controls_inside() {
  geometry "$1" | awk -F"\t" -v slack="$2" "
    NR == 1 { split(\$0, size, \" \"); width = size[3]; height = size[4]; next }
    { split(\$3, r, \" \"); if (r[1] < 0 || r[2] < 0 || r[3] > width + slack || r[4] > height) { print; bad = 1 } }
    END { exit bad }"
}

# The rectangle of the control captioned $2 in window $1, as "left top right bottom".
rect_of() { geometry "$1" | awk -F"\t" -v caption="$2" "\$2 == caption { print \$3; exit }"; }

outer_is() { [ "$(geometry Kivora | head -n 1 | cut -d" " -f1-2)" = "$1" ]; }

for dpi in 120 144 192; do
  "$WINE" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1 ||
    fail "cannot set the display to $dpi DPI"
  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window at $dpi DPI"
  want="$(scaled 397 $dpi) $(scaled 305 $dpi)"
  wait_until 10 outer_is "$want" || fail "at $dpi DPI the window is $(geometry Kivora | head -n 1), not $want"
  wait_until 10 has_caption "天空之城" || fail "the first page did not fill at $dpi DPI"
  outside=$(controls_inside Kivora $(scaled 2 $dpi)) || fail "at $dpi DPI outside the client area: $outside"
  # 停止播放 is 322, 247, 62 × 26 and 总是最上 319, 44, 70 × 20 at 96 DPI.
  pause="$(scaled 322 $dpi) $(scaled 247 $dpi) $(( $(scaled 322 $dpi) + $(scaled 62 $dpi) )) $(( $(scaled 247 $dpi) + $(scaled 26 $dpi) ))"
  [ "$(rect_of Kivora 停止播放)" = "$pause" ] || fail "at $dpi DPI 停止播放 is at $(rect_of Kivora 停止播放), not $pause"
  box="$(scaled 319 $dpi) $(scaled 44 $dpi) $(( $(scaled 319 $dpi) + $(scaled 70 $dpi) )) $(( $(scaled 44 $dpi) + $(scaled 20 $dpi) ))"
  [ "$(rect_of Kivora 总是最上)" = "$box" ] || fail "at $dpi DPI 总是最上 is at $(rect_of Kivora 总是最上), not $box"
  [ -n "${KIVORA_SHOTS:-}" ] && screenshot "$KIVORA_SHOTS/main-$dpi.png"

  if [ $dpi = 144 ]; then
    click_in "$id" 200 8; sleep 0.3
    xdotool key alt+space; sleep 0.6
    xdotool key --delay 80 Down Down Down Down Down Return
    wait_for_window "Kivora 设置" >/dev/null || fail "设置... did not open the dialog at 144 DPI"
    # The client area is 674 × 386 at 96 DPI.
    wait_until 10 bash -c "[ \"\$(\"\$WINE\" \"$probe\" --geometry \"Kivora 设置\" 2>/dev/null | tr -d \"\\r\" | head -n 1 | cut -d\" \" -f3-4)\" = \"1011 579\" ]" ||
      fail "the settings dialog is $(geometry "Kivora 设置" | head -n 1) at 144 DPI, not 1011 × 579 inside"
    outside=$(controls_inside "Kivora 设置" 0) || fail "settings dialog controls outside at 144 DPI: $outside"
    ok="$(scaled 494 144) $(scaled 350 144) $(scaled 574 144) $(scaled 376 144)"  # 494, 350, 80 × 26 at 96 DPI
    [ "$(rect_of "Kivora 设置" 确定)" = "$ok" ] || fail "确定 is at $(rect_of "Kivora 设置" 确定), not $ok"
    [ -n "${KIVORA_SHOTS:-}" ] && screenshot "$KIVORA_SHOTS/settings-$dpi.png"
    xdotool key Escape
    wait_until 10 bash -c "! xdotool search --onlyvisible --name \"^Kivora 设置\\\$\" >/dev/null" || fail "the dialog did not close"
  fi

  press_escape "$id"
  wait_for_exit $kivora 15; code=$?
  [ $code = 0 ] || fail "exit code $code at $dpi DPI"
  echo "at $dpi DPI: window $want, every control inside the client area at its scaled place"
done
' _ "$here" "$1" "$2"
