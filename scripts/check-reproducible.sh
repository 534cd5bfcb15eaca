#!/usr/bin/env bash
# Builds the 32-bit release of setup.exe and its media zip twice, each in a clean folder
# with its own copy of the payload made at another time, and fails when the two images
# or the two zips differ.
#   check-reproducible.sh WORK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:?usage: check-reproducible.sh WORK_DIR}
rm -rf "$work"
mkdir -p "$work"
for n in a b; do
  # A fresh copy: its files carry this moment's times, which must not reach the zip.
  cp -r "$root/payload/demo" "$work/payload-$n"
  cmake -S "$root" -B "$work/$n" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DVELVOR_PAYLOAD="$work/payload-$n" \
    >"$work/$n.log" 2>&1
  cmake --build "$work/$n" --target setup dist >>"$work/$n.log" 2>&1 ||
    { cat "$work/$n.log"; exit 1; }
  [ $n = b ] || sleep 2  # the zip's times have a two-second grain
done
zip=$(cd "$work/a" && ls dist/Velvorine-Setup-*-win32.zip)
status=0
for f in setup.exe "$zip"; do
  if cmp "$work/a/$f" "$work/b/$f"; then
    echo "reproducible: two clean builds give the same $f, $(stat -c %s "$work/a/$f") bytes" \
      "(sha256 $(sha256sum "$work/a/$f" | cut -c1-16)...)"
  else
    echo "not reproducible: $work/a/$f and $work/b/$f differ"
    status=1
  fi
done
[ $status -ne 0 ] || rm -rf "$work"
exit $status
