#!/usr/bin/env bash
# Opens the setup window on a private Xvfb display and saves two pictures of it: as it opens
# (docs/setup_window.png) and after "Passo 1" and "Passo 2" with both marks shown
# (docs/setup_window_marks.png). The installation goes to a throw-away drive folder, and the
# registration list it leaves there is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
build_dir=${BUILD_DIR:-build}
scripts/install_deps.sh
BUILD_DIR=$build_dir scripts/build.sh distribution

work=$(mktemp -d)
xvfb_pid=""
setup_pid=""
cleanup() {
  [ -n "$setup_pid" ] && kill "$setup_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the descriptor it is given.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

export PULSARO_DRIVE_C="$work/drive"
export QT_QPA_PLATFORM=xcb
(cd "$build_dir/dist" && exec ./setup_pulsaro_zentra) >"$work/setup.log" 2>&1 &
setup_pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
[ -n "$window" ] || { echo "the setup window did not appear" >&2; exit 1; }

snapshot() {
  sleep 0.3  # lets the window finish painting
  import -window "$window" -strip "png:$repo/docs/$1"  # no time stamps: same window, same file
  echo "saved docs/$1"
}
# Clicks the centre of a button given by its box in the window, in pixels.
press() {
  xdotool mousemove --window "$window" $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 1
}

# Waits up to five seconds for a condition given as a command.
await() {
  for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done
  return 1
}
installed() { [ -d "$PULSARO_DRIVE_C/pulsaro_zentra" ]; }
list="$PULSARO_DRIVE_C/windows/system32/pulsaro_registered_controls.txt"
registered() { [ -f "$list" ] && [ "$(wc -l <"$list")" -ge 3 ]; }
# The marks are painted a moment after the steps ran.
marks_painted() {
  snapshot setup_window_marks.png >/dev/null
  ! cmp -s "$repo/docs/setup_window.png" "$repo/docs/setup_window_marks.png"
}

mkdir -p "$repo/docs"
snapshot setup_window.png
press 16 112 121 49   # Passo 1
await installed || { echo "Passo 1 did not run" >&2; exit 1; }
press 16 168 121 49   # Passo 2
await registered || { echo "Passo 2 did not register the three controls" >&2; exit 1; }
await marks_painted || { echo "the marks did not appear" >&2; exit 1; }
echo "saved docs/setup_window_marks.png"

echo "registration list:"
sed "s|$PULSARO_DRIVE_C|c:|" "$list"
