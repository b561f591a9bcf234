# shellcheck shell=bash
# Sourced by the scripts that drive the setup window: installs what they need and gives them the
# repository ($repo), the build folder ($build_dir), a throw-away folder ($work), and ways to
# click and picture the window ($window) by the names of its elements. When the script exits,
# every process whose id is added to `pids` is ended, every command added to `at_exit` is run,
# and the folder is removed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)
build_dir=${BUILD_DIR:-build}
scripts/install_deps.sh --for-tests

work=$(mktemp -d)
pids=()
at_exit=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for command in "${at_exit[@]}"; do eval "$command" || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Where the window's client area starts within its X window (Wine draws the frame inside it).
client_left=0
client_top=0

# An element's box in the client area in pixels, "left top width height", from the table the
# window is built from; "client" is the client area itself. Needs the setup_element_boxes target.
element_box() {
  "$repo/$build_dir/pulsaro_setup/setup_element_boxes" |
    awk -v name="$1" '$1 == name { print $2, $3, $4, $5; found = 1 } END { exit !found }'
}

# Clicks the centre of an element.
press() {
  local box left top width height
  box=$(element_box "$1") || { echo "the setup window has no element $1" >&2; exit 1; }
  read -r left top width height <<<"$box"
  xdotool mousemove --window "$window" \
    $((client_left + left + width / 2)) $((client_top + top + height / 2)) click 1
}

# Saves a picture of the window as docs/$1; without time stamps, the same window makes the same
# file.
snapshot() {
  sleep 0.3  # lets the window finish painting
  import -window "$window" -strip "png:$repo/docs/$1"
  echo "saved docs/$1"
}

# Waits up to ten seconds for a condition given as a command.
await() {
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  return 1
}
