#!/usr/bin/env bash
# Installs everything Kivora needs to build and test on Debian 12, all of it 64-bit:
# the x86-64 mingw-w64 cross compiler, 64-bit Wine with the amd64 GStreamer plugins
# (MCI needs them to open MP3s), Xvfb, a Chinese font and the zh_CN.UTF-8 locale
# (Wine takes code page 936 from it), what the sound-clip generator and its tests use
# (espeak-ng, sox, lame, numpy), and clang with the host libpng for the native sanitizer
# and fuzzing build, and nlohmann-json (header-only; the remote control's JSON, for
# the program and the native build alike).
# No i386 package is needed: some machines cannot execute 32-bit code at all.
# Cheap when everything is already there: one dpkg query and one locale check.
# Each step either succeeds or says which step failed and why, then exits non-zero.
set -euo pipefail

packages=(
  cmake ninja-build g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest dpkg-dev nlohmann-json3-dev
  wine wine64 gstreamer1.0-plugins-good gstreamer1.0-plugins-base
  xvfb xauth x11-utils fonts-wqy-microhei locales imagemagick xdotool sox
  python3 python3-numpy espeak-ng lame libsox-fmt-mp3 clang libclang-rt-14-dev libpng-dev zlib1g-dev libx11-dev
)

step_who=setup
step_log=$(mktemp /tmp/kivora-setup.XXXXXX)
trap 'rm -f "$step_log"' EXIT
source "$(dirname "$0")/step.sh"


declare -A have=()
while read -r name arch status; do
  [ "$status" = "ii" ] || continue
  [ "$arch" = "amd64" ] || [ "$arch" = "all" ] || continue
  have["$name"]=1
done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do [ -n "${have[$p]:-}" ] || missing+=("$p"); done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  step "apt-get update" apt-get update -q
  step "installing packages (${missing[*]})" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  step "generating the zh_CN.UTF-8 locale (locale-gen)" locale-gen
fi

# Wine's 64-bit loader is what every test runs under; say plainly when it cannot run here.
if [ ! -x /usr/lib/wine/wine64 ]; then
  echo "setup: the 64-bit Wine loader /usr/lib/wine/wine64 is missing after installing wine64" >&2
  exit 1
fi
