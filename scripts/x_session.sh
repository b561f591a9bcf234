# Sourced by the scripts that drive the programs' windows on Linux: builds the distribution, then
# gives them a private Xvfb display and a drive folder in the throw-away folder ($work) of
# window_script.sh.
source "$(dirname "${BASH_SOURCE[0]}")/window_script.sh"
BUILD_DIR=$build_dir scripts/build.sh distribution setup_element_boxes

# Xvfb picks a free display itself and writes its number to the descriptor it is given.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export PULSARO_DRIVE_C="$work/drive"
export QT_QPA_PLATFORM=xcb
