#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (ASAN_BUILD_DIR, default
# build-asan) and runs the whole suite there. Fails on a failed test and on any sanitizer report,
# also from the programs the tests start: reports go to files, because nobody reads the standard
# error of a detached program.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${ASAN_BUILD_DIR:-build-asan}
BUILD_DIR=$build_dir CMAKE_ARGS="-DPULSARO_SANITIZE=ON" scripts/build.sh

reports="$(cd "$build_dir" && pwd)/sanitizer-reports"  # build_dir may be absolute
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"

status=0
(cd "$build_dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300) ||
  status=$?
if [ -n "$(ls -A "$reports")" ]; then
  cat "$reports"/* >&2
  echo "sanitizer reports: $reports" >&2
  status=1
fi
exit "$status"
