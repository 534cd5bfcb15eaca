#!/usr/bin/env bash
# Builds the media zip, unpacks it into a fresh folder and walks through a default
# install with the setup.exe found there.
#   check-dist.sh BUILD_DIR ARCH
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: check-dist.sh BUILD_DIR ARCH}" && pwd)
arch=${2:?usage: check-dist.sh BUILD_DIR ARCH}
cmake --build "$build" --target dist >"$build/dist.log" 2>&1 || { cat "$build/dist.log"; exit 1; }
zip=$(ls "$build"/dist/Velvorine-Setup-*-"$arch".zip)
unpacked="$build/dist-unpacked"
rm -rf "$unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
setup=$(ls "$unpacked"/*/setup.exe)
echo "unpacked $(basename "$zip") into $unpacked"
exec "$root/scripts/wine-run.sh" --build "$build" --arch "$arch" -- \
  "$build/tests/e2e/walkthrough.exe" "$setup" "$build/screenshots-dist"
