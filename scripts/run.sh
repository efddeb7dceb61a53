#!/usr/bin/env bash
# Installs what is missing, builds the converter and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGA2AVI_BUILD_TESTS=OFF >/dev/null
cmake --build build --parallel "$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Built build/src/app/tga2avi. It opens a window, and this session has no display"
  echo "(neither DISPLAY nor WAYLAND_DISPLAY is set): start it from a desktop session."
  exit 1
fi
exec build/src/app/tga2avi "$@"
