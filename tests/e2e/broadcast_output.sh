#!/usr/bin/env bash
# The broadcast output beside the default device, with three ALSA file devices:
# the session's default, a headset, and a cable chosen under 输出. The default
# device is switched to the headset mid-sound: the sound moves there, and the
# cable's file holds the whole clip, sample for sample against the reference
# decode. Then a broadcast device that is not there: the notification-area icon
# says so in a balloon, the control interface tells it, and the default device
# plays on.
#   broadcast_output.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/broadcast_output.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
settings="$HOME/Documents/Kivora/设置.ini"
headset="$KIVORA_SESSION/headset.raw"
cable="$KIVORA_SESSION/Virtual Cable Input.raw"
headset_id="{0.0.0.00000000}.{04030201-0605-0807-090A-0B0C0D0E0F10}"
list_output_devices default headset "Virtual Cable Input"
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv\devices\0,headset' /v guid /t REG_BINARY /d 0102030405060708090a0b0c0d0e0f10 /f >/dev/null 2>&1

keep_broadcast_device() {
  mkdir -p "$(dirname "$settings")"
  printf '[输出]\r\n第二设备=%s\r\n第二设备名称=%s\r\n' "$1" "$2" | iconv -f UTF-8 -t GBK > "$settings"
}
start() { "$WINE" "$exe" & kivora=$!; id=$(wait_for_window Kivora) || fail "no window"; sleep 2; }
stop() { press_escape "$id"; wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"; }

# 1. Built-in clip 17 (13.6 s, page 主持), with the default device switched mid-sound.
lame --quiet --decode "$here/../../assets/sounds/17.mp3" "$KIVORA_SESSION/reference.wav"
sox "$KIVORA_SESSION/reference.wav" -t raw -e signed -b 16 -r 48000 "$KIVORA_SESSION/reference.raw"
keep_broadcast_device "$fixed_device_id" "Out: Virtual Cable Input"
start
before=$(size_of "$KIVORA_AUDIO_OUT"); cable_before=$(size_of "$cable"); headset_before=$(size_of "$headset")
click_in "$id" 122 239
wait_until 10 loud_after "$KIVORA_AUDIO_OUT" "$before" || fail "the sound did not start on the default device"
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' /v DefaultOutput /d "$headset_id" /f >/dev/null 2>&1
wait_until 5 loud_after "$headset" "$headset_before" || fail "the playing sound did not move to the new default device"
wait_until 30 quiet_for_a_second "$cable" || fail "the cable's sound did not end"
"$WINE" reg delete 'HKCU\Software\Wine\Drivers\winealsa.drv' /v DefaultOutput /f >/dev/null 2>&1
stop
tail -c +$((cable_before + 1)) "$cable" > "$KIVORA_SESSION/cable_part.raw"
/usr/bin/python3 - "$KIVORA_SESSION/cable_part.raw" "$KIVORA_SESSION/reference.raw" <<'PY' || fail "the cable's file is not the whole clip"
import sys, numpy
heard = numpy.fromfile(sys.argv[1], dtype="<i2")[0::2].astype(numpy.int64)
reference = numpy.fromfile(sys.argv[2], dtype="<i2")[0::2].astype(numpy.int64)
first = lambda samples: int(numpy.argmax(numpy.abs(samples) > 64))
h, r = first(heard), first(reference)
assert h >= r, "the cable began with sound the clip does not start with"
part = heard[h - r:h - r + reference.size]
assert part.size == reference.size, f"the cable's file holds {part.size} of the clip's {reference.size} frames"
difference = part - reference
error = float(numpy.sqrt(numpy.sum(difference ** 2) / numpy.sum(reference ** 2)))
worst = int(numpy.max(numpy.abs(difference)))
print(f"cable against the reference decode: {reference.size} frames, relative error {error:.5f}, worst sample {worst}")
# Two resamplers took the clip to 48 kHz; a lost or repeated stretch would shift everything after it.
assert error < 0.005 and worst < 64, f"relative error {error:.5f}, worst sample difference {worst}"
PY

# 2. A broadcast device that is not there: a balloon names it, the control
# interface tells it (in /state, and on /events as device_lost or, for a client
# that came later, in its hello), and the default device plays on.
keep_broadcast_device "{0.0.0.00000000}.{DEADBEEF-0000-0000-0000-000000000000}" "CABLE Input"
port=47133; token=9b2e4d6f8a0c1e3b5d7f9a1c3e5b7d90
printf '[遥控]\r\n开启=1\r\n端口=%s\r\n令牌=%s\r\n' $port $token | iconv -f UTF-8 -t GBK >> "$settings"
start
python3 "$here/ws_events.py" $port $token "$KIVORA_SESSION/events" 60 & events_pid=$!
balloon_shown() { "$WINE" "$probe" --balloons 2>/dev/null | tr -d '\r' | grep -qF "直播输出设备 CABLE Input 未连接，声音只在默认设备上播放"; }
wait_until 10 balloon_shown || fail "no balloon said the broadcast device is missing (balloons: $("$WINE" "$probe" --balloons 2>/dev/null | tr -d '\r'))"
state_says_missing() {
  curl -s -m 5 -H "Authorization: Bearer $token" "http://127.0.0.1:$port/state" |
    python3 -c 'import json, sys; d = json.load(sys.stdin)["devices"]; sys.exit(d != [{"role": "broadcast", "device": "CABLE Input", "present": False}])'
}
wait_until 10 state_says_missing || fail "/state does not tell the missing broadcast device"
events_tell_missing() {
  python3 - "$KIVORA_SESSION/events" <<'PY'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    if not line.startswith(tuple("0123456789")): continue
    message = json.loads(line.split(" ", 1)[1])
    lost = {"role": "broadcast", "device": "CABLE Input", "present": False}
    if message.get("event") == "device_lost" and message.get("device") == "CABLE Input" and message.get("role") == "broadcast": sys.exit(0)
    if message.get("event") == "hello" and lost in message["state"].get("devices", []): sys.exit(0)
sys.exit(1)
PY
}
wait_until 10 events_tell_missing || fail "/events did not tell the missing broadcast device: $(cat "$KIVORA_SESSION/events")"
kill $events_pid 2>/dev/null
before=$(size_of "$KIVORA_AUDIO_OUT")
click_in "$id" 45 114
wait_until 10 loud_after "$KIVORA_AUDIO_OUT" "$before" || fail "with the broadcast device missing, the default device was silent"
stop
echo "a default-device switch mid-sound left the cable's file whole; a missing broadcast device was named in a balloon"
