#!/usr/bin/env bash
# Builds the programs in Release (no tests) into build-package and makes the packages there:
# pulsaro-zentra_<version>_<arch>.deb and pulsaro-zentra-<version>-distribution.tar.gz.
# With PULSARO_VENDOR_FILES_DIR set, the packages carry the vendor's files from that folder
# instead of our stand-ins; with PULSARO_UPDATE_PUBLIC_KEYS set (key files, ';' between them),
# their updater installs only updates signed with one of those keys.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh --for-packages
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPULSARO_WINDOWS=OFF \
      "-DPULSARO_VENDOR_FILES_DIR=${PULSARO_VENDOR_FILES_DIR:-}" \
      "-DPULSARO_UPDATE_PUBLIC_KEYS=${PULSARO_UPDATE_PUBLIC_KEYS:-}" >/dev/null
ninja -C build-package -j"$(nproc)" >/dev/null
(cd build-package && cpack >cpack.log 2>&1) || { cat build-package/cpack.log >&2; exit 1; }
ls -1 "$PWD"/build-package/pulsaro-zentra*.deb "$PWD"/build-package/pulsaro-zentra*.tar.gz
