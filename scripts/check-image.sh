#!/usr/bin/env bash
# Checks a built setup.exe: a Windows GUI image of the expected machine that imports
# only system DLLs of the allowed set. Exits non-zero, saying why, otherwise.
#   check-image.sh setup.exe [i386|x86-64]
set -euo pipefail
image=${1:?usage: check-image.sh setup.exe [i386|x86-64]}
machine=${2:-i386}
allowed="kernel32.dll user32.dll gdi32.dll comdlg32.dll advapi32.dll msvcrt.dll"
fail=0
say() { echo "check-image: $*"; fail=1; }

[ -f "$image" ] || { echo "check-image: no such file: $image"; exit 1; }
headers=$(objdump -p "$image" 2>/dev/null) || { echo "check-image: not a PE image: $image"; exit 1; }
format=$(objdump -f "$image" | sed -n 's/.*file format //p')
case "$machine" in
  i386) [ "$format" = pei-i386 ] || say "expected a 32-bit x86 image, found '$format'" ;;
  x86-64) [ "$format" = pei-x86-64 ] || say "expected a 64-bit x86 image, found '$format'" ;;
esac
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || say "not a Windows GUI program"
dlls=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
[ -n "$dlls" ] || say "imports nothing (not a linked program?)"
for dll in $dlls; do
  grep -qw -- "$dll" <<<"$allowed" || say "imports $dll, which is not one of: $allowed"
done
[ $fail -eq 0 ] && echo "check-image: $image: $format, GUI, imports: $(echo $dlls)"
exit $fail
