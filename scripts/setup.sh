#!/usr/bin/env bash
# Installs everything Kivora needs to build and test on Debian 12: the mingw-w64
# cross compiler, Wine with 32-bit GStreamer (MCI needs it to open MP3s), Xvfb,
# a Chinese font and the zh_CN.UTF-8 locale (Wine takes code page 936 from it),
# and what the sound-clip generator and its tests use (espeak-ng, sox, lame, numpy).
# Cheap when everything is already there: one dpkg query and one locale check.
set -euo pipefail

packages=(
  cmake ninja-build g++-mingw-w64-i686 libz-mingw-w64-dev googletest dpkg-dev
  wine wine32 gstreamer1.0-plugins-good:i386 gstreamer1.0-plugins-base:i386
  xvfb xauth x11-utils fonts-wqy-microhei locales imagemagick xdotool sox
  python3 python3-numpy espeak-ng lame libsox-fmt-mp3
)

declare -A have=()
while read -r name arch status; do
  [ "$status" = "ii" ] || continue
  have["$name:$arch"]=1; have["$name"]=1
done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do [ -n "${have[$p]:-}" ] || missing+=("$p"); done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then dpkg --add-architecture i386; fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
