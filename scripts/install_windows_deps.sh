#!/usr/bin/env bash
# Installs the Debian packages the Windows build (mingw-w64, GoogleTest's sources) and its checks
# under Wine need, on top of scripts/install_deps.sh; quick when all are there. wine does not
# bring fonts-wine with it, and without those fonts the prefix has no "MS Sans Serif".
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-wine
          xvfb xdotool)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
