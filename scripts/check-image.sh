#!/usr/bin/env bash
# Checks a built setup.exe: a Windows GUI image of the expected machine, with ASLR and
# DEP on (high-entropy ASLR too for 64-bit), an embedded manifest that asks for
# elevation and declares DPI awareness, importing only system DLLs of the allowed set,
# with the vendor's version information (of VERSION, when given) and an icon in 16, 32,
# 48 and 256 pixels as its first icon. Exits non-zero, saying why, otherwise. A signed image passes as well.
#   check-image.sh setup.exe [i386|x86-64] [VERSION]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
image=${1:?usage: check-image.sh setup.exe [i386|x86-64] [VERSION]}
machine=${2:-i386}
version=${3:-}
# comdlg32 is loaded at the first Browse: imported, it would lengthen the start-up.
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll"
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
grep -aEq '<dpiAware[^>]*>true</dpiAware>' "$image" ||
  say "no manifest declaring DPI awareness (the title would be stretched blurry)"
# UTF-8 as the ANSI code page: without it, a folder named outside the legacy code page
# can only be refused.
grep -aEq '<activeCodePage[^>]*>UTF-8</activeCodePage>' "$image" ||
  say "no manifest declaring UTF-8 as the code page"
# The program is built without exceptions; the C++ runtime's exception machinery (pulled
# in, say, by a guarded local static) would more than triple its size.
grep -aq 'terminate called' "$image" && say "carries the C++ runtime's exception machinery"
dlls=$(grep -E '^[[:space:]]*DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
[ -n "$dlls" ] || say "imports nothing (not a linked program?)"
for dll in $dlls; do
  grep -qw -- "$dll" <<<"$allowed" || say "imports $dll, which is not one of: $allowed"
done
# Identity: what Explorer's properties and the elevation prompt show.
# Debian's own interpreter, for which python3-pefile is installed (another python3 earlier
# in PATH may not have it).
resources=$(/usr/bin/python3 "$here/pe-resources.py" "$image" 2>&1) || say "unreadable resources: $resources"
fact() { sed -n "s/^$1=//p" <<<"$resources"; }
if ! grep -q '^version\.' <<<"$resources"; then
  say "no version information"
else
  want() {
    [ "$(fact "version.$1")" = "$2" ] || say "version information: $1 is '$(fact "version.$1")', expected '$2'"
  }
  want CompanyName Brontavia
  want FileDescription "Velvorine Install"
  want ProductName Velvorine
  want OriginalFilename setup.exe
  [ -n "$(fact version.LegalCopyright)" ] || say "version information: no LegalCopyright"
  grep -qx 0409/1252 <<<"$(fact version.translation)" ||
    say "version information: no English (0409) table in code page 1252"
  if [ -n "$version" ]; then
    words=$version
    for _ in 1 2 3; do [ "$(tr -cd . <<<"$words")" = ... ] || words=$words.0; done
    want FileVersion "$version"
    want ProductVersion "$version"
    [ "$(fact version.fixed.file)" = "$words" ] && [ "$(fact version.fixed.product)" = "$words" ] ||
      say "version information: fixed versions $(fact version.fixed.file)/$(fact version.fixed.product), expected $words"
  else
    [ -n "$(fact version.FileVersion)" ] || say "version information: no FileVersion"
  fi
fi
if [ -z "$(fact icon.group)" ]; then
  say "no icon"
else
  while read -r fault; do [ -z "$fault" ] || say "icon: $fault"; done <<<"$(fact icon.fault)"
  sizes=$(fact icon.image | sort -n | tr '\n' ' ')
  [ "$sizes" = "16x16 32x32 48x48 256x256 " ] ||
    say "icon: the first icon has the images ${sizes:-(none)}, expected 16x16 32x32 48x48 256x256"
fi

[ $fail -eq 0 ] && printf 'check-image: %s: %s, GUI, DllCharacteristics 0x%x, imports: %s; %s %s, icon %s\n' \
  "$image" "$format" "$flags" "$(echo $dlls)" "$(fact version.ProductName)" \
  "$(fact version.FileVersion)" "$(echo $sizes)"
exit $fail
