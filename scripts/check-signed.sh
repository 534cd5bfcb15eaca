#!/usr/bin/env bash
# Signs the built setup.exe as a vendor's build does (scripts/sign.sh), with a throwaway
# self-signed code-signing certificate made here, and checks the result: the signature
# verifies (SHA-256) and a changed byte breaks it, the signed image passes the image
# check, removing the signature gives back exactly the unsigned bytes, and media holding
# the signed setup.exe install (the walk-through).
#   check-signed.sh BUILD_DIR ARCH MACHINE VERSION setup.exe walkthrough.exe PAYLOAD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: check-signed.sh BUILD_DIR ARCH MACHINE VERSION setup.exe walkthrough.exe PAYLOAD_DIR"
[ $# -eq 7 ] || { echo "$usage" >&2; exit 2; }
build=$1 arch=$2 machine=$3 version=$4 setup=$5 walkthrough=$6 payload=$7
work="$build/signed-check"
rm -rf "$work"
mkdir -p "$work/media"
fail() { echo "check-signed: $*"; exit 1; }

# The key is encrypted, so that the password's way through the environment is used.
VELVOR_SIGN_PASSWORD=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
export VELVOR_SIGN_PASSWORD
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=Brontavia throwaway test signing" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -passout env:VELVOR_SIGN_PASSWORD -keyout "$work/key.pem" -out "$work/cert.pem" \
  >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; fail "openssl could not make a certificate"; }

signed="$work/media/setup.exe"
bash "$root/scripts/sign.sh" "$setup" "$signed" "$work/cert.pem" "$work/key.pem"

osslsigncode verify -CAfile "$work/cert.pem" -in "$signed" </dev/null >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "the signature does not verify"; }
grep -qi 'digest algorithm *: *sha256' "$work/verify.log" ||
  { cat "$work/verify.log"; fail "the signature's digest is not SHA-256"; }
# The verification must be able to fail: one byte of the code changed breaks it.
cp "$signed" "$work/tampered.exe"
byte=$(od -An -tu1 -j1024 -N1 "$work/tampered.exe" | tr -d ' ')
printf "\\x$(printf %02x $(( 255 - byte )))" |
  dd of="$work/tampered.exe" bs=1 seek=1024 conv=notrunc status=none
if osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" </dev/null >"$work/tampered.log" 2>&1; then
  fail "a signed image with a changed byte still verifies"
fi
echo "check-signed: the signature verifies (SHA-256); with one byte changed it does not"

bash "$root/scripts/check-image.sh" "$signed" "$machine" "$version"

osslsigncode remove-signature -in "$signed" -out "$work/unsigned.exe" </dev/null >"$work/remove.log" 2>&1 ||
  { cat "$work/remove.log"; fail "osslsigncode could not remove the signature"; }
cmp "$work/unsigned.exe" "$setup" || fail "without its signature the image differs from the unsigned one"
echo "check-signed: without its signature the image is the unsigned one, byte for byte"

for folder in plugin samples help; do cp -r "$payload/$folder" "$work/media/"; done
exec "$root/scripts/wine-run.sh" --build "$build" --arch "$arch" -- \
  "$walkthrough" "$signed" "$work/screenshots"
