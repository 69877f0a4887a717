#!/usr/bin/env bash
# The talk key held while sounds play, as a voice chat sees it. The stand-in, in
# front, reads F13's state every millisecond (GetAsyncKeyState) and writes each
# change with the performance counter's time; /events tells when each sound
# started and ended on the same clock. F13 goes down the lead before a sound
# starts and comes up the tail after the last one ends; a sound that cuts another
# off keeps the one hold; the user's own tap of the key mid-sound (through X) is
# pressed back at once and the sound plays on, as it is when the focus moves; and
# Kivora lets the key up as it exits, whatever was playing.
#   push_to_talk.sh <Kivora.exe> <window_probe.exe> <stand_in.exe>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/push_to_talk.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; standin=$4
settings="$HOME/Documents/Kivora/设置.ini"
port=47131; token=0c4e9a7b5d3f1e2a6b8c0d9e7f5a3b1c
base="http://127.0.0.1:$port"
out=$KIVORA_SESSION
lead_ms=200; tail_ms=600
vk_f13=124

mkdir -p "$HOME/Documents/Kivora"
sox -n -r 44100 -c 2 "$HOME/Desktop/tone.wav" synth 1.5 sine 440 vol 0.5
sox -n -r 44100 -c 2 "$HOME/Desktop/long.wav" synth 8 sine 330 vol 0.5
"$WINE" winepath -w "$HOME/Desktop/tone.wav" > "$out/tone-path" 2>/dev/null
"$WINE" winepath -w "$HOME/Desktop/long.wav" > "$out/long-path" 2>/dev/null
printf '[音效]\r\n按钮1=%s\r\n按钮2=%s\r\n[输出]\r\n按住键=F13\r\n提前=%s\r\n延后=%s\r\n[遥控]\r\n开启=1\r\n端口=%s\r\n令牌=%s\r\n' \
  "$(tr -d '\r\n' < "$out/tone-path")" "$(tr -d '\r\n' < "$out/long-path")" $lead_ms $tail_ms $port $token |
  iconv -f UTF-8 -t GBK > "$settings"

post() { curl -s -m 20 -o "$out/body" -w '%{http_code}' -X POST -H "Authorization: Bearer $token" "$base$1"; }
has_event() { [ -f "$out/events" ] && python3 - "$out/events" "$1" <<'PY'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    parts = line.split(" ", 1)
    if len(parts) == 2 and parts[1].startswith("{"):
        e = json.loads(parts[1])
        if eval(sys.argv[2]): sys.exit(0)
sys.exit(1)
PY
}
event_seen() { wait_until "${2:-15}" has_event "$1" || fail "no event where $1"; }
# The key's state as the stand-in last saw it: down or up.
key_state() { local last; last=$(grep -E '^(down|up) ' "$out/keys" 2>/dev/null | tail -n 1 | cut -d ' ' -f 1); echo "${last:-up}"; }
key_is() { [ "$(key_state)" = "$1" ]; }
changes() { grep -cE '^(down|up) ' "$out/keys" 2>/dev/null || echo 0; }
# Checks the key's changes against the events in Python: $1 is the check, with
# keys = [(state, time)], inputs = [(down or up, time, injected, extra info)] as the
# stand-in's keyboard hook saw them, and events = [json] at hand; times are 100 ns ticks.
timeline_holds() {
  python3 - "$out/keys" "$out/events" "$1" <<'PY'
import json, sys
lines = [l.split() for l in open(sys.argv[1]).read().replace("\r", "").splitlines()]
keys = [(l[0], int(l[1])) for l in lines if len(l) == 2 and l[0] in ("down", "up")]
inputs = [(l[1], int(l[2]), l[3] == "1", int(l[4])) for l in lines if len(l) == 5 and l[0] == "input"]
mark = 0x4B565054  # what Kivora puts in the extra info of the keys it sends
events = [json.loads(l.split(" ", 1)[1]) for l in open(sys.argv[2], encoding="utf-8") if " {" in l]
ms = 10000
def first(kind, name, after=0):
    return next(e["at"] for e in events if e["event"] == kind and e.get("name") == name and e["at"] > after)
def changes_between(a, b):
    return [k for k in keys if a < k[1] < b]
ok = eval("(" + sys.argv[3] + ")")
if not ok:
    print("keys:", keys, file=sys.stderr)
    print("inputs:", inputs, file=sys.stderr)
    print("events:", [(e["event"], e.get("name"), e.get("at")) for e in events], file=sys.stderr)
sys.exit(0 if ok else 1)
PY
}
loud_since() { awk -v r="$(audio_rms_after "$1")" 'BEGIN { exit !(r > 0.01) }'; }

# The voice chat in front, watching F13.
"$WINE" "$standin" "watch:$vk_f13" > "$out/keys" & standin_pid=$!
standin_id=$(wait_for_window Stand-in) || fail "no stand-in window"
"$WINE" "$exe" & kivora=$!
id=$(wait_for_window Kivora) || fail "no window"
listening() { ss -ltn | grep -q "127.0.0.1:$port "; }
wait_until 20 listening || fail "the control server did not start"
python3 "$here/ws_events.py" $port $token "$out/events" 600 & events_pid=$!
event_seen 'e["event"] == "hello"'
xdotool windowactivate --sync "$standin_id" 2>/dev/null; xdotool windowfocus --sync "$standin_id"
key_is up || fail "F13 is down before any sound"

