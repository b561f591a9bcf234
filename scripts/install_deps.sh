#!/usr/bin/env bash
# Installs the Debian packages that are missing; quick when all are there.
#   scripts/install_deps.sh                  what building and opening the setup window needs
#   scripts/install_deps.sh --for-packages   that, and what making the .deb needs
#   scripts/install_deps.sh --for-tests      all of it, and what the tests, the sanitizer and
#                                            fuzz runs, the Windows build and Wine need
set -euo pipefail

# qt6-wayland: without it Qt aborts in a Wayland session that has no X server beside it.
# libssl-dev: the updater checks signatures with OpenSSL. openssl (the command) reads the public
# keys of a build that has them, and signs and checks in the vendor's scripts and the tests.
# libgnutls30: Wine's cryptography (CNG, bcrypt.dll) is GnuTLS, which Wine only recommends.
packages=(cmake ninja-build g++ qt6-base-dev libcurl4-openssl-dev libssl-dev qt6-wayland
          fonts-liberation)
packaging=(dpkg-dev file openssl)
testing=(libgtest-dev python3 python3-pyftpdlib xvfb xauth xdotool x11-utils imagemagick
         desktop-file-utils clang libclang-rt-14-dev curl openssl
         wine wine64 libgnutls30 fonts-wine g++-mingw-w64-x86-64-posix googletest)
case ${1:-} in
  "") ;;
  --for-packages) packages+=("${packaging[@]}") ;;
  --for-tests) packages+=("${packaging[@]}" "${testing[@]}") ;;
  *) echo "usage: $0 [--for-packages | --for-tests]" >&2; exit 2 ;;
esac

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
