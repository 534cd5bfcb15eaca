#!/usr/bin/env bash
# Installs the cross toolchain, Wine with the platform's own fonts, Xvfb (with the X tools
# that see its windows), and the tools of the release checks (ImageMagick and DejaVu for
# the artwork, python3 with pefile for the image's resources, osslsigncode and openssl for
# signing) from Debian's packages when any is missing, and
# makes the Japanese locale that the double-byte code-page tests run Wine under.
# Safe to run again: it does nothing when everything is already there.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# locales for ja_JP.UTF-8 (Wine then takes code page 932); the IPA Gothic font so that
# screenshots taken under it show the Japanese names. fonts-wine: "MS Sans Serif", Tahoma,
# Marlett and the rest, which scripts/wine-run.sh puts into each prefix's Fonts folder.
for p in g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 fonts-wine \
         xvfb xauth x11-utils googletest clang libclang-rt-14-dev \
         cmake ninja-build imagemagick fonts-dejavu-core python3 python3-pefile osslsigncode openssl \
         locales fonts-ipafont-gothic; do
  have "$p" || need+=("$p")
done

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

if [ ${#need[@]} -gt 0 ]; then
  echo "install-deps: installing ${need[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Generated through /etc/locale.gen, so that a later locale-gen keeps it.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "install-deps: generating the ja_JP.UTF-8 locale" >&2
  if grep -q '^# *ja_JP\.UTF-8 UTF-8' /etc/locale.gen; then
    $SUDO sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
