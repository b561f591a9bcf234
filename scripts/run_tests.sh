#!/usr/bin/env bash
# Installs what is missing, builds both hosts (the Linux build cross-builds the Windows programs
# into build/windows) and runs the whole test suite headless, the Windows tests under Wine
# included; then runs it again built with the sanitizers, and runs every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh
scripts/install_windows_deps.sh
CMAKE_ARGS="-DPULSARO_WINDOWS=ON" scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300
cd ..
# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz
# target for FUZZ_SECONDS seconds, never fewer than 30.
scripts/run_sanitized_tests.sh
fuzz_seconds=${FUZZ_SECONDS:-30}
[ "$fuzz_seconds" -ge 30 ] || fuzz_seconds=30
scripts/run_fuzzers.sh "$fuzz_seconds"
