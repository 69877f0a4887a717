#!/usr/bin/env bash
# The settings dialog's section "输出" with the devices Wine lists: two ALSA file
# devices named in winealsa's registry value. The list offers "(无)" and the device
# that is not the default by its name; a choice made with the keyboard is kept by
# ID in section 输出 and shown again after a restart; a kept device that is gone is
# shown by its kept name as "(未连接)", and cancelling writes nothing.
#   second_output_dialog.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/second_output_dialog.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
settings="$HOME/Documents/Kivora/设置.ini"
cable_id=$fixed_device_id
list_output_devices headphones "Virtual Cable Input"

# The list box of sections has the focus as the dialog opens; Down moves to 输出.
open_output_section() {
  click_in "$1" 200 8; sleep 0.3
  xdotool key alt+space; sleep 0.6
  xdotool key --delay 80 Down Down Down Down Down Return
  wait_for_window "Kivora 设置" >/dev/null || fail "设置... did not open the dialog"
  sleep 0.5; xdotool key Down; sleep 0.3
}
# The shown page's first combo box (the device list): its entries and chosen index, "<entry>|<entry>|... [<index>]".
device_list() { "$WINE" "$probe" --controls "Kivora 设置" 2>/dev/null | tr -d '\r' | awk -F'\t' '$1 == "ComboBox" && $3 == 1 { print $2; exit }'; }
chosen_entry() {
  device_list | awk '{ index_ = $NF; gsub(/[][]/, "", index_); sub(/ \[[0-9-]+\]$/, ""); split($0, entry, "|"); print entry[index_ + 1] }'
}
start() { "$WINE" "$exe" & kivora=$!; id=$(wait_for_window Kivora) || fail "no window"; }
stop() { press_escape "$id"; wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"; }

start
open_output_section "$id"
screenshot "$KIVORA_SESSION/output-section.png"
list=$(device_list)
case $list in
  "(无)|"*"Out: Virtual Cable Input"*) ;;
  *) fail "the list does not offer (无) and the cable: $list" ;;
esac
[ "$(chosen_entry)" = "(无)" ] || fail "a first start has $(chosen_entry) chosen"
# Tab goes from the section list to the shown page's list; Down walks it to the cable.
xdotool key Tab; sleep 0.3
for _ in 1 2 3 4 5; do
  [ "$(chosen_entry)" = "Out: Virtual Cable Input" ] && break
  xdotool key Down; sleep 0.3
done
xdotool key Return; sleep 0.8
stored=$(iconv -f GBK -t UTF-8 "$settings" | tr -d '\r')
grep -qxF "第二设备=$cable_id" <<<"$stored" && grep -qxF "第二设备名称=Out: Virtual Cable Input" <<<"$stored" ||
  fail "section 输出 does not hold the cable: $(echo $stored)"
stop

start
open_output_section "$id"
[ "$(chosen_entry)" = "Out: Virtual Cable Input" ] || fail "the kept cable is not chosen after a restart: $(device_list)"
xdotool key Escape; sleep 0.5
stop

sed -i "s/33221100-5544-7766-8899-AABBCCDDEEFF/DEADBEEF-0000-0000-0000-000000000000/" "$settings"
python3 - "$settings" <<'PY'
import sys
path = sys.argv[1]
text = open(path, 'rb').read().decode('gbk').replace('Out: Virtual Cable Input', 'Gone Cable')
open(path, 'wb').write(text.encode('gbk'))
PY
before=$(md5sum < "$settings")
start
open_output_section "$id"
screenshot "$KIVORA_SESSION/output-gone.png"
[ "$(chosen_entry)" = "Gone Cable (未连接)" ] || fail "a gone device is not shown by its kept name as (未连接): $(device_list)"
xdotool key Escape; sleep 0.5
[ "$(md5sum < "$settings")" = "$before" ] || fail "cancelling the dialog changed the settings file"
stop
echo "second output: listed, chosen, kept as $cable_id, shown after a restart and as (未连接) once gone"
