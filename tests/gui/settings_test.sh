#!/usr/bin/env bash
# The Rate and Fill choices under Convert: a rate picked with the mouse is what the sequence line
# says and what both files carry, and both choices come back in the next run.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/run" 2 32x24 >/dev/null

# pick MAIN X KEYS...: opens the choice at X dialog units across the bottom row (201-213 of
# the window's 218) with a click and picks an entry with KEYS.
pick() {
  local WIDTH HEIGHT X Y SCREEN main=$1 x=$2
  shift 2
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool windowfocus --sync "$main"
  xdotool mousemove --window "$main" $((WIDTH * x / 194)) $((HEIGHT * 207 / 218)) click 1
  sleep 0.5 # the toolkit's menu has no window of its own to wait for
  xdotool key --delay 100 "$@"
}

start_app
main=$(wait_window "TGA TO AVI Converter")
fill_fields "$main" "$WORK/run/shot0001.tga" "$WORK/run/shot0002.tga" "$WORK/run/shot.avi"
wait_sequence_line "$main" "2 frames · 32 × 24 · 29.97 fps"
pick "$main" 69 Down Return # the entry after "From the frames"
wait_sequence_line "$main" "2 frames · 32 × 24 · 23.976 fps as set"
pick "$main" 150 Down Down Return # Premultiplied
grep -q '^Fill=premultiplied' "$XDG_CONFIG_HOME/tga2avi/settings.ini" ||
  fail "the fill chosen was not kept"
keys_to "$main" Escape
wait_exit

start_app
main=$(wait_window "TGA TO AVI Converter")
fill_fields "$main" "$WORK/run/shot0001.tga" "$WORK/run/shot0002.tga" "$WORK/run/shot.avi"
wait_sequence_line "$main" "2 frames · 32 × 24 · 23.976 fps as set"
keys_to "$main" space
chooser=$(wait_window "Video Compression")
keys_to "$chooser" Return
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
for file in shot.avi shot.matte.avi; do
  found=$(probe "$WORK/run/$file")
  [ "$found" = "rawvideo,32,24,24000/1001,2" ] || fail "$file: $found"
done
screenshot "$main" "$ARTIFACTS/settings.png"
keys_to "$main" Escape
wait_exit
echo "PASS: the rate and fill chosen are used and remembered"
