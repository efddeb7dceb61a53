#!/usr/bin/env bash
# Runs clang-tidy with the root's .clang-tidy over every file the plain build compiles (its
# compile_commands.json); any finding fails. BUILD_DIR names the build folder (build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
echo "== clang-tidy"
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$PWD/(src|tests|bench)/" >"$build/tidy.log" 2>&1 || {
  grep -E '(warning|error): ' "$build/tidy.log" | sort -u
  echo "== clang-tidy: findings above (full output in $build/tidy.log)"
  exit 1
}
echo "== clang-tidy: clean"
