#!/usr/bin/env bash
# Installs what is missing, builds the converter and starts it: with no arguments its window,
# with arguments its command line (scripts/run.sh --help), which needs no display. Relative
# paths start from the repository's folder. Everything but the program's own output goes to
# standard error, so that scripts/run.sh --list-compressors --json can be piped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTGA2AVI_BUILD_TESTS=OFF >/dev/null
cmake --build build --parallel "$(nproc)" >&2
if [ $# -gt 0 ]; then
  exec build/src/app/tga2avi "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Built build/src/app/tga2avi. Its window needs a display, and this session has none"
  echo "(neither DISPLAY nor WAYLAND_DISPLAY is set): start it from a desktop session, or use"
  echo "its command line, which needs none: scripts/run.sh --help"
  exit 1
fi
exec build/src/app/tga2avi
