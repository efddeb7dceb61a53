#!/usr/bin/env bash
# Installs what is missing, builds the converter and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGA2AVI_BUILD_TESTS=OFF >/dev/null
cmake --build build --parallel "$(nproc)"
if [ ! -x build/src/app/tga2avi ]; then
  echo "Built the conversion libraries; the converter's window is not part of this build yet."
  exit 0
fi
exec build/src/app/tga2avi "$@"
