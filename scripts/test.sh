#!/usr/bin/env bash
# Builds the program and every test for 32- and 64-bit Windows, then runs them all:
# unit tests and end-to-end scenarios under Wine (the 64-bit ones as one test of the
# 32-bit run), the end-to-end scenarios again with Wine's heap checking, the image,
# signing, artwork and reproducibility checks, and the path helpers natively with the
# sanitizers.
# The last lines printed: the fault-injection test's own figures, one line naming what did
# not run on this machine and why (or that everything ran), and ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
# Tests never open windows on the user's own display.
export VELVOR_XVFB=1
cmake --preset win64 >/dev/null
cmake --build --preset win64
cmake --preset win32 -DVELVOR_WIN64_BUILD="$root/build/win64" >/dev/null
cmake --build --preset win32
log="$root/build/ctest.log"
rm -f "$root"/build/win*/Testing/Temporary/LastTest.log "$root"/build/win*/junit.xml
set +e
ctest --preset win32 --output-junit "$root/build/win32/junit.xml" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
set -e
# The scale of the fault-injection test (run by whichever build could run it), what did
# not run, then ctest's verdict again as the closing line.
echo
cat "$root"/build/win*/Testing/Temporary/LastTest.log 2>/dev/null | grep -a -m 1 '^fault injection:' || true
python3 scripts/not-run.py "$root/build/win32" "$root/build/win64"
grep -a -E '^[0-9]+% tests passed' "$log" | tail -n 1
exit "$status"
