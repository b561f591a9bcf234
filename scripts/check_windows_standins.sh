#!/usr/bin/env bash
# Builds the Windows stand-ins with mingw-w64 into BUILD_DIR (default: build-win) and checks them
# under Wine, in the build's private prefix and on a private Xvfb display: first their
# cross-built tests through ctest, then from a shell as the setup and a person use them:
# regsvr32 on a Z: path and, through cmd, on a c:\ path; the application's window and marker.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-win}
scripts/install_windows_deps.sh

cmake -S distribution/windows -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
ninja -C "$build" -j2 >/dev/null
build=$(realpath "$build")
dist=$build/dist
prefix=$build/wine-prefix
on_c=$prefix/drive_c/pulsaro_check

work=$(mktemp -d)
pids=()
cleanup() {
  scripts/wine_prefix.sh "$prefix" --stop-server
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work" "$on_c"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the descriptor it is given.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
display=$(head -n1 "$work/display")
export DISPLAY=":$display"

ctest --test-dir "$build" --output-on-failure

scripts/wine_prefix.sh "$prefix" --start-server
export WINEPREFIX=$prefix WINEDEBUG=-all HOME=$prefix/home XDG_CONFIG_HOME=$prefix/home/.config \
       XDG_DATA_HOME=$prefix/home/.local/share XDG_CACHE_HOME=$prefix/home/.cache

passed=0
failed=0
# check DESCRIPTION COMMAND...: the command's success is the check's.
check() {
  local description=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    passed=$((passed + 1))
    echo "ok      $description"
  else
    failed=$((failed + 1))
    echo "FAILED  $description"
    sed 's/^/        /' "$work/out"
  fi
}
windows_path() { local path=$1; printf 'Z:%s\n' "${path//\//\\}"; }
fails() { ! "$@"; }
server_key() { printf 'HKCU\\Software\\Classes\\CLSID\\%s\\InprocServer32\n' "$1"; }
registered_as() { wine reg query "$(server_key "$1")" | grep -qF "REG_SZ    $2"; }

winsck_id='{0A050457-FA11-4DBA-824F-F0C5FACEC438}'
winsck=$(windows_path "$dist/MSWINSCK.OCX")
check "regsvr32 registers MSWINSCK.OCX" wine regsvr32 "$winsck"
check "its InprocServer32 is its path" registered_as "$winsck_id" "$winsck"
check "regsvr32 /u unregisters it" wine regsvr32 /u "$winsck"
check "its class id is gone" fails wine reg query "$(server_key "$winsck_id")"

inet_id='{E568302E-582F-4F27-B8AF-7474F0D34126}'
mkdir -p "$on_c"
cp "$dist/MSINET.OCX" "$on_c/"
check "cmd: regsvr32  c:\\...\\MSINET.OCX" wine cmd /c 'regsvr32  c:\pulsaro_check\MSINET.OCX'
check "its InprocServer32 is the c:\\ path" registered_as "$inet_id" 'c:\pulsaro_check\MSINET.OCX'
check "cmd: regsvr32 /u removes it" wine cmd /c 'regsvr32 /u c:\pulsaro_check\MSINET.OCX'
check "its class id is gone" fails wine reg query "$(server_key "$inet_id")"

marker=$work/marker.txt
export PULSARO_STANDIN_MARKER
PULSARO_STANDIN_MARKER=$(windows_path "$marker")
wine "$dist/Pulsaro_zentra.exe" one two </dev/null >/dev/null 2>&1 &
app=$!
pids+=("$app")
window_shown() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Pulsaro Zentra$' && return 0
    sleep 0.1
  done
  return 1
}
check "Pulsaro_zentra.exe shows its window" window_shown
check "and records its start" grep -qE '^started pid=[0-9]+ arguments=2$' "$marker"
kill "$app"
check "with PULSARO_STANDIN_EXIT it ends at once" \
      env PULSARO_STANDIN_EXIT=1 timeout 10 wine "$dist/Pulsaro_zentra.exe"
check "after recording its start" test "$(grep -c '^started' "$marker")" -eq 2

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
