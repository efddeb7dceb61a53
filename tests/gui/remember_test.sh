#!/usr/bin/env bash
# Choices remembered from one run to the next, in the test's own configuration folder: the
# folder of the last browse (the second run's file dialog opens there, so the bare file name
# finds the frame) and the last compressor (the second run's "Video Compression" dialog starts
# on FFV1, chosen in the first run, where a fresh one starts on Full Frames).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/run" 3 32x24 >/dev/null

# browse_first NAME: the first browse button, NAME typed into the file dialog's location.
browse_first() {
  keys_to "$main" Tab space
  choose_file "$1"
}

# convert_with KEYS...: Convert, KEYS in the "Video Compression" dialog, the completion box
# dismissed and the tool closed.
convert_with() {
  wait_sequence_line "$main" "3 frames · 32 × 24 · 29.97 fps"
  keys_to "$main" space
  local chooser box
  chooser=$(wait_window "Video Compression")
  keys_to "$chooser" "$@"
  box=$(wait_window "TGA to AVI Converter" "$main")
  keys_to "$box" Return
  wait_gone "$box"
  keys_to "$main" Escape
  wait_exit
}

start_app
main=$(wait_window "TGA TO AVI Converter")
browse_first "$WORK/run/shot0001.tga"
convert_with Tab Home Down Return # FFV1, the entry after Full Frames
[ "$(probe "$WORK/run/shot.avi" | cut -d, -f1)" = ffv1 ] || fail "the first run did not write FFV1"
rm "$WORK/run/shot.avi" "$WORK/run/shot.matte.avi"
[ -s "$XDG_CONFIG_HOME/tga2avi/settings.ini" ] || fail "nothing was kept in the configuration folder"

start_app
main=$(wait_window "TGA TO AVI Converter")
browse_first "shot0001.tga"
convert_with Return # whatever the dialog starts on
found=$(probe "$WORK/run/shot.avi")
[ "$found" = "ffv1,32,24,30000/1001,3" ] || fail "the second run wrote $found, not FFV1"
echo "PASS: the last folder and compressor survive a restart"
