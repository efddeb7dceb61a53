#!/usr/bin/env bash
# A conversion as a user makes it: the three paths typed into the window, Convert pressed, FFV1
# chosen in the "Video Compression" dialog, "AVI File Created" dismissed, the tool closed with
# Escape. Both files are then read back with FFmpeg: the colour file must hold the frames' exact
# pixels with their alpha, the matte file the alpha as grey.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

frames=12
"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/frames" $frames 160x90 >/dev/null
mkdir "$WORK/out"
# The desktop's file manager for this test: it writes down the folder it was given.
export XDG_DATA_HOME="$WORK/data"
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
printf '#!/bin/sh\necho "$1" >"$0.opened"\n' >"$WORK/files" && chmod +x "$WORK/files"
printf '[Desktop Entry]\nType=Application\nName=Files\nExec=%s %%f\nMimeType=inode/directory;\n' \
  "$WORK/files" >"$XDG_DATA_HOME/applications/files.desktop"
printf '[Default Applications]\ninode/directory=files.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

convert_until_chooser shot0012.tga
# Tab reaches the list, which "Full Frames (Uncompressed)" heads; FFV1 is the next entry.
keys_to "$chooser" Tab Home Down Return

box=$(wait_window "TGA to AVI Converter" "$main")
screenshot "$main" "$ARTIFACTS/convert-window.png"
screenshot "$box" "$ARTIFACTS/convert-done.png"
keys_to "$box" Return
wait_gone "$box"
app_running || fail "the tool closed with the completion message"

# Open Folder, under Convert (128,295 of 194 x 310 units, 53 x 14).
wait_sequence_line "$main" \
  "Checked: shot.avi and shot.matte.avi, $frames frames each, lossless frames identical"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" $((WIDTH * 154 / 194)) $((HEIGHT * 302 / 310)) click 1
timeout 10 sh -c 'until [ -s "$0" ]; do sleep 0.1; done' "$WORK/files.opened" || fail "none opened"
[ "$(cat "$WORK/files.opened")" = "$WORK/out" ] || fail "Open Folder: $(cat "$WORK/files.opened")"

keys_to "$main" Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "the tool ended with status $EXIT_STATUS"

for file in shot.avi shot.matte.avi; do
  [ -f "$WORK/out/$file" ] || fail "$file was not written"
  found=$(probe "$WORK/out/$file")
  [ "$found" = "ffv1,160,90,30000/1001,$frames" ] ||
    fail "$file: expected ffv1,160,90,30000/1001,$frames but read $found"
done

# Frame 1 of the colour file is the first Targa file, byte for byte, alpha included.
raw() { ffmpeg -loglevel error -i "$1" -frames:v 1 -f rawvideo -pix_fmt "$2" -; }
cmp -s <(raw "$WORK/frames/shot0001.tga" rgba) <(raw "$WORK/out/shot.avi" rgba) ||
  fail "frame 1 of shot.avi differs from shot0001.tga"
# The matte of the last frame is that frame's alpha channel.
cmp -s <(ffmpeg -loglevel error -i "$WORK/frames/shot0012.tga" -vf alphaextract -f rawvideo \
  -pix_fmt gray -) \
  <(ffmpeg -loglevel error -i "$WORK/out/shot.matte.avi" -vf "select=eq(n\,$((frames - 1)))" \
    -frames:v 1 -f rawvideo -pix_fmt gray -) ||
  fail "the last matte frame is not the alpha of shot0012.tga"

echo "PASS: both files written through the window and read back"
