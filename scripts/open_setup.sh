#!/usr/bin/env bash
# Installs what is missing, builds the programs (no tests) into build-app, and opens the setup
# window from the distribution folder, which is where the setup finds the files it installs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
BUILD_DIR=build-app CMAKE_ARGS="-DBUILD_TESTING=OFF" scripts/build.sh distribution
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run this from a desktop session, or under 'xvfb-run -a $0'." >&2
  exit 1
fi
cd build-app/dist
exec ./setup_pulsaro_zentra
