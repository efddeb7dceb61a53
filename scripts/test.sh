#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a plain build and one
# with AddressSanitizer and UndefinedBehaviorSanitizer, with clang-tidy over the first; then
# runs each fuzz target for a short time. TGA2AVI_QUICK=1 leaves out the tests labelled slow
# (the large-file ones).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test

jobs=$(nproc)
exclude=()
if [ "${TGA2AVI_QUICK:-0}" = 1 ]; then
  exclude=(-LE slow)
fi

status=0
# Each step's heading says how long the run has taken so far (the whole run is kept under a
# quarter of an hour on two cores).
step() { echo "== $1 (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }
run_config() {
  local dir=$1
  shift
  step "$dir: configure and build"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" --parallel "$jobs"
  step "$dir: tests"
  (cd "$dir" && ctest --output-on-failure --parallel "$jobs" "${exclude[@]}") || status=1
}

run_config build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGA2AVI_WERROR=ON
# clang-tidy over what the plain build compiled (the root's .clang-tidy).
step "clang-tidy"
BUILD_DIR=build scripts/tidy.sh || status=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  run_config build-asan -DCMAKE_BUILD_TYPE=Debug -DTGA2AVI_SANITIZE=ON -DTGA2AVI_WERROR=ON
# Every fuzz target for a short fixed time (TGA2AVI_FUZZ_SECONDS, 30 by default).
step "fuzz"
scripts/fuzz.sh || status=1
step "done"
exit $status
