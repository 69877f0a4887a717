#!/usr/bin/env bash
# Runs a command inside a private 64-bit Wine session: its own WINEPREFIX, HOME, X
# display (Xvfb) and file-backed ALSA device, with the Chinese locale (code page 936).
# Two sessions at once never share a prefix, a display or a wineserver.
#
# Usage: wine-session.sh [--keep DIR] -- command...
#   --keep DIR  use DIR for the session (prefix kept between runs) instead of a throwaway one
#   KIVORA_SCREEN  the Xvfb screen it starts, 1280x800x24 unless set
# Inside the command: WINE (the 64-bit loader: run every Windows program as "$WINE" prog.exe),
# KIVORA_SESSION (the folder), KIVORA_AUDIO_OUT (raw PCM the sound device writes),
# DISPLAY, WINEPREFIX and HOME are set.
# Each step of the set-up either succeeds or prints one line naming the step and the
# cause, then exits non-zero.
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

# Debian's /usr/bin/wine picks the 32-bit loader whenever the 32-bit Wine package is installed, and some
# machines cannot execute 32-bit code at all: everything here names the 64-bit parts.
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export HOME="$session/home"
export WINEPREFIX="$session/prefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export KIVORA_SESSION="$session"
export KIVORA_AUDIO_OUT="$session/audio-out.raw"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
mkdir -p "$HOME/Documents" "$HOME/Desktop"

fail_step() { echo "wine-session: $1" >&2; [ -n "${2:-}" ] && [ -s "$2" ] && tail -n 20 "$2" >&2; exit 1; }

for part in "$WINE" "$WINESERVER"; do
  [ -x "$part" ] || fail_step "64-bit Wine is not installed ($part is missing): run scripts/setup.sh"
done

# MCI playback ends in ALSA's default device; point it at a file so tests can hear it.
cat > "$HOME/.asoundrc" <<ASOUND
pcm.!default { type plug slave { pcm { type file slave.pcm "null" file "$KIVORA_AUDIO_OUT" format "raw" } format S16_LE rate 48000 channels 2 } }
ASOUND

xvfb_pid=""
cleanup() {
  local status=$?
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ "$throwaway" = 1 ] && [ -z "${KIVORA_KEEP_SESSION:-}" ] && rm -rf "$session"
  exit $status
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ] || [ -n "${KIVORA_FORCE_XVFB:-}" ]; then
  # -displayfd picks a free display number, so parallel sessions never collide.
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 "${KIVORA_SCREEN:-1280x800x24}" -nolisten tcp >"$session/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 10 display_number <&"$fd" || fail_step "Xvfb did not start within 10 s" "$session/xvfb.log"
  export DISPLAY=":$display_number"
fi

# A prefix kept from a 32-bit session cannot run 64-bit programs: make a new one.
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -qx '#arch=win64' "$WINEPREFIX/system.reg"; then
  echo "wine-session: $WINEPREFIX is not a 64-bit prefix; making a new one"
  rm -rf "$WINEPREFIX"
fi

# The marker names what the prefix was set up with; a prefix kept from an older set-up is set up again.
ready_marker="$WINEPREFIX/.kivora-ready-2"
if [ ! -f "$ready_marker" ]; then
  boot_log="$session/wineboot.log"
  # A fresh prefix now and then fails to boot on a loaded machine ("could not load
  # kernel32.dll, status c0000135", seen once in a CI run): such a prefix is half made,
  # so it is thrown away and made once more from nothing.
  for attempt in 1 2; do
    code=0
    "$WINE" wineboot -i >"$boot_log" 2>&1 || code=$?
    if [ "$code" = 126 ] || [ "$code" = 127 ]; then
      fail_step "Wine cannot run on this machine: $WINE exited with $code" "$boot_log"
    fi
    [ "$code" = 0 ] && break
    echo "wine-session: making the Wine prefix failed with exit code $code (attempt $attempt)" >&2
    tail -n 5 "$boot_log" >&2
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  done
  [ "$code" = 0 ] || fail_step "making the Wine prefix (wineboot -i) failed twice, last with exit code $code" "$boot_log"
  # wineboot returns while the prefix's first programs still run; a registry write
  # then can fail now and then (seen once under load): after a failure, wait for
  # them to end and try again.
  set_value() {  # what, then reg add's arguments
    local what=$1 attempt; shift
    for attempt in 1 2 3; do
      "$WINE" reg add "$@" /f >>"$boot_log" 2>&1 && return 0
      "$WINESERVER" -w; sleep 1
    done
    fail_step "$what failed" "$boot_log"
  }
  # Without a window manager Wine draws its own frame and runs its own move loop.
  for value in Managed Decorated; do
    set_value "setting the X11 driver value $value" 'HKCU\Software\Wine\X11 Driver' /v $value /d N
  done
  # A program that crashes ends at once with a failing exit code: Wine's debugger
  # prints its backtrace and no crash dialog waits for a click that never comes.
  set_value "turning off Wine's crash dialog" 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  "$WINESERVER" -w
  touch "$ready_marker"
fi
# One wineserver for the whole session keeps every test's Wine start cheap. Wine's
# background services start with the first program; starting them here, detached
# from our output, keeps them from holding a caller's pipe open after a test ends.
"$WINESERVER" -p || fail_step "the wineserver did not start"
# While the services come up, the very first start now and then fails with "ShellExecuteEx
# failed: internal error"; the next one finds them up.
services_up=0
for attempt in 1 2 3; do
  if "$WINE" cmd /c exit </dev/null >"$session/services.log" 2>&1; then services_up=1; break; fi
  status=$?
  sleep 1
done
[ "$services_up" = 1 ] || fail_step "the first Wine program (cmd /c exit) failed three times, last with exit code $status" "$session/services.log"
"$@"
