#!/usr/bin/env bash
# Publishes a signed update of Pulsaro Zentra on the product's FTP server. See --help.
set -euo pipefail

# The product's own server, account and remote folder (core/texts.h).
server=ftp://ftp.pulsarozentra.example
user=pulsarozentra
folder=/pulsarozentra.example/mdb-database/_pulsaro
name=pulsaro_zentra.exe

usage() {
  cat <<USAGE
Usage: publish_update.sh [--server URL] [--user NAME] [--folder PATH] PUBLIC_KEY FILE

Publishes FILE and its signature FILE.sig (sign_update.sh) as the update that
installed updaters fetch: $name and $name.sig in the remote folder.
  1. checks FILE.sig against PUBLIC_KEY, and uploads nothing unless it holds;
  2. uploads both under temporary names, downloads them back and compares them
     with FILE and FILE.sig, removing them if the server did not store them whole;
  3. renames both into place, so that no updater ever downloads a half-uploaded file;
  4. downloads both back from their final names and checks them again against
     PUBLIC_KEY, then says "published".
Any failure is said, and the exit status is 1.

  --server URL   the FTP server (default $server)
  --user NAME    the account (default $user); its password comes from
                 PULSARO_FTP_PASSWORD, else it is the product's
  --folder PATH  the remote folder, absolute on the server (default $folder)

Needs the curl and openssl commands (Debian packages curl and openssl).
USAGE
}

fail() {
  echo "publish_update.sh: $*" >&2
  exit 1
}

while [ $# -gt 0 ]; do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --server | --user | --folder)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      declare "${1#--}=$2"
      shift 2 ;;
    -*) usage >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -ne 2 ]; then usage >&2; exit 2; fi
public_key=$1
file=$2
password=${PULSARO_FTP_PASSWORD:-kx7rw2pq5d}
for tool in curl openssl; do
  command -v "$tool" >/dev/null || fail "needs the $tool command"
done
[ -f "$file" ] && [ -f "$file.sig" ] || fail "$file and $file.sig must both be files"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=/${folder#/}
folder=${folder%/}
# The remote path starts at the server's root, whatever folder the login lands in.
base=${server%/}/%2F${folder#/}
suffix=.uploading-$$
# The account goes to curl on its standard input, never on a command line others can read.
ftp() {
  local quoted=${password//\\/\\\\}
  printf 'user = "%s:%s"\n' "$user" "${quoted//\"/\\\"}" |
    curl --silent --show-error --config - "$@"
}
# Commands sent in one connection, after which the folder's listing is thrown away.
ftp_commands() {
  local args=()
  for command in "$@"; do args+=(--quote "$command"); done
  ftp --list-only --output /dev/null "${args[@]}" "$base/"
}
matches() {  # FILE SIGNATURE: whether the signature signs FILE with PUBLIC_KEY
  openssl dgst -sha256 -verify "$public_key" -signature "$2" "$1" >/dev/null 2>&1
}
fetch() {  # REMOTE_NAME LOCAL_FILE
  ftp --output "$2" "$base/$1"
}
remove_uploads() {
  ftp_commands "DELE $folder/$name$suffix" "DELE $folder/$name.sig$suffix" || true
}

matches "$file" "$file.sig" || fail "$file.sig does not sign $file with $public_key; nothing uploaded"

echo "uploading $file and $file.sig as $folder/$name$suffix and $name.sig$suffix"
ftp --ftp-create-dirs --upload-file "$file" "$base/$name$suffix" ||
  fail "the upload of $file failed"
ftp --upload-file "$file.sig" "$base/$name.sig$suffix" || {
  remove_uploads
  fail "the upload of $file.sig failed; the published update is unchanged"
}
fetch "$name$suffix" "$work/uploaded" && fetch "$name.sig$suffix" "$work/uploaded.sig" || {
  remove_uploads
  fail "the uploads cannot be downloaded back; the published update is unchanged"
}
cmp -s "$file" "$work/uploaded" && cmp -s "$file.sig" "$work/uploaded.sig" || {
  remove_uploads
  fail "the upload was corrupted: the server stored other bytes than were sent; the" \
       "published update is unchanged"
}

echo "renaming them to $folder/$name and $name.sig"
ftp_commands "RNFR $folder/$name$suffix" "RNTO $folder/$name" \
             "RNFR $folder/$name.sig$suffix" "RNTO $folder/$name.sig" ||
  fail "renaming the uploads into place failed; check $folder on the server"

fetch "$name" "$work/published" && fetch "$name.sig" "$work/published.sig" ||
  fail "the published files cannot be downloaded back"
cmp -s "$file" "$work/published" && cmp -s "$file.sig" "$work/published.sig" ||
  fail "the published files differ from $file and $file.sig"
matches "$work/published" "$work/published.sig" ||
  fail "the published signature does not sign the published file with $public_key"
echo "published"