# 1. One sound: down the lead before it starts, up the tail after it ends, in one hold.
# Wine's GetAsyncKeyState answers "up" from a cache for up to 50 ms, so a reader may
# see the key go down that much late: the lead is checked to within 80 ms.
[ "$(post /play/按钮1)" = 200 ] || fail "POST /play/按钮1: $(cat "$out/body")"
event_seen 'e["event"] == "ended" and e["name"] == "按钮1"'
wait_until 10 key_is up || fail "F13 stayed down after the sound and its tail"
timeline_holds '
len(keys) == 2 and keys[0][0] == "down" and keys[1][0] == "up" and
'"$((lead_ms - 80))"' * ms <= first("played", "按钮1") - keys[0][1] <= '"$((lead_ms + 250))"' * ms and
'"$((tail_ms - 50))"' * ms <= keys[1][1] - first("ended", "按钮1") <= '"$((tail_ms + 400))"' * ms' ||
  fail "F13 was not down $lead_ms ms before the sound and up $tail_ms ms after it, in one hold"
measured=$(python3 - "$out/keys" "$out/events" <<'PY'
import json, sys
keys = [int(l.split()[1]) for l in open(sys.argv[1]).read().replace("\r", "").splitlines() if l.split()[0] in ("down", "up")][:2]
events = [json.loads(l.split(" ", 1)[1]) for l in open(sys.argv[2], encoding="utf-8") if " {" in l]
at = {e["event"]: e["at"] for e in reversed(events) if e.get("name") == "按钮1"}
print(f"{(at['played'] - keys[0]) / 10000:.0f} ms ahead, up {(keys[1] - at['ended']) / 10000:.0f} ms after")
PY
)

# 2. A long sound; the user taps F13 mid-sound: it is down again at once, and the sound plays on.
[ "$(post /play/按钮2)" = 200 ] || fail "POST /play/按钮2: $(cat "$out/body")"
event_seen 'e["event"] == "played" and e["name"] == "按钮2"'
wait_until 10 key_is down || fail "F13 did not go down for the second sound"
held_from=$(changes)
xdotool keydown F13; sleep 0.3; xdotool keyup F13
# The user's release reached the system (not injected), and Kivora's press (injected,
# with its mark) followed it.
wait_until 10 timeline_holds 'any(i[0] == "up" and not i[2] for i in inputs) and
  any(i[0] == "down" and i[2] and i[3] == mark and i[1] > max(t for s, t, j, x in inputs if s == "up" and not j) for i in inputs)' 2>/dev/null ||
  { timeline_holds False; fail "F13 was not pressed again after the user let it go"; }
user_up=$(grep -E '^input up [0-9]+ 0 ' "$out/keys" | head -n 1 | cut -d ' ' -f 3)
pressed_back=$(grep -E '^input down [0-9]+ 1 ' "$out/keys" | awk -v t="$user_up" '$3 > t { print $3; exit }')
wait_until 10 key_is down || fail "F13 was not down again after the user's tap"
# A second on, the key is still down and the sound still heard (written to the device
# from then on).
sleep 1
key_is down || fail "F13 did not stay down after the user's tap"
from=$(audio_size)
wait_until 10 loud_since "$from" || fail "the sound stopped when the user let the talk key go"
has_event 'e["event"] in ("ended", "cut_off") and e["name"] == "按钮2"' && fail "the user's tap ended the sound"

# 3. Another sound cuts the long one off: the hold goes on, then ends after the tail.
[ "$(post /play/按钮1)" = 200 ] || fail "POST /play/按钮1 over 按钮2"
event_seen 'e["event"] == "cut_off" and e["name"] == "按钮2"'
second_end='first("ended", "按钮1", first("cut_off", "按钮2"))'
wait_until 15 timeline_holds "$second_end > 0" 2>/dev/null || fail "the second 按钮1 did not end"
wait_until 10 key_is up || fail "F13 stayed down after the last sound's tail"
# Between the long sound's start and the last one's end the key came up only at the
# tap, if the stand-in's reading fell in the moment before it was pressed back.
timeline_holds '
[k[0] for k in changes_between(first("played", "按钮2"), '"$second_end"')] in (["up", "down"], []) and
keys[-1][0] == "up" and keys[-1][1] > '"$second_end" ||
  fail "F13 came up between the sounds other than at the user's tap"
[ "$held_from" = 3 ] || fail "the stand-in saw $held_from changes, not 3, before the tap"

# 4. The focus moves to Kivora mid-sound (Wine then takes the keys' state from X,
# where F13 is up): the key is pressed back. Then Kivora exits while the sound plays:
# it lets the key up itself, and the key stays up.
[ "$(post /play/按钮2)" = 200 ] || fail "POST /play/按钮2 before exit"
wait_until 10 key_is down || fail "F13 did not go down before exit"
inputs_before=$(grep -c '^input ' "$out/keys")
click_in "$id" 200 8
wait_until 10 timeline_holds 'len(inputs) > '"$inputs_before"' and any(i[0] == "down" and i[2] for i in inputs['"$inputs_before"':])' 2>/dev/null ||
  fail "F13 was not pressed back after the focus moved"
wait_until 10 key_is down || fail "F13 was not down after the focus moved"
sleep 0.3; xdotool key Escape
wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"
wait_until 10 key_is up || fail "F13 stayed down after Kivora exited"
timeline_holds 'inputs[-1][0] == "up" and inputs[-1][2] and inputs[-1][3] == mark' ||
  fail "Kivora did not let F13 up as it exited"
kill $events_pid $standin_pid 2>/dev/null
echo "push to talk (lead $lead_ms ms, tail $tail_ms ms): F13 down $measured;" \
  "pressed back $(( (pressed_back - user_up) / 10000 )) ms after the user let it go and after a focus change; up at exit"
