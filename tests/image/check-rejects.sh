#!/usr/bin/env bash
# The image check must fail on a bad image, and say each thing that is wrong.
#   check-rejects.sh check-image.sh bad_image.exe i386|x86-64
set -uo pipefail
out=$(bash "$1" "$2" "$3")
rc=$?
echo "$out"
[ $rc -ne 0 ] || { echo "the check passed a bad image"; exit 1; }
for want in "ASLR is off" "DEP is off" "imports shell32.dll" "no manifest asking" "no manifest declaring DPI" \
            "no manifest declaring UTF-8" \
            "no version information" "no icon"; do
  grep -q "$want" <<<"$out" || { echo "the check did not report: $want"; exit 1; }
done
echo "the check rejects the bad image for every reason"
