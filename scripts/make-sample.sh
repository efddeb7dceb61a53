#!/usr/bin/env bash
# Writes a short numbered sequence of 32-bit Targa frames with an alpha channel, to try the
# converter on: scripts/make-sample.sh [folder] [frames] [WIDTHxHEIGHT]
# (defaults: sample/ in the current folder, 48 frames, 640x360), named shot0001.tga onwards.
# The picture is FFmpeg's moving test pattern; the alpha is a soft-edged disc that crosses it,
# so the matte video shows a grey-edged white disc moving over black.
set -euo pipefail

folder=${1:-sample}
frames=${2:-48}
size=${3:-640x360}
if ! [[ $frames =~ ^[1-9][0-9]{0,4}$ ]] || ! [[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]]; then
  echo "usage: $0 [folder] [frames] [WIDTHxHEIGHT]" >&2
  exit 2
fi
if ! command -v ffmpeg >/dev/null; then
  echo "ffmpeg is missing: run scripts/install-deps.sh first" >&2
  exit 1
fi

mkdir -p "$folder"
# Disc centre moves from left to right over the run; radius 0.3 of the height, edge 1/8 of it.
alpha="255*clip((0.3*H-hypot(X-(0.15*W+0.7*W*N/max(1,$frames-1)),Y-H/2))/(0.125*H)+0.5,0,1)"
ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=$size:rate=24" \
  -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='$alpha'" \
  -frames:v "$frames" -c:v targa -pix_fmt bgra -start_number 1 "$folder/shot%04d.tga"

last=$(printf 'shot%04d.tga' "$frames")
echo "Wrote $frames frames of $size: $folder/shot0001.tga .. $folder/$last"
