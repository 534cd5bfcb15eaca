#!/usr/bin/env bash
# Checks a built setup.exe: a Windows GUI image of the expected machine, with ASLR and
# DEP on (high-entropy ASLR too for 64-bit), an embedded manifest that asks for
# elevation, importing only system DLLs of the allowed set. Exits non-zero, saying why,
# otherwise.
#   check-image.sh setup.exe [i386|x86-64]
set -euo pipefail
image=${1:?usage: check-image.sh setup.exe [i386|x86-64]}
machine=${2:-i386}
allowed="kernel32.dll user32.dll gdi32.dll comdlg32.dll advapi32.dll msvcrt.dll"
fail=0
say() { echo "check-image: $*"; fail=1; }

case "$machine" in
  x86-64) objdump=x86_64-w64-mingw32-objdump ;;
  *) objdump=i686-w64-mingw32-objdump ;;
esac
command -v "$objdump" >/dev/null || objdump=objdump
[ -f "$image" ] || { echo "check-image: no such file: $image"; exit 1; }
headers=$("$objdump" -p "$image" 2>/dev/null) || { echo "check-image: not a PE image: $image"; exit 1; }
format=$("$objdump" -f "$image" | sed -n 's/.*file format //p')
case "$machine" in
  i386) [ "$format" = pei-i386 ] || say "expected a 32-bit x86 image, found '$format'" ;;
  x86-64) [ "$format" = pei-x86-64 ] || say "expected a 64-bit x86 image, found '$format'" ;;
esac
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || say "not a Windows GUI program"
flags=$((16#$(awk '/^DllCharacteristics/ {print $2}' <<<"$headers")))
(( flags & 0x40 )) || say "ASLR is off (no DYNAMIC_BASE in DllCharacteristics)"
(( flags & 0x100 )) || say "DEP is off (no NX_COMPAT in DllCharacteristics)"
if [ "$machine" = x86-64 ]; then
  (( flags & 0x20 )) || say "high-entropy ASLR is off (no HIGH_ENTROPY_VA)"
fi
"$objdump" -h "$image" | grep -q '\.reloc' || say "no relocations: ASLR cannot move the image"
grep -aq 'requireAdministrator' "$image" || say "no manifest asking for elevation"
dlls=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
[ -n "$dlls" ] || say "imports nothing (not a linked program?)"
for dll in $dlls; do
  grep -qw -- "$dll" <<<"$allowed" || say "imports $dll, which is not one of: $allowed"
done
[ $fail -eq 0 ] && printf 'check-image: %s: %s, GUI, DllCharacteristics 0x%x, imports: %s\n' \
  "$image" "$format" "$flags" "$(echo $dlls)"
exit $fail
