#!/usr/bin/env bash
# Builds the programs in Release mode into build-bench and measures them against their
# references; prints the table and rewrites bench/RESULTS.md. Extra arguments go to run.py
# (--rounds N, --only STEP...).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BENCH_BUILD_DIR:-build-bench}
# -O2 as in the shipped build: GCC 12 at -O3 reports a false -Wrestrict inside std::string.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPULSARO_WINDOWS=OFF "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
  -DPULSARO_BUILD_BENCH=ON -DPULSARO_BUILD_TESTS=OFF >/dev/null
ninja -C "$build_dir" -j2
exec /usr/bin/python3 bench/run.py --build "$build_dir" --results bench/RESULTS.md "$@"
