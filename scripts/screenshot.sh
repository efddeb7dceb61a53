#!/usr/bin/env bash
# Takes a screenshot of the converter's window under Xvfb, its fields filled in as a user
# would and the run converted, the window telling how it went: scripts/screenshot.sh [program]
# [output.png]
# (defaults: build/src/app/tga2avi and docs/screenshot.png). Needs xvfb-run, xdotool, xwd
# and ffmpeg (scripts/install-deps.sh installs them). The window is shown without a window
# manager, so without its title bar.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/src/app/tga2avi}")
output=$(realpath -m "${2:-docs/screenshot.png}")
[ -x "$program" ] || { echo "no program at $program: run scripts/run.sh once" >&2; exit 1; }

if [ -z "${TGA2AVI_UNDER_XVFB:-}" ]; then
  TGA2AVI_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$0" "$program" "$output"
fi

work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$(dirname "$output")"
scripts/make-sample.sh "$work/sample" 48 >/dev/null
(cd "$work" && exec "$program") >/dev/null 2>&1 &
pid=$!

window=
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name "^TGA TO AVI Converter\$" 2>/dev/null | head -1) &&
    [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }

# Tab order: Convert, the first and the AVI browse buttons, then the first-file box.
xdotool windowfocus --sync "$window"
xdotool key --delay 30 Tab Tab Tab
xdotool type --delay 5 "sample/shot0001.tga"
xdotool key Tab
xdotool type --delay 5 "sample/shot.avi"
xdotool key --delay 30 Tab Tab
xdotool type --delay 5 "sample/shot0048.tga"
xdotool key --delay 30 Tab
# Leaving the last field starts the look over the run; it takes a few milliseconds.
sleep 1
# Convert with FFV1; once "AVI File Created" is closed the window shows how the run went.
wait_named() {
  local name=$1 found=
  for _ in $(seq 100); do
    found=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | grep -vx "$window" | head -1) &&
      [ -n "$found" ] && break
    sleep 0.1
  done
  [ -n "$found" ] || { echo "no window \"$name\"" >&2; exit 1; }
  echo "$found"
}
xdotool key space
chooser=$(wait_named "Video Compression")
xdotool windowfocus --sync "$chooser" key --delay 30 Tab Home Down Return
box=$(wait_named "TGA to AVI Converter")
xdotool windowfocus --sync "$box" key Return
sleep 1

eval "$(xdotool getwindowgeometry --shell "$window")"
xwd -root -silent -out "$work/screen.xwd"
ffmpeg -loglevel error -y -i "$work/screen.xwd" -frames:v 1 \
  -vf "crop=$WIDTH:$HEIGHT:$X:$Y" -pix_fmt rgb24 "$output"
echo "Wrote $output"
