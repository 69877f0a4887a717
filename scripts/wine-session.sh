#!/usr/bin/env bash
# Runs a command inside a private Wine session: its own WINEPREFIX, HOME, X display
# (Xvfb) and file-backed ALSA device, with the Chinese locale (code page 936).
# Two sessions at once never share a prefix, a display or a wineserver.
#
# Usage: wine-session.sh [--keep DIR] -- command...
#   --keep DIR  use DIR for the session (prefix kept between runs) instead of a throwaway one
# Inside the command: KIVORA_SESSION (the folder), KIVORA_AUDIO_OUT (raw PCM the
# sound device writes), DISPLAY, WINEPREFIX and HOME are set.
set -euo pipefail

session=""
if [ "${1:-}" = "--keep" ]; then session=$(realpath -m "$2"); shift 2; fi
[ "${1:-}" = "--" ] && shift

if [ -z "$session" ]; then
  session=$(mktemp -d /tmp/kivora-session.XXXXXX)
  throwaway=1
else
  mkdir -p "$session"; throwaway=0
fi

export HOME="$session/home"
export WINEPREFIX="$session/prefix"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export KIVORA_SESSION="$session"
export KIVORA_AUDIO_OUT="$session/audio-out.raw"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
mkdir -p "$HOME/Documents" "$HOME/Desktop"

# MCI playback ends in ALSA's default device; point it at a file so tests can hear it.
cat > "$HOME/.asoundrc" <<ASOUND
pcm.!default { type plug slave { pcm { type file slave.pcm "null" file "$KIVORA_AUDIO_OUT" format "raw" } format S16_LE rate 48000 channels 2 } }
ASOUND

xvfb_pid=""
cleanup() {
  local status=$?
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ "$throwaway" = 1 ] && [ -z "${KIVORA_KEEP_SESSION:-}" ] && rm -rf "$session"
  exit $status
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ] || [ -n "${KIVORA_FORCE_XVFB:-}" ]; then
  # -displayfd picks a free display number, so parallel sessions never collide.
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >"$session/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 display_number <&"$fd" || { echo "wine-session: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$display_number"
fi

if [ ! -f "$WINEPREFIX/.kivora-ready" ]; then
  wineboot -i >/dev/null 2>&1
  # Without a window manager Wine draws its own frame and runs its own move loop.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.kivora-ready"
fi
# One wineserver for the whole session keeps every test's Wine start cheap. Wine's
# background services start with the first program; starting them here, detached
# from our output, keeps them from holding a caller's pipe open after a test ends.
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
"$@"
