#!/usr/bin/env bash
# Refreshes docs/screenshots/components.png, the README's picture of the component page
# over the backdrop, from the demo's scripted walk-through (run under Xvfb).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
VELVOR_XVFB=1 bash scripts/demo.sh
mkdir -p docs/screenshots
# No timestamps in the file, so that an unchanged screen gives unchanged bytes.
convert build/win32/screenshots/01-components.png -strip docs/screenshots/components.png
echo "updated docs/screenshots/components.png"
