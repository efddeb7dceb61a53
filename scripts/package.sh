#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, makes a Release build without the
# tests in build-package/ and runs cpack there. Prints the package's path; install it with
#   sudo apt install ./build-package/tga2avi_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir=build-package
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTGA2AVI_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$PWD/$dir"/tga2avi_*.deb
