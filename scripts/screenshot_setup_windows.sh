#!/usr/bin/env bash
# Opens the Windows setup program under Wine and saves two pictures of its window, as Wine draws
# it (frame included): as it opens (docs/setup_window_windows.png) and after "Passo 1" and
# "Passo 2" with both marks shown (docs/setup_window_windows_marks.png). The programs come from
# the Linux build's cross build (build/windows); Wine runs in the build's private prefix
# (build/wine-prefix, the one the Linux tests use; do not run this while they run), on a private
# Xvfb, and installs into a throw-away folder.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build_dir=${BUILD_DIR:-build}
scripts/install_deps.sh
scripts/install_windows_deps.sh
BUILD_DIR=$build_dir CMAKE_ARGS="-DPULSARO_WINDOWS=ON" scripts/build.sh pulsaro_windows
dist=$repo/$build_dir/windows/dist
prefix=$repo/$build_dir/wine-prefix

work=$(mktemp -d)
setup_pid=
cleanup() {
  [ -z "$setup_pid" ] || kill "$setup_pid" 2>/dev/null || true
  bash scripts/wine_prefix.sh "$prefix" --stop-server
  rm -rf "$work"
}
trap cleanup EXIT
bash scripts/wine_prefix.sh "$prefix" --start-server
DISPLAY=":$(head -n1 "$prefix/display")"
export DISPLAY

mkdir -p "$work/drive"
(cd "$dist" && PULSARO_DRIVE_C="Z:${work//\//\\}\\drive" \
  exec bash "$repo/scripts/wine_prefix.sh" "$prefix" --run ./setup_pulsaro_zentra.exe) \
  >"$work/setup.log" 2>&1 &
setup_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
[ -n "$window" ] || { echo "the setup window did not appear" >&2; exit 1; }

# Wine draws the frame inside the X window: a border as wide on every side, the caption above.
read -r width height < <(xdotool getwindowgeometry "$window" |
                         sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
border=$(((width - 357) / 2))
top=$((height - 397 - border))
# Clicks the centre of a button given by its box in the client area, in pixels.
press() {
  xdotool mousemove --window "$window" $((border + $1 + $3 / 2)) $((top + $2 + $4 / 2)) click 1
}
snapshot() {
  sleep 0.3  # lets the window finish painting
  import -window "$window" -strip "png:$repo/docs/$1"
  echo "saved docs/$1"
}
await() {
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  return 1
}
installed() { [ -f "$work/drive/pulsaro_zentra/MSCOMCTL.OCX" ]; }
# The second mark is painted a moment after its step ran.
both_marks_painted() {
  snapshot setup_window_windows_marks.png >/dev/null
  import -window "$window" -crop 16x16+$((border + 272))+$((top + 176)) -strip "ppm:$work/mark.ppm"
  [ "$(convert "$work/mark.ppm" -format '%k' info:)" -gt 2 ]
}

mkdir -p "$repo/docs"
snapshot setup_window_windows.png
press 16 112 121 49   # Passo 1
await installed || { echo "Passo 1 did not run" >&2; exit 1; }
press 16 168 121 49   # Passo 2
await both_marks_painted || { echo "the marks did not appear" >&2; exit 1; }
echo "saved docs/setup_window_windows_marks.png"
