#!/usr/bin/env bash
# Signs an update of Pulsaro Zentra. See --help.
set -euo pipefail

usage() {
  cat <<'USAGE'
Usage: sign_update.sh PRIVATE_KEY FILE

Signs FILE with PRIVATE_KEY (made by make_update_key.sh): writes FILE.sig, the
ECDSA signature over the SHA-256 of FILE's bytes in DER, exactly as
  openssl dgst -sha256 -sign PRIVATE_KEY -out FILE.sig FILE
writes it, then checks it against the key's public half. An existing FILE.sig is
replaced only by a signature that checks. Publish FILE and FILE.sig together
(publish_update.sh); installed updaters accept FILE only with its signature.

Needs the openssl command (Debian package openssl).
USAGE
}

case ${1:-} in
  -h | --help) usage; exit 0 ;;
esac
if [ $# -ne 2 ]; then usage >&2; exit 2; fi
command -v openssl >/dev/null || { echo "sign_update.sh: needs the openssl command" >&2; exit 1; }
key=$1
file=$2
[ -f "$file" ] || { echo "sign_update.sh: $file is not a file" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl dgst -sha256 -sign "$key" -out "$work/signature" "$file"
openssl pkey -in "$key" -pubout -out "$work/public.pem"
if ! openssl dgst -sha256 -verify "$work/public.pem" -signature "$work/signature" "$file" \
    >/dev/null; then
  echo "sign_update.sh: the signature made does not check; $file.sig not written" >&2
  exit 1
fi
cp "$work/signature" "$file.sig.partial"
mv -f "$file.sig.partial" "$file.sig"
fingerprint=$(openssl pkey -pubin -in "$work/public.pem" -outform DER | sha256sum | cut -c1-16)
echo "signed: $file.sig (key sha256:$fingerprint)"
