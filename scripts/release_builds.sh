#!/usr/bin/env bash
# Builds everything, tests included, as a packager would: CMAKE_BUILD_TYPE=Release (-O3) with GCC
# into build-release-gcc and with clang into build-release-clang. Our warnings stay errors here;
# a packager whose compiler warns otherwise adds --compile-no-warning-as-error to the configure.
set -euo pipefail
cd "$(dirname "$0")/.."
for compiler in g++:gcc clang++:clang; do
  echo "Release build with ${compiler%%:*}"
  BUILD_DIR=build-release-${compiler##*:} \
    CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${compiler%%:*} -DPULSARO_WINDOWS=OFF" \
    scripts/build.sh >/dev/null
done
