# Sourced by the scripts that drive the programs' windows: builds the distribution, then gives
# them a throw-away folder ($work) holding the drive, and a private Xvfb display. Every process
# whose id is added to `pids` is ended, and the folder removed, when the script exits.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)
build_dir=${BUILD_DIR:-build}
scripts/install_deps.sh --for-tests
BUILD_DIR=$build_dir scripts/build.sh distribution

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the descriptor it is given.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export PULSARO_DRIVE_C="$work/drive"
export QT_QPA_PLATFORM=xcb
