#!/usr/bin/env bash
# The Rate and Fill settings under the AVI box: a rate picked with the mouse is what the sequence
# line says and what both files carry, both come back in the next run, and neither takes the
# keyboard from Convert at start-up.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/run" 2 32x24 >/dev/null

# pick MAIN X KEYS...: opens the setting at X dialog units across its row (145-156 of the
# window's 310) with a click and picks an entry of its menu with KEYS (the first Down lands on
# the first entry).
pick() {
  local WIDTH HEIGHT X Y SCREEN main=$1 x=$2
  shift 2
  eval "$(xdotool getwindowgeometry --shell "$main")"
  focus "$main"
  local before tries=0
  before=$(xdotool search --onlyvisible --class . | sort)
  xdotool mousemove --window "$main" $((WIDTH * x / 194)) $((HEIGHT * 150 / 310)) click 1
  # The menu is a window without a name: wait for a window that was not there before.
  while [ "$(xdotool search --onlyvisible --class . | sort)" = "$before" ]; do
    [ $tries -lt 100 ] || fail "no menu opened"
    sleep 0.1
    tries=$((tries + 1))
  done
  xdotool key --delay 100 "$@"
}

start_app
main=$(wait_window "TGA TO AVI Converter")
# The first key goes to Convert: with the boxes empty it is refused in a message box.
keys_to "$main" space
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
fill_fields "$main" "$WORK/run/shot0001.tga" "$WORK/run/shot0002.tga" "$WORK/run/shot.avi"
wait_sequence_line "$main" "2 frames · 32 × 24 · 29.97 fps"
pick "$main" 40 Down Down Return # the entry after "From the frames"
wait_sequence_line "$main" "2 frames · 32 × 24 · 23.976 fps as set"
pick "$main" 120 Down Down Down Return # Premultiplied
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
