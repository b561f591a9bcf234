#!/usr/bin/env bash
# Shows the update end to end on a private Xvfb display and a throw-away drive folder:
# the setup's "Passo 1" installs the application and the updater, then the installed updater
# runs twice against a loopback FTP server: once with the server up (the application is
# replaced, the completion message is shown) and once with it down (the old application stays,
# the failure message is shown). The script starts and stops its own display and server.
source "$(dirname "$0")/x_session.sh"
app="$PULSARO_DRIVE_C/pulsaro_zentra/Pulsaro_zentra.exe"
updater="$PULSARO_DRIVE_C/pulsaro_zentra/_Pulsaro/pulsaro_zentra_update.exe"

echo "== Passo 1 installs the application and the updater"
(cd "$build_dir/dist" && exec ./setup_pulsaro_zentra) >"$work/setup.log" 2>&1 &
setup_pid=$!
pids+=($setup_pid)
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
press Command1  # "Passo 1"
for _ in $(seq 100); do [ -x "$updater" ] && break; sleep 0.1; done
[ -x "$updater" ] || { echo "Passo 1 did not install the updater" >&2; exit 1; }
kill "$setup_pid"
echo "installed: $(sha256sum <"$app" | cut -c1-16)…  Pulsaro_zentra.exe"

# The new version on the server: the same program with a version line appended.
remote="$work/server/pulsarozentra.example/mdb-database/_pulsaro"
mkdir -p "$remote"
{ cat "$app"; echo "version 2"; } >"$remote/pulsaro_zentra.exe"
echo "on the server: $(sha256sum <"$remote/pulsaro_zentra.exe" | cut -c1-16)…"

# Runs the installed updater, saves a picture of its message as docs/$1, answers the message
# with Enter and reports what happened.
run_updater() {
  "$updater" 2>"$work/update.log" &
  local pid=$!
  pids+=($pid)
  local box
  box=$(timeout 30 xdotool search --sync --onlyvisible --name '^pulsaro_update$' | head -n1)
  sleep 0.3  # lets the box finish painting
  import -window "$box" -strip "png:$repo/docs/$1"
  echo "the message box: docs/$1"
  while kill -0 "$pid" 2>/dev/null; do
    xdotool key --window "$box" Return 2>/dev/null || true
    sleep 0.3
  done
  local status=0
  wait "$pid" || status=$?
  echo "message box answered; exit status $status"
  sed 's/^/  stderr: /' "$work/update.log" | grep -v QStandardPaths || true
  echo "installed: $(sha256sum <"$app" | cut -c1-16)…"
}

echo "== update with the server up"
# The server runs until its standard input closes: this script holds the other end open.
mkfifo "$work/server_input"
/usr/bin/python3 tests/support/ftp_server.py --root "$work/server" <"$work/server_input" >"$work/port" &
server_pid=$!
pids+=($server_pid)
exec 5>"$work/server_input"
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cut -d' ' -f2 "$work/port")
export PULSARO_UPDATE_URL="ftp://127.0.0.1:$port"
run_updater update_completed.png

echo "== update with the server down"
exec 5>&-
wait "$server_pid" 2>/dev/null || true
echo "restoring version 1 first"
cp "$build_dir/dist/Pulsaro_zentra.exe" "$app"
echo "installed: $(sha256sum <"$app" | cut -c1-16)…"
run_updater update_failed.png
