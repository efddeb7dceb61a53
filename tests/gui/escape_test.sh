#!/usr/bin/env bash
# Escape held down while the video pass runs: the pass stops, the matte pass is skipped and
# "AVI File Created" is shown. The held key's repeats must neither dismiss that message nor
# close the tool afterwards; Convert pressed during the pass must not start a second job; a
# fresh Escape then closes the tool as usual.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

frames=300
long_sequence $frames

convert_until_chooser shot0300.tga
keys_to "$chooser" Return  # Full Frames (Uncompressed)

# Wait until a few frames are in the file, then hold Escape down.
wait_for_size 20000000
# Convert pressed again while the pass runs, by key and by mouse: the busy window takes no input,
# and no second job may follow this one.
keys_to "$main" space Return
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH * 154 / 194)) $((Y + HEIGHT * 165 / 191)) click 1
focus "$main"
xdotool keydown Escape
box=$(wait_window "TGA to AVI Converter" "$main")
# Long enough for the key to repeat several times.
sleep 1.5
xdotool keyup Escape
sleep 0.5
xdotool search --onlyvisible --name "." | grep -qx "$box" ||
  fail "the repeating Escape dismissed \"AVI File Created\""
screenshot "$main" "$ARTIFACTS/escape-window.png"
keys_to "$box" Return
wait_gone "$box"
sleep 1
app_running || fail "the Escape that stopped the conversion also closed the tool"
shown=$(xdotool search --onlyvisible --name "." | sort | tr '\n' ' ')
[ "$shown" = "$main " ] || fail "after the job, windows $shown are shown instead of $main alone"

[ ! -e "$WORK/out/shot.matte.avi" ] || fail "the matte pass ran after Escape"
written=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries \
  stream=nb_read_frames -of csv=p=0 "$WORK/out/shot.avi")
[ "$written" -ge 1 ] && [ "$written" -lt $frames ] ||
  fail "expected a part of the frames in shot.avi, found $written"
# The sequence line says where the job stopped and what the one file holds.
wait_sequence_line "$main" "Stopped at frame $written of $frames: shot.avi holds $written of \
$frames frames; no matte written. Checked: shot.avi, $written frames"

keys_to "$main" Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "the tool ended with status $EXIT_STATUS"
echo "PASS: Escape stopped the pass after $written of $frames frames; the tool stayed open"
