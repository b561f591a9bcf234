#!/usr/bin/env bash
# Opens the Windows setup program under Wine and saves two pictures of its window, as Wine draws
# it (frame included): as it opens (docs/setup_window_windows.png) and after "Passo 1" and
# "Passo 2" with both marks shown (docs/setup_window_windows_marks.png). The programs come from
# the Linux build's cross build (build/windows); Wine runs in the build's private prefix
# (build/wine-prefix, the one the Linux tests use; do not run this while they run), on a private
# Xvfb, and installs into a throw-away folder.
source "$(dirname "$0")/window_script.sh"
BUILD_DIR=$build_dir CMAKE_ARGS="-DPULSARO_WINDOWS=ON" \
  scripts/build.sh pulsaro_windows setup_element_boxes
dist=$repo/$build_dir/windows/dist
prefix=$repo/$build_dir/wine-prefix

bash scripts/wine_prefix.sh "$prefix" --start-server
at_exit+=("bash scripts/wine_prefix.sh '$prefix' --stop-server")
DISPLAY=":$(head -n1 "$prefix/display")"
export DISPLAY

mkdir -p "$work/drive"
(cd "$dist" && PULSARO_DRIVE_C="Z:${work//\//\\}\\drive" \
  exec bash "$repo/scripts/wine_prefix.sh" "$prefix" --run ./setup_pulsaro_zentra.exe) \
  >"$work/setup.log" 2>&1 &
pids+=($!)
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
[ -n "$window" ] || { echo "the setup window did not appear" >&2; exit 1; }

# Wine draws the frame inside the X window: a border as wide on every side, the caption above.
read -r width height < <(xdotool getwindowgeometry "$window" |
                         sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
read -r _ _ client_width client_height <<<"$(element_box client)"
client_left=$(((width - client_width) / 2))
client_top=$((height - client_height - client_left))

installed() { [ -f "$work/drive/pulsaro_zentra/MSCOMCTL.OCX" ]; }
# The second mark is painted a moment after its step ran; a mark has more than two colours.
read -r mark_left mark_top _ _ <<<"$(element_box Picture7)"
both_marks_painted() {
  snapshot setup_window_windows_marks.png >/dev/null
  import -window "$window" -crop "16x16+$((client_left + mark_left))+$((client_top + mark_top))" \
    -strip "ppm:$work/mark.ppm"
  [ "$(convert "$work/mark.ppm" -format '%k' info:)" -gt 2 ]
}

mkdir -p "$repo/docs"
snapshot setup_window_windows.png
press Command1   # Passo 1
await installed || { echo "Passo 1 did not run" >&2; exit 1; }
press Command6   # Passo 2
await both_marks_painted || { echo "the marks did not appear" >&2; exit 1; }
echo "saved docs/setup_window_windows_marks.png"
