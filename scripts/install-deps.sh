#!/usr/bin/env bash
# Installs the cross toolchain, Wine and Xvfb (with the X tools that see its windows), and
# the tools of the release checks (ImageMagick and DejaVu for the artwork, python3,
# osslsigncode and openssl for signing) from Debian's packages when any is missing.
# Safe to run again: it does nothing when everything is already there.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 \
         xvfb xauth x11-utils googletest clang libclang-rt-14-dev \
         cmake ninja-build imagemagick fonts-dejavu-core python3 osslsigncode openssl; do
  have "$p" || need+=("$p")
done

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "install-deps: installing ${need[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
