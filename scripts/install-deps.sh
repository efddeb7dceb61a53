#!/usr/bin/env bash
# Installs the Debian packages the converter and its tests need, when any is missing. With
# --test (scripts/test.sh) also what only the tests of the README's many-shot examples run: GNU
# parallel and a one-node Slurm (its daemons, which the converter itself never needs).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  clang libclang-rt-14-dev clang-tidy
  libmagick++-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libwxgtk3.2-dev libglib2.0-dev
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev
  ffmpeg xvfb xauth xdotool xclip x11-apps
  dbus-daemon dbus-bin at-spi2-core python3-gi gir1.2-atspi-2.0
  gstreamer1.0-tools gstreamer1.0-plugins-good
  dpkg-dev file appstream desktop-file-utils man-db
)
case "${1:-}" in
  --test) packages+=(parallel slurmctld slurmd slurm-client munge) ;;
  "") ;;
  *) echo "usage: $0 [--test]" >&2 && exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "${missing[@]}"
