#!/usr/bin/env bash
# The "Video Compression" dialog knows the frames it is asked about: for a 66 × 50 sequence,
# Cinepak (the last entry, which needs sides divisible by 4) says why it cannot take them and
# cannot be chosen: Return on it leaves the dialog open, and Full Frames chosen next writes the
# files. Were Cinepak taken, the job would end in "Failed to set AVI stream format".
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/frames" 3 66x50 >/dev/null
mkdir "$WORK/out"

convert_until_chooser shot0003.tga
keys_to "$chooser" Tab End
screenshot "$chooser" "$ARTIFACTS/compressor-refused.png"
# Return on a refused entry does nothing; the keys after it still reach the dialog.
keys_to "$chooser" Return Home Return

box=$(wait_window "TGA to AVI Converter" "$main")
text=$(xdotool getwindowname "$box")
keys_to "$box" Return
wait_gone "$box"
keys_to "$main" Escape
wait_exit

for file in shot.avi shot.matte.avi; do
  found=$(probe "$WORK/out/$file")
  [ "$found" = "rawvideo,66,50,30000/1001,3" ] ||
    fail "$file: expected Full Frames, 66 x 50, 3 frames, but read $found ($text)"
done
echo "PASS: a compressor that cannot take the frames was not chosen"
