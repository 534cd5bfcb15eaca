#!/usr/bin/env bash
# Authenticode-signs a Windows image (SHA-256) with osslsigncode: the build's signed copy
# of setup.exe, and the signing check.
#   sign.sh IN.exe OUT.exe CERT KEY [TIMESTAMP_URL]
# CERT and KEY are PEM files (the certificate may be followed by its chain). When the key
# is encrypted, its password comes from the environment variable VELVOR_SIGN_PASSWORD and
# reaches osslsigncode through a pipe, never its command line. With TIMESTAMP_URL an
# RFC 3161 server countersigns, so that the signature outlives the certificate.
set -euo pipefail
usage="usage: sign.sh IN.exe OUT.exe CERT KEY [TIMESTAMP_URL]"
in=${1:?$usage} out=${2:?$usage} cert=${3:?$usage} key=${4:?$usage} timestamp=${5:-}
for f in "$in" "$cert" "$key"; do
  [ -f "$f" ] || { echo "sign.sh: no such file: $f" >&2; exit 1; }
done
command -v osslsigncode >/dev/null ||
  { echo "sign.sh: osslsigncode is missing (bash scripts/install-deps.sh installs it)" >&2; exit 1; }

args=(sign -h sha256 -n "Velvorine Install" -certs "$cert" -key "$key")
if grep -q ENCRYPTED "$key"; then
  [ -n "${VELVOR_SIGN_PASSWORD:-}" ] ||
    { echo "sign.sh: $key is encrypted: set its password in the environment variable VELVOR_SIGN_PASSWORD" >&2; exit 1; }
  args+=(-readpass /dev/fd/3)
fi
[ -z "$timestamp" ] || args+=(-ts "$timestamp")

mkdir -p "$(dirname "$out")"
rm -f "$out.tmp"
log=$(mktemp)
trap 'rm -f "$log" "$out.tmp"' EXIT
if ! osslsigncode "${args[@]}" -in "$in" -out "$out.tmp" </dev/null >"$log" 2>&1 \
     3< <(printf '%s' "${VELVOR_SIGN_PASSWORD:-}"); then
  cat "$log" >&2
  echo "sign.sh: osslsigncode could not sign $in" >&2
  exit 1
fi
mv "$out.tmp" "$out"
echo "sign.sh: signed $out"
