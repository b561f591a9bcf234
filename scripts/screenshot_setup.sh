#!/usr/bin/env bash
# Opens the setup window on a private Xvfb display and saves two pictures of it: as it opens
# (docs/setup_window.png) and after "Passo 1" and "Passo 2" with both marks shown
# (docs/setup_window_marks.png). The installation goes to a throw-away drive folder, and the
# registration list it leaves there is printed at the end.
source "$(dirname "$0")/x_session.sh"
(cd "$build_dir/dist" && exec ./setup_pulsaro_zentra) >"$work/setup.log" 2>&1 &
pids+=($!)
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
[ -n "$window" ] || { echo "the setup window did not appear" >&2; exit 1; }

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
press Command1   # Passo 1
await installed || { echo "Passo 1 did not run" >&2; exit 1; }
press Command6   # Passo 2
await registered || { echo "Passo 2 did not register the three controls" >&2; exit 1; }
await marks_painted || { echo "the marks did not appear" >&2; exit 1; }
echo "saved docs/setup_window_marks.png"

echo "registration list:"
sed "s|$PULSARO_DRIVE_C|c:|" "$list"
