#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang, libFuzzer and the address and undefined-behaviour
# sanitizers in build-fuzz/, then runs each for a short fixed time over a copy of its seed
# corpus (fuzz/corpus/<target>/). Exits non-zero when any target finds a failing input; the
# input is kept as build-fuzz/artifacts/<target>-crash-… (or -oom-, -timeout-, -leak-).
# TGA2AVI_FUZZ_SECONDS sets the time per target (30 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

seconds=${TGA2AVI_FUZZ_SECONDS:-30}
targets=(targa_frame_fuzzer targa_differential_fuzzer naming_fuzzer)

echo "== build-fuzz: configure and build"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGA2AVI_FUZZ=ON \
  -DTGA2AVI_WERROR=ON >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build-fuzz/artifacts

status=0
for target in "${targets[@]}"; do
  echo "== $target: ${seconds} s"
  cp -r "fuzz/corpus/$target" "$work/$target"
  # Inputs stay small, so no single allocation may come near the limit: a frame reserved for
  # what a header claims rather than what the file holds is an out-of-memory failure here.
  if ! UBSAN_OPTIONS=print_stacktrace=1 \
    "build-fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -malloc_limit_mb=128 -max_len=8192 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/artifacts/$target-" "$work/$target" \
    >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    echo "== $target: FAILED"
    status=1
  else
    grep -E '^(Done|stat::number_of_executed_units)' "$work/$target.log" || true
  fi
done
exit $status
