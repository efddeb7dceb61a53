#!/usr/bin/env bash
# Renders the PNG icons from their source, src/app/res/tga2avi.svg, with rsvg-convert
# (librsvg2-bin): run it after changing the drawing and commit the PNGs with it. The 16-pixel
# icon is drawn by hand instead: at that size the drawing's half-pixel edges blur, and the
# sprocket holes vanish.
set -euo pipefail
cd "$(dirname "$0")/../src/app/res"
for size in 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" tga2avi.svg --output "tga2avi-$size.png"
done
