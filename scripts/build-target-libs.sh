#!/usr/bin/env bash
# Builds libpng, libjpeg and civetweb (the remote control's HTTP and WebSocket
# server) for 64-bit Windows from Debian's source packages into a prefix inside the
# build folder, and puts nlohmann-json's headers (Debian's nlohmann-json3-dev)
# beside them. Debian packages none of these libraries for mingw.
# Usage: build-target-libs.sh <prefix>
set -euo pipefail
prefix=$(realpath -m "$1")
target=x86_64-w64-mingw32
# The marker names the target and what the prefix holds: a prefix built for another
# target (an earlier 32-bit build), or before civetweb joined it, is built again.
marker="$target png jpeg civetweb json"
[ "$(cat "$prefix/.complete" 2>/dev/null)" = "$marker" ] && exit 0

root=$(cd "$(dirname "$0")/.." && pwd)
work="$prefix.src"
step_who=deps
step_log="$prefix.log"
source "$root/scripts/step.sh"
rm -rf "$work" "$prefix"; mkdir -p "$work"


if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  echo "deps: enabling Debian source packages"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-src.sources
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/debian-src.list
  fi
  step "apt-get update (for source packages)" apt-get update -q
fi

cd "$work"
# The release pin matters: the newest security version's source may be missing.
step "downloading the libpng, libjpeg and civetweb sources" \
  apt-get source -q --download-only libpng1.6/bookworm libjpeg-turbo/bookworm civetweb/bookworm
for tarball in libpng1.6_*.orig.tar.* libjpeg-turbo_*.orig.tar.*; do step "unpacking $tarball" tar xf "$tarball"; done
# civetweb with Debian's patches applied, as Debian builds it.
step "unpacking civetweb" dpkg-source -x civetweb_*.dsc civetweb

toolchain="$root/cmake/mingw-x86_64.cmake"
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix")

step "configuring libpng" cmake -S libpng-1.6.*/ -B png-build "${common[@]}" -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
      -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY=/usr/$target/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$target/include
step "building libpng" cmake --build png-build --target install

step "configuring libjpeg" cmake -S libjpeg-turbo-*/ -B jpeg-build "${common[@]}" -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
step "building libjpeg" cmake --build jpeg-build --target install

# One C file: HTTP and WebSocket only. No TLS (the server listens on the loopback
# address alone), no CGI, no files served, no log files written.
civetweb_flags=(-O2 -ffile-prefix-map="$work"=. -DNO_SSL -DNO_CGI -DNO_FILES -DNO_CACHING -DUSE_WEBSOCKET -Icivetweb/include)
step "building civetweb" "$target-gcc-posix" "${civetweb_flags[@]}" -c civetweb/src/civetweb.c -o civetweb.o
step "archiving civetweb" "$target-ar" rcs "$prefix/lib/libcivetweb.a" civetweb.o
install -m 644 civetweb/include/civetweb.h "$prefix/include/"
mkdir -p "$prefix/share/civetweb" && install -m 644 civetweb/LICENSE.md "$prefix/share/civetweb/"
# nlohmann-json is header-only: its headers are taken from the host's package.
cp -r /usr/include/nlohmann "$prefix/include/"

cd "$root"; rm -rf "$work" "$step_log"
echo "$marker" > "$prefix/.complete"
echo "deps: libpng, libjpeg, civetweb and nlohmann-json for $target installed in $prefix"
