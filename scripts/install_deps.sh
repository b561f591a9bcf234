#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need; quick when all are there.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev libcurl4-openssl-dev libgtest-dev
          python3-pyftpdlib xvfb xauth xdotool x11-utils imagemagick fonts-liberation
          clang libclang-rt-14-dev curl)

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
