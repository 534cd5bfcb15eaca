#!/usr/bin/env bash
# Refreshes the README's pictures in docs/screenshots/ from the demo's scripted
# walk-through (run under Xvfb): one picture of each page over the backdrop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
VELVOR_XVFB=1 bash scripts/demo.sh
rm -rf docs/screenshots
mkdir -p docs/screenshots
shots=build/win32/screenshots
probe=0; bash scripts/runs-32bit.sh >/dev/null || probe=$?
[ "$probe" -ne 1 ] || shots=build/win64/screenshots
for png in "$shots"/*.png; do
  name=$(basename "$png" .png)
  # No timestamps in the files, so that an unchanged screen gives unchanged bytes.
  convert "$png" -strip "docs/screenshots/${name#*-}.png"
done
echo "updated docs/screenshots/: $(ls docs/screenshots | tr '\n' ' ')"
