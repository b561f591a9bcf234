#!/usr/bin/env bash
# Makes a key pair for signing updates of Pulsaro Zentra. See --help.
set -euo pipefail

usage() {
  cat <<'USAGE'
Usage: make_update_key.sh NAME

Makes a key pair for signing updates (ECDSA on the curve P-256):
  NAME.pem      the private key, readable by its owner only: it signs updates
                (sign_update.sh). Keep it secret and out of every repository.
  NAME.pub.pem  the public key, in the form the build takes it
                (cmake -DPULSARO_UPDATE_PUBLIC_KEYS=...). It may be published.
and prints the public key's fingerprint, as the updater's --version shows it.
Existing files are never overwritten.

Make two pairs and build every release with both public keys: sign with the first
and keep the second offline (a USB stick in a safe, not on any computer that is on
a network). Installed updaters then accept updates signed with either, so when the
first private key is lost or stolen, updates go on signed with the second.

Needs the openssl command (Debian package openssl).
USAGE
}

case ${1:-} in
  -h | --help) usage; exit 0 ;;
esac
if [ $# -ne 1 ] || [ -z "$1" ] || [[ $1 == -* ]]; then usage >&2; exit 2; fi
command -v openssl >/dev/null || { echo "make_update_key.sh: needs the openssl command" >&2; exit 1; }

private=$1.pem
public=$1.pub.pem
for file in "$private" "$public"; do
  if [ -e "$file" ]; then echo "make_update_key.sh: $file exists; nothing made" >&2; exit 1; fi
done
# Created readable by its owner only, never for a moment by anyone else.
(umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$private")
openssl pkey -in "$private" -pubout -out "$public"
fingerprint=$(openssl pkey -pubin -in "$public" -outform DER | sha256sum | cut -c1-16)
echo "private key: $private (readable by you only; keep it secret)"
echo "public key:  $public (for PULSARO_UPDATE_PUBLIC_KEYS)"
echo "fingerprint: sha256:$fingerprint"
