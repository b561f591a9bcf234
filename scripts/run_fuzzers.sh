#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for SECONDS (default 30),
# starting from its committed seed corpus. Fails on the first finding: a crash, a sanitizer
# report, a broken property, a leak or a hang. New inputs go to the build folder, never into
# the repository; findings are kept there as fuzz-findings/<target>-crash-...
# Usage: scripts/run_fuzzers.sh [SECONDS] [TARGET...]   (FUZZ_BUILD_DIR, default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(wildcard command_line get_command ftp_reply resolver der_signature)
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}

cmake -S fuzz -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$build_dir" -j"$(nproc)" >/dev/null

# The resolver builds its trees in TMPDIR: in memory where possible, and gone whatever happens.
scratch=$(mktemp -d /dev/shm/pulsaro-fuzz-XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

findings="$build_dir/fuzz-findings"
rm -rf "$findings"
mkdir -p "$findings"
for target in "${targets[@]}"; do
  work="$build_dir/fuzz-corpus/$target"
  mkdir -p "$work"
  log="$build_dir/fuzz-$target.log"
  echo "fuzzing $target for ${seconds}s"
  if ! "$build_dir/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" \
      "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "FINDING in $target: see $log and $findings" >&2
    exit 1
  fi
  grep -a "^Done" "$log"
done
if [ -n "$(ls -A "$findings")" ]; then
  echo "findings left in $findings" >&2
  exit 1
fi
