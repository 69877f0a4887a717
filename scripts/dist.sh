#!/usr/bin/env bash
# Makes the release: dist/Kivora-<version>-x64.zip, holding the folder Kivora-<version>/
# with Kivora.exe (no debug information), the user guide and the licence, and beside
# the zip Kivora-<version>-x64.debug, the debug information for crash analysis.
# The same commit gives the same bytes: the entries carry the commit's time
# (SOURCE_DATE_EPOCH when set), fixed permissions, and come in a fixed order.
#   scripts/dist.sh <built Kivora.exe>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
version=$(head -n 1 "$root/VERSION")
name="Kivora-$version"
out="$root/dist"
stage="$out/$name"
rm -rf "$stage"; mkdir -p "$stage"

debug="$out/$name-x64.debug"
# objcopy stamps each image it writes with the time it ran: put back the linker's
# zero, and the checksum of the image as it then is, so the same input gives the
# same bytes. The debug file is settled first: the program's debug link holds its CRC.
settle_image() {
  /usr/bin/python3 - "$1" <<'PY'
import struct, sys
path = sys.argv[1]
image = bytearray(open(path, "rb").read())
pe = struct.unpack_from("<I", image, 0x3C)[0]
assert image[pe:pe + 4] == b"PE\0\0", "not a PE image"
struct.pack_into("<I", image, pe + 8, 0)  # TimeDateStamp in the COFF header
checksum_at = pe + 24 + 64                # CheckSum in the optional header
struct.pack_into("<I", image, checksum_at, 0)
total = 0
for i in range(0, len(image) - len(image) % 2, 2):
    total += image[i] | image[i + 1] << 8
    total = (total & 0xFFFF) + (total >> 16)
if len(image) % 2:
    total += image[-1]
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into("<I", image, checksum_at, ((total & 0xFFFF) + (total >> 16)) + len(image))
open(path, "wb").write(image)
PY
}
x86_64-w64-mingw32-objcopy --only-keep-debug "$exe" "$debug"
settle_image "$debug"
x86_64-w64-mingw32-objcopy --strip-all --add-gnu-debuglink="$debug" "$exe" "$stage/Kivora.exe"
settle_image "$stage/Kivora.exe"
# Windows users open these in Notepad: CRLF line ends, and UTF-8 marked as such.
for text in README.txt LICENSE.txt; do
  { printf '\xef\xbb\xbf'; sed 's/$/\r/' "$root/docs/release/$text"; } > "$stage/$text"
done

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
zip="$out/$name-x64.zip"
/usr/bin/python3 - "$out" "$name" "$zip" "$epoch" <<'PY'
import os, sys, time, zipfile
out, name, zip_path, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
# Zip times start in 1980 and carry no zone: the commit's time in UTC, to the even second.
stamp = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(zip_path + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    def add(arcname, data, mode):
        info = zipfile.ZipInfo(arcname, stamp)
        info.create_system = 0  # MS-DOS attributes: the same wherever the zip is made
        info.external_attr = mode
        info.compress_type = zipfile.ZIP_STORED if arcname.endswith("/") else zipfile.ZIP_DEFLATED
        archive.writestr(info, data)
    add(name + "/", b"", 0x10)
    for entry in sorted(os.listdir(os.path.join(out, name))):
        with open(os.path.join(out, name, entry), "rb") as f:
            add(f"{name}/{entry}", f.read(), 0x20)
os.replace(zip_path + ".part", zip_path)
PY
rm -rf "$stage"
echo "dist: $zip ($(stat -c %s "$zip") bytes), debug information in $debug"
