#!/usr/bin/env bash
# Installs what is missing, builds both hosts (the Linux build cross-builds the Windows programs
# into build/windows) and runs the whole test suite headless, the Windows tests under Wine
# included; builds everything again in Release with GCC and with clang; then runs the suite
# again built with the sanitizers, and runs every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh --for-tests
# Everything the tests need is installed now, so a test that skips fails instead (here and in the
# sanitized run below); a partial run by hand keeps its skips, each with its reason.
export PULSARO_TESTS_MUST_RUN=1
CMAKE_ARGS="-DBUILD_TESTING=ON -DPULSARO_WINDOWS=ON" scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300
cd ..
scripts/release_builds.sh
# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz
# target for FUZZ_SECONDS seconds, never fewer than 30.
scripts/run_sanitized_tests.sh
fuzz_seconds=${FUZZ_SECONDS:-30}
[ "$fuzz_seconds" -ge 30 ] || fuzz_seconds=30
scripts/run_fuzzers.sh "$fuzz_seconds"
