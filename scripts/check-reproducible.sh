#!/usr/bin/env bash
# Builds the 32-bit release of setup.exe twice, each in a clean folder, and fails when
# the two images differ.
#   check-reproducible.sh WORK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:?usage: check-reproducible.sh WORK_DIR}
rm -rf "$work"
mkdir -p "$work"
for n in a b; do
  cmake -S "$root" -B "$work/$n" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" >"$work/$n.log" 2>&1
  cmake --build "$work/$n" --target setup >>"$work/$n.log" 2>&1 ||
    { cat "$work/$n.log"; exit 1; }
done
if cmp "$work/a/setup.exe" "$work/b/setup.exe"; then
  echo "reproducible: two clean builds give the same $(stat -c %s "$work/a/setup.exe") bytes" \
    "(sha256 $(sha256sum "$work/a/setup.exe" | cut -c1-16)...)"
  rm -rf "$work"
else
  echo "not reproducible: $work/a/setup.exe and $work/b/setup.exe differ"
  exit 1
fi
