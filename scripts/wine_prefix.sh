#!/usr/bin/env bash
# Makes DIR a private 64-bit Wine prefix for tests and tools, so that nothing lands in ~/.wine or
# the home folder; quick when DIR is already complete.
#
#   scripts/wine_prefix.sh DIR                  create DIR unless it is complete
#   scripts/wine_prefix.sh DIR --start-server   create DIR, then keep a wineserver warm for it
#                                               and start a private Xvfb for its windows
#   scripts/wine_prefix.sh DIR --run PROGRAM [ARGUMENT...]
#                                               run a Windows program in DIR, on that Xvfb
#   scripts/wine_prefix.sh DIR --stop-server    end that wineserver, everything it runs and
#                                               the Xvfb
#
# A test driver that starts many Windows programs keeps one server warm: each program then
# joins it instead of starting a server and Wine's services of its own. The server and the
# services must be started with their output on /dev/null: they inherit the descriptors of the
# program that starts them, and a driver that reads a test's output until the end (ctest does)
# would wait as long as they run. By hand that is
#   WINEPREFIX=DIR wineserver -p >/dev/null 2>&1
#   WINEPREFIX=DIR wine cmd /c exit </dev/null >/dev/null 2>&1   # starts the services
# and the server, with everything Wine runs in DIR, ends with
#   WINEPREFIX=DIR wineserver -k
#
# Wine refuses a prefix that another user owns; root may use one that root owns.
set -euo pipefail

usage() {
  echo "usage: $0 DIR [--start-server | --stop-server | --run PROGRAM [ARGUMENT...]]" >&2
  exit 2
}
if [ $# -lt 1 ]; then usage; fi
dir=$(realpath -m -- "$1")
action=${2:-create}
if [ "$action" != --run ] && [ $# -gt 2 ]; then usage; fi
note="$dir/.pulsaro-prefix"
display_file="$dir/display"
xvfb_pid_file="$dir/xvfb.pid"

command -v wine >/dev/null || { echo "wine is not installed" >&2; exit 1; }

# Everything Wine writes stays in DIR: its home and desktop folders included.
export WINEPREFIX=$dir WINEARCH=win64 WINEDEBUG=-all
export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config XDG_DATA_HOME=$dir/home/.local/share \
       XDG_CACHE_HOME=$dir/home/.cache
# No .NET or browser engine to install (their prompts wait for a click) and no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

complete() { [ "$(cat "$note" 2>/dev/null)" = complete ]; }

fonts_dir() {
  local wine_bin
  wine_bin=$(dirname "$(readlink -f "$(command -v wine)")")
  realpath -m "$wine_bin/../share/wine/fonts"
}

create() {
  if [ -d "$dir" ] && [ -n "$(ls -A "$dir")" ] && [ ! -f "$note" ]; then
    echo "$dir holds files and is not a prefix made here; refusing to use it" >&2
    exit 1
  fi
  local log="$dir/creation.log" attempt
  # Now and then Wine fails at once while it makes a prefix ("could not load kernel32.dll",
  # seen once on a busy machine with a second prefix being made beside it): start again from an
  # empty folder, and give up only when that fails twice more.
  for attempt in 1 2 3; do
    mkdir -p "$HOME"
    echo incomplete >"$note"
    wine wineboot --init >"$log" 2>&1 && break
    if [ "$attempt" = 3 ]; then
      cat "$log" >&2
      exit 1
    fi
    wineserver -k 2>/dev/null || true
    find "$dir" -mindepth 1 -maxdepth 1 ! -name "$(basename "$log")" -exec rm -rf {} +
  done
  # Without Wine's own bitmap fonts in the prefix, "MS Sans Serif" falls back to another face.
  local fonts
  fonts=$(fonts_dir)
  if ! compgen -G "$fonts/*.fon" >/dev/null; then
    echo "Wine's fonts are not in $fonts (Debian package fonts-wine)" >&2
    exit 1
  fi
  cp -f "$fonts"/* "$dir/drive_c/windows/Fonts/"
  # Without a window manager, managed windows make every message box return about 2 s late.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1
  # A crash ends the program instead of waiting in the debugger's dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$log" 2>&1
  wineserver -w
  echo complete >"$note"
}

# The windows of the prefix's programs go to an X server of its own, whatever display the caller
# has: Xvfb picks a free display and writes its number to the descriptor it is given. Without
# Xvfb the programs run without a display, and tests that need one skip.
start_display() {
  command -v Xvfb >/dev/null || return 0
  if display_running; then return 0; fi
  rm -f "$display_file"
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$display_file" </dev/null >/dev/null 2>&1 &
  echo $! >"$xvfb_pid_file"
  for _ in $(seq 100); do [ -s "$display_file" ] && return 0; sleep 0.1; done
  echo "Xvfb did not start" >&2
  return 1
}

use_display() {
  if [ -s "$display_file" ]; then
    DISPLAY=":$(head -n1 "$display_file")"
    export DISPLAY
  else
    unset DISPLAY
  fi
}

# Only the Xvfb this script started: the process must still be the one it recorded.
display_running() {
  local pid
  pid=$(cat "$xvfb_pid_file" 2>/dev/null) || return 1
  [ -s "$display_file" ] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null
}

stop_display() {
  if display_running; then kill "$(cat "$xvfb_pid_file")"; fi
  rm -f "$xvfb_pid_file" "$display_file"
}

case $action in
  create) complete || create ;;
  --start-server)
    complete || create
    start_display
    use_display
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  --run)
    [ $# -ge 3 ] || usage
    complete || { echo "$dir is not a complete prefix: run --start-server first" >&2; exit 1; }
    use_display
    shift 2
    exec wine "$@"
    ;;
  # wineserver -k fails when no server runs; that one is ended already.
  --stop-server)
    wineserver -k 2>/dev/null || true
    stop_display
    ;;
  *) usage ;;
esac
