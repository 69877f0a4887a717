#!/usr/bin/env bash
# Builds the native Linux sanitizer and fuzzing build of the code that needs no
# window system (tests/native) into build/native, with the host's clang.
#   scripts/native-build.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/build/native"}
mkdir -p "$out"
if [ ! -f "$out/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root/tests/native" -B "$out" -G Ninja >"$out/configure.log" 2>&1 ||
    { echo "native build: configuring failed:" >&2; tail -n 25 "$out/configure.log" >&2; exit 1; }
fi
cmake --build "$out"
