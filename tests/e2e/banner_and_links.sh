#!/usr/bin/env bash
# The banner and the links in the real Kivora.exe, with the banner served by a
# loopback server of the test's own (KIVORA_BANNER_URL) and every address the
# shell opens recorded through Wine's browser setting instead of a browser:
#   - a served banner is drawn into the box; a left press on it opens the sponsor
#     page, a right press the menu and no page; "赞助作者" and the label "赞助"
#     open the short link; "关于程序" shows a task-modal "关于" box with no owner;
#   - a server that never answers and a refused connection: the window comes up
#     as fast as with a served banner, works, the box stays empty, and Esc during
#     the silent fetch ends Kivora at once with exit code 0;
#   - a 1 GiB body is refused with the process's peak memory kept low.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"
  exe=$2; probe=$3; banner=$1/../../assets/banner.jpg

  opened=$KIVORA_SESSION/opened.txt; : > "$opened"
  printf "#!/bin/sh\necho \"\$1\" >> %s\n" "$opened" > "$KIVORA_SESSION/record-browser.sh"
  chmod +x "$KIVORA_SESSION/record-browser.sh"
  "$WINE" reg add "HKCU\\Software\\Wine\\WineBrowser" /v Browsers /d "$KIVORA_SESSION/record-browser.sh" /f >/dev/null 2>&1 ||
    fail "could not set the browser"

  server_log=$KIVORA_SESSION/server.log; : > "$server_log"
  python3 "$1/banner_server.py" "$banner" "$server_log" > "$KIVORA_SESSION/port" & server=$!
  trap "kill $server 2>/dev/null" EXIT
  for _ in $(seq 1 50); do [ -s "$KIVORA_SESSION/port" ] && break; sleep 0.1; done
  port=$(head -n 1 "$KIVORA_SESSION/port"); [ -n "$port" ] || fail "the banner server did not start"
  closed_port=$(python3 -c "import socket; s=socket.socket(); s.bind((\"127.0.0.1\", 0)); print(s.getsockname()[1])")

  # Starts Kivora with the banner at $1; sets kivora (pid), window (X id) and took (ms to a visible window).
  start_kivora() {
    local begin=$(date +%s%N)
    KIVORA_BANNER_URL=$1 "$WINE" "$exe" & kivora=$!
    window=$(wait_for_window Kivora) || fail "no window titled Kivora appeared ($1)"
    took=$(( ($(date +%s%N) - begin) / 1000000 ))
    read -r client_x client_y _ _ <<<"$("$WINE" "$probe" --window Kivora | tr -d "\r")"
  }
  # The screen pixel at a point of the client area, as "r,g,b".
  pixel_at() {
    import -display "$DISPLAY" -window root -crop "1x1+$((client_x + $1))+$((client_y + $2))" -depth 8 txt:- 2>/dev/null |
      sed -nE "2s/.*\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/p"
  }
  # Peak resident memory of the process as Linux counts it, and peak private memory as Windows does.
  peak_kb() { awk "/^VmHWM:/ {print \$2}" "/proc/$kivora/status"; }
  peak_private_kb() { "$WINE" "$probe" --window Kivora | tr -d "\r" | cut -d " " -f 5; }
  is_white() { [ "$(pixel_at "$1" "$2")" = "255,255,255" ]; }
  # Right press at a client point, then the menu item of index $3 (five items).
  menu_item() {
    xdotool mousemove $((client_x + $1)) $((client_y + $2)); sleep 0.2; xdotool click 3
    local menu=""
    find_menu() { menu=$(xwininfo -root -tree | grep "\"kivora.exe\"" | grep -v -e "\"Kivora\"" -e "Default IME" -e " 1x1+" | head -n 1); [ -n "$menu" ]; }
    wait_until 5 find_menu || fail "no menu opened at $1,$2"
    sleep 0.2
    read -r mw mh ml mt <<<"$(sed -E "s/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/" <<<"$menu")"
    [ "$3" = none ] && { xdotool key Escape; sleep 0.3; return; }
    xdotool mousemove $((ml + mw / 2)) $((mt + (2 * $3 + 1) * mh / 10)); sleep 0.3; xdotool click 1; sleep 0.5
  }
  expect_opened() {
    for _ in $(seq 1 30); do [ "$(wc -l < "$opened")" -ge "$1" ] && break; sleep 0.2; done
    [ "$(wc -l < "$opened")" = "$1" ] || fail "expected $1 addresses opened, got: $(tr "\n" " " < "$opened")"
    [ -z "${2:-}" ] || [ "$(tail -n 1 "$opened")" = "$2" ] || fail "opened $(tail -n 1 "$opened"), expected $2"
  }

  # 1. A served banner, the presses and the About box.
  start_kivora "http://127.0.0.1:$port/banner.jpg"; served_took=$took
  for _ in $(seq 1 50); do is_white 200 2 || break; sleep 0.2; done
  screenshot "$KIVORA_SESSION/banner.png"
  top_left=$(pixel_at 200 2)
  [ "$top_left" != "255,255,255" ] && [ "$top_left" != "" ] || fail "the banner was not drawn (pixel $top_left)"
  IFS=, read -r r g b <<<"$top_left"; [ "$b" -gt "$r" ] || fail "banner pixel $top_left is not the blue of the banner"
  grep -q "^GET /banner.jpg HTTP/1.0$" "$server_log" || fail "no HTTP/1.0 GET of the banner: $(cat "$server_log")"

  click_in "$window" 0 0 >/dev/null 2>&1; xdotool mousemove $((client_x + 120)) $((client_y + 18)); sleep 0.2; xdotool click 1
  expect_opened 1 "http://www.kivora.net/sponsor.html"
  menu_item 120 18 none
  sleep 1; expect_opened 1
  menu_item 120 18 2
  expect_opened 2 "https://kivora.link/s/sponsor"
  xdotool mousemove $((client_x + 301)) $((client_y + 52)); sleep 0.2; xdotool click 1
  expect_opened 3 "https://kivora.link/s/sponsor"

  menu_item 120 18 3
  about=$(wait_for_window "关于") || fail "no About box"
  screenshot "$KIVORA_SESSION/about.png"
  read -r _ _ owned _ <<<"$("$WINE" "$probe" --window "关于" | tr -d "\r")"
  [ "$owned" = 0 ] || fail "the About box has an owner window"
  main_disabled() { read -r _ _ _ main_enabled _ <<<"$("$WINE" "$probe" --window Kivora | tr -d "\r")"; [ "$main_enabled" = 0 ]; }
  wait_until 5 main_disabled || fail "the main window stays enabled under the About box (not task-modal)"
  # The text control holds the three lines (the probe prints its CR LF breaks as they are).
  shown=$(probe_captions "关于")
  [ "$(grep -c "：" <<<"$shown")" = 3 ] || fail "About text is not three labelled lines: $shown"
  [ "$(grep -cE "^(OK|确定|取消|是|否|Cancel|Yes|No)" <<<"$shown")" = 1 ] && grep -qE "^(OK|确定)" <<<"$shown" ||
    fail "About box should have one OK button only: $shown"
  xdotool key --window "$about" Return 2>/dev/null; sleep 0.5
  peak_served=$(peak_kb); private_served=$(peak_private_kb)
  press_escape "$window"
  wait_for_exit $kivora 15; code=$?; [ $code = 0 ] || fail "exit code $code after the banner run"

  # 2. A silent server and a refused connection: the window comes as fast as on a
  # second start with a served banner, and works.
  start_kivora "http://127.0.0.1:$port/banner.jpg"; served_took=$took
  press_escape "$window"
  wait_for_exit $kivora 15 || fail "exit code $? after the second start"
  for target in "http://127.0.0.1:$port/silent" "http://127.0.0.1:$closed_port/banner.jpg"; do
    start_kivora "$target"
    [ $took -le $((served_took + 1500)) ] || fail "window took ${took} ms with $target, ${served_took} ms with a served banner"
    menu_item 200 244 none
    is_white 200 2 || fail "the box is not empty with $target: pixel $(pixel_at 200 2)"
    begin=$(date +%s%N)
    press_escape "$window"
    wait_for_exit $kivora 15; code=$?; [ $code = 0 ] || fail "exit code $code with $target"
    echo "banner at $target: window after ${took} ms; Esc to exit $(( ($(date +%s%N) - begin) / 1000000 )) ms"
  done

  # 3. A 1 GiB body, announced or not: refused, the box stays empty, and memory
  # stays near that of a normal run.
  for name in huge stream; do
    start_kivora "http://127.0.0.1:$port/$name"
    for _ in $(seq 1 100); do grep -q "^$name sent" "$server_log" && break; sleep 0.2; done
    sleep 1
    peak=$(peak_kb); private=$(peak_private_kb)
    is_white 200 2 || fail "the box is not empty after a 1 GiB body ($name)"
    [ $((peak - peak_served)) -le 32768 ] || fail "peak memory ${peak} kB against ${peak_served} kB with a served banner ($name)"
    press_escape "$window"
    wait_for_exit $kivora 15; code=$?; [ $code = 0 ] || fail "exit code $code after the 1 GiB body ($name)"
    echo "1 GiB body (/$name): $(grep "^$name sent" "$server_log" || echo "still sending") bytes; peak resident ${peak} kB, peak private ${private} kB (served banner ${peak_served} kB, ${private_served} kB)"
  done
  echo "served banner: window after ${served_took} ms on a second start; presses, menu, label and About box as expected"
' _ "$here" "$1" "$2"
