#!/usr/bin/env bash
# Builds the installation media (setup.exe beside plugin\, samples\ and help\) and runs
# setup.exe under Wine: in a window when a display is set, otherwise as a scripted
# walk-through under Xvfb that saves a screenshot of each page (and of the first page at
# 192 DPI).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
# The 32-bit build, unless this machine is shown unable to execute 32-bit programs.
arch=win32
probe=0; bash scripts/runs-32bit.sh >/dev/null || probe=$?
[ "$probe" -ne 1 ] || arch=win64
cmake --preset $arch >/dev/null
cmake --build --preset $arch --target media walkthrough
build="$root/build/$arch"
run=("$root/scripts/wine-run.sh" --build "$build" --arch $arch --)

if [ -n "${DISPLAY:-}" ] && [ -z "${VELVOR_XVFB:-}" ]; then
  echo "Running $build/media/setup.exe under Wine (prefix: $build/wine-$arch/prefix)"
  cd "$build/media"
  "${run[@]}" setup.exe
  exit 0
fi

shots="$build/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
# Run from a copy under C:\ in the prefix: the Browse dialog then shows that folder, not
# the build machine's own.
"${run[@]}" "$build/tests/e2e/walkthrough.exe" "$build/media/setup.exe" "$shots" \
  'C:\Velvorine Setup' >"$build/walkthrough.log" 2>&1 || { cat "$build/walkthrough.log"; exit 1; }
"$root/scripts/wine-run.sh" --build "$build" --stop
if command -v convert >/dev/null; then
  for bmp in "$shots"/*.bmp; do convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"; done
fi
echo "Walk-through done; screenshots of each page:"
ls -1 "$shots" | sed "s|^|  $shots/|"
