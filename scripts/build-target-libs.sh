#!/usr/bin/env bash
# Builds libpng and libjpeg for 32-bit Windows from Debian's source packages into
# a prefix inside the build folder. Debian packages neither library for mingw.
# Usage: build-target-libs.sh <prefix>
set -euo pipefail
prefix=$(realpath -m "$1")
[ -f "$prefix/.complete" ] && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
work="$prefix.src"
rm -rf "$work" "$prefix"; mkdir -p "$work"

if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  echo "deps: enabling Debian source packages"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-src.sources
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/debian-src.list
  fi
  apt-get update -q
fi

cd "$work"
# The release pin matters: the newest security version's source may be missing.
apt-get source -q --download-only libpng1.6/bookworm libjpeg-turbo/bookworm
for tarball in libpng1.6_*.orig.tar.* libjpeg-turbo_*.orig.tar.*; do tar xf "$tarball"; done

toolchain="$root/cmake/mingw-i686.cmake"
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix")

cmake -S libpng-1.6.*/ -B png-build "${common[@]}" -DPNG_SHARED=OFF -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
      -DZLIB_LIBRARY=/usr/i686-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/i686-w64-mingw32/include >/dev/null
cmake --build png-build --target install >/dev/null

cmake -S libjpeg-turbo-*/ -B jpeg-build "${common[@]}" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >/dev/null
cmake --build jpeg-build --target install >/dev/null

cd "$root"; rm -rf "$work"
touch "$prefix/.complete"
echo "deps: libpng and libjpeg installed in $prefix"
