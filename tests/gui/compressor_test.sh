#!/usr/bin/env bash
# The "Video Compression" dialog knows the frames it is asked about: for a 66 × 50 sequence,
# Cinepak (the last entry, which needs sides divisible by 4) says why it cannot take them and
# cannot be chosen: Return on it leaves the dialog open. Were Cinepak taken, the job would end
# in "Failed to set AVI stream format". The older formats sit under a heading that the keyboard
# steps over both ways: from Cinepak, Up Up goes past Microsoft Video 1 and the heading to
# H.264, Down comes back to Microsoft Video 1, Up and Return choose H.264. Stopping on the
# heading would leave the dialog open; stepping twice would choose another compressor.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/frames" 3 66x50 >/dev/null
mkdir "$WORK/out"

convert_until_chooser shot0003.tga
keys_to "$chooser" Tab End
screenshot "$chooser" "$ARTIFACTS/compressor-refused.png"
# Return on a refused entry does nothing; the keys after it still reach the dialog.
keys_to "$chooser" Return Up Up Down Up Return

box=$(wait_window "TGA to AVI Converter" "$main")
text=$(xdotool getwindowname "$box")
keys_to "$box" Return
wait_gone "$box"
keys_to "$main" Escape
wait_exit

for file in shot.avi shot.matte.avi; do
  found=$(probe "$WORK/out/$file")
  [ "$found" = "h264,66,50,30000/1001,3" ] ||
    fail "$file: expected H.264, 66 x 50, 3 frames, but read $found ($text)"
done
echo "PASS: a compressor that cannot take the frames was not chosen, nor the heading"
