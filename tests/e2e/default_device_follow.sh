#!/usr/bin/env bash
# The default output device changes while a sound plays: the sound goes on on the
# new device. Wine lists the session's default ALSA device and a second file
# device; setting winealsa's DefaultOutput to the second one is what the system's
# sound settings do when the user picks other headphones.
#   default_device_follow.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/default_device_follow.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2
other="$KIVORA_SESSION/headset.raw"
other_id=$fixed_device_id
list_output_devices default headset


"$WINE" "$exe" & kivora=$!
id=$(wait_for_window Kivora) || fail "no window"
sleep 1
# The longest built-in sound on the first page (applause, 5.5 s).
before=$(size_of "$KIVORA_AUDIO_OUT")
click_in "$id" 122 114
wait_until 10 loud_after "$KIVORA_AUDIO_OUT" "$before" || fail "the sound did not start on the default device"
other_before=$(size_of "$other")
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' /v DefaultOutput /d "$other_id" /f >/dev/null 2>&1
wait_until 3 loud_after "$other" "$other_before" || fail "the playing sound did not move to the new default device"
# The next sound plays there too.
"$WINE" reg delete 'HKCU\Software\Wine\Drivers\winealsa.drv' /v DefaultOutput /f >/dev/null 2>&1
sleep 1
before=$(size_of "$KIVORA_AUDIO_OUT")
click_in "$id" 45 114
wait_until 10 loud_after "$KIVORA_AUDIO_OUT" "$before" || fail "after the default came back, the next sound was not heard there"
press_escape "$id"
wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"
echo "a playing sound moved to the new default device, and the next sound played on the default again"
