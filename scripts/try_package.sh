#!/usr/bin/env bash
# Makes the packages, installs the .deb with apt as a user would, and checks the installed setup:
# started by its launcher on a private Xvfb display with a throw-away drive folder, "Passo 1"
# must install the tree. Then removes the package and whatever apt brought with it, and checks
# that the installed packages are the ones there were before. Needs root (or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh --for-tests
deb=$(scripts/make_packages.sh | grep '\.deb$')
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}'; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
installed >"$work/before"

echo "== apt install $deb"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "$deb" >"$work/apt.log"
installed >"$work/with"
echo "brought: $(comm -13 "$work/before" "$work/with" | tr '\n' ' ')"

echo "== the installed setup, started by its launcher from another folder"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY QT_QPA_PLATFORM=xcb PULSARO_DRIVE_C=$work/drive
(cd / && exec pulsaro-zentra-setup) >"$work/setup.log" 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
xdotool mousemove --window "$window" 76 136 click 1  # the centre of "Passo 1"
tree=$PULSARO_DRIVE_C/pulsaro_zentra
for _ in $(seq 100); do [ -f "$tree/_Pulsaro/pulsaro_zentra_update.exe" ] && break; sleep 0.1; done
(cd "$PULSARO_DRIVE_C" && find . -type f | sort)
status=0
for file in AAA_QV.xls MSWINSCK.OCX MSINET.OCX MSCOMCTL.OCX Pulsaro_zentra.exe pulsaro_tol.txt \
            pulsaro_cfg_web2.txt buy.wav alarm.wav QUORVIN/coordinate_minipad.txt \
            _Pulsaro/pulsaro_zentra_update.exe; do
  cmp -s "$tree/$file" "/usr/libexec/pulsaro-zentra/${file##*/}" || { echo "missing or different: $file"; status=1; }
done
[ "$status" -eq 0 ] && echo "Passo 1 installed the eleven files from /usr/libexec/pulsaro-zentra"

echo "== apt remove"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get remove --purge -y -qq pulsaro-zentra \
  >>"$work/apt.log"
brought=$(comm -13 "$work/before" "$work/with" | grep -vx pulsaro-zentra || true)
if [ -n "$brought" ]; then
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get remove --purge -y -qq $brought \
    >>"$work/apt.log"
fi
installed >"$work/after"
if cmp -s "$work/before" "$work/after"; then
  echo "the installed packages are the ones there were before"
else
  echo "the installed packages differ:" >&2
  diff "$work/before" "$work/after" >&2 || true
  status=1
fi
exit "$status"
