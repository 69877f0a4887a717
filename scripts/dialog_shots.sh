#!/usr/bin/env bash
# Saves a screenshot of each section of the settings dialog: dialog_shots.sh Kivora.exe out-folder [dpi]
# Runs in a private Wine session at the given DPI (96, 144, 192, ...). The dialog is
# opened from the system menu with the keyboard (Alt+Space, then its access key T),
# and each section is chosen in its list with the Down key. The pictures are named
# settings-<section>-<dpi>.png, the DPI in three digits.
set -euo pipefail
exe=$(realpath "$1"); out=$(realpath -m "$2"); dpi=${3:-96}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
# At 200 % the dialog is wider than the tests' usual 1280 x 800 screen.
export KIVORA_SCREEN=${KIVORA_SCREEN:-2560x1600x24}
exec bash "$root/scripts/wine-session.sh" -- bash -c '
  exe=$1 out=$2 dpi=$3
  "$WINE" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  # A few keys, so the lists show what set rows look like (a talk key too), and the
  # control server on, so its section shows an address and a token.
  mkdir -p "$HOME/Documents/Kivora"
  printf "[热键]\r\n按钮63=Ctrl+Alt+F10\r\n按钮64=Ctrl+Shift+Win+F7\r\n静音=Ctrl+Alt+M\r\n[输出]\r\n按住键=F13\r\n[遥控]\r\n开启=1\r\n端口=8719\r\n令牌=5f0c9a1e7b3d4c2a8e6f1b0d9c7a3e52\r\n" |
    iconv -f UTF-8 -t GBK > "$HOME/Documents/Kivora/设置.ini"
  "$WINE" "$exe" & kivora=$!
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "^Kivora$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 2
  xdotool mousemove --window "$id" $((200 * dpi / 96)) 8 click 1; sleep 0.3
  xdotool key alt+space; sleep 0.6; xdotool key t
  for _ in $(seq 1 50); do
    dialog=$(xdotool search --onlyvisible --name "^Kivora 设置$" 2>/dev/null | head -n 1) && [ -n "$dialog" ] && break
    sleep 0.2
  done
  [ -n "${dialog:-}" ] || { echo "dialog_shots: the dialog did not open" >&2; kill $kivora; exit 1; }
  sleep 1.5
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  tag=$(printf "%03d" "$dpi")
  for section in hotkeys output loudness sounds remote; do
    import -display "$DISPLAY" -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/settings-$section-$tag.png"
    xdotool key Down; sleep 0.8
  done
  xdotool key Escape; sleep 0.5
  kill $kivora; wait $kivora 2>/dev/null || true' _ "$exe" "$out" "$dpi"
