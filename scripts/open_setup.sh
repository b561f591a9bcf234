#!/usr/bin/env bash
# Installs what is missing, builds, and opens the setup window from the distribution folder,
# which is where the setup finds the files it installs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
scripts/build.sh distribution
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run this from a desktop session, or under 'xvfb-run -a $0'." >&2
  exit 1
fi
cd build/dist
exec ./setup_pulsaro_zentra
