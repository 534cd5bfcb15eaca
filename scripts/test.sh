#!/usr/bin/env bash
# Builds the program and every test, then runs them all (unit tests and end-to-end
# scenarios under Wine, the path helpers natively with the sanitizers).
# The last thing printed is ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
# Tests never open windows on the user's own display.
export VELVOR_XVFB=1
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32
