#!/usr/bin/env bash
# Checks that the release is reproducible: two clean clones of the commit checked
# out here, built apart in folders of different names, give byte-identical zips.
# The dependency prefix (build/deps) is copied into both rather than built twice:
# what is checked is Kivora's own build.
#   scripts/check-reproducible.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build-target-libs.sh" "$root/build/deps"
work=$(mktemp -d /tmp/kivora-repro.XXXXXX)
# Kept when the two differ, to see where.
trap '[ "${kept:-}" = 1 ] || rm -rf "$work"' EXIT
commit=$(git -C "$root" rev-parse HEAD)
for copy in first second-copy; do
  git clone -q --no-local "$root" "$work/$copy"
  git -C "$work/$copy" checkout -q "$commit"
  mkdir -p "$work/$copy/build"
  cp -a "$root/build/deps" "$work/$copy/build/deps"
  (cd "$work/$copy" && ./kivora dist >"$work/$copy.log" 2>&1) || { tail -n 20 "$work/$copy.log" >&2; echo "reproducible: the $copy build failed" >&2; exit 1; }
done
version=$(head -n 1 "$root/VERSION")
for file in "Kivora-$version-x64.zip" "Kivora-$version-x64.debug"; do
  a=$(sha256sum < "$work/first/dist/$file"); b=$(sha256sum < "$work/second-copy/dist/$file")
  [ "$a" = "$b" ] || { kept=1; echo "reproducible: $file differs between two builds of $commit (both kept in $work)" >&2; exit 1; }
  echo "reproducible: $file ${a%% *}"
done
echo "1 passed, 0 failed"
