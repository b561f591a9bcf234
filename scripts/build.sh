#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default: build). Arguments are ninja targets (default:
# everything); CMAKE_ARGS adds configure options.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -G Ninja ${CMAKE_ARGS:-} >/dev/null
ninja -C "$build_dir" -j"$(nproc)" "$@"
