#!/usr/bin/env bash
# The sequence line, read off the window: typed first and last files give the run's frame
# count, its gap, the first frame's size and the rate; a reversed range gives Convert's own
# message. A typed first file offers the last file; a browsed first file fills the empty last
# and AVI fields with the run's last file and its name, each box showing its path's end; after
# Convert the line says both files were read back whole.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

"$SOURCE_DIR/scripts/make-sample.sh" "$WORK/gap" 6 48x32 >/dev/null
rm "$WORK/gap/shot0004.tga"
# The run sits deep enough that its path is far wider than a path box.
RUN="$WORK/a-folder-whose-name-alone-is-wider-than-the-path-boxes-of-the-window/run"
"$SOURCE_DIR/scripts/make-sample.sh" "$RUN" 5 64x48 >/dev/null

start_app
main=$(wait_window "TGA TO AVI Converter")
fill_fields "$main" "$WORK/gap/shot0001.tga" "$WORK/gap/shot0006.tga" "$WORK/gap/gap.avi"
wait_sequence_line "$main" "6 frames, 1 missing: 0004 · 48 × 32 · 29.97 fps"

# A range Convert would refuse: the line says so in its words. The last field (the seventh Tab
# stop from Convert) is emptied and typed again.
keys_to "$main" Tab Tab Tab Tab Tab Tab
keys_to "$main" ctrl+a BackSpace
type_to "$main" "$WORK/gap/shot0000.tga"
wait_sequence_line "$main" "Failed to open Last TGA file"
keys_to "$main" Tab Tab Tab Tab Tab Tab
keys_to "$main" ctrl+a BackSpace
type_to "$main" "$WORK/gap/shot0002.tga"
keys_to "$main" Tab
wait_sequence_line "$main" "2 frames · 48 × 32 · 29.97 fps"
screenshot "$main" "$ARTIFACTS/sequence-line.png"

# The run converted in FFV1, gap and all (a box in each pass, then the last): the line names it.
keys_to "$main" Tab Tab Tab Tab Tab Tab ctrl+a BackSpace
type_to "$main" "$WORK/gap/shot0006.tga"
keys_to "$main" Tab space
chooser=$(wait_window "Video Compression")
keys_to "$chooser" Tab Home Down Return
for _ in colour matte created; do
  box=$(wait_window "TGA to AVI Converter" "$main")
  keys_to "$box" Return
  wait_gone "$box"
done
wait_sequence_line "$main" "0004 missing — frame 0003 repeated, both files. Checked: gap.avi \
and gap.matte.avi, 6 frames each, lossless frames identical"

app_running || fail "the program ended"
keys_to "$main" Escape
wait_exit

# A typed first file offers the run's last file in the empty box, greyed; Right takes it. The AVI
# box is left empty: what Convert does with the boxes as typed does not change.
start_app
main=$(wait_window "TGA TO AVI Converter")
keys_to "$main" Tab Tab Tab
type_to "$main" "$RUN/shot0001.tga"
keys_to "$main" Tab Tab Tab
keys_to "$main" Right Tab
wait_sequence_line "$main" "5 frames · 64 × 48 · 29.97 fps"
# Made wider, the window moves Convert to its right edge: a click there presses it, and the
# empty AVI box is refused as before.
xdotool windowsize --sync "$main" 900 "$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')"
eval "$(xdotool getwindowgeometry --shell "$main")"
# The toolkit places the controls a moment after the window's new size: click until it took.
for _ in $(seq 20); do
  xdotool mousemove --window "$main" $((WIDTH - 40)) $((HEIGHT * 257 / 310)) click 1
  box=$(xdotool search --onlyvisible --name "^TGA to AVI Converter\$" | grep -vx "$main" || true)
  for _ in 1 2 3 4 5; do
    [ -n "$box" ] && break
    sleep 0.2
    box=$(xdotool search --onlyvisible --name "^TGA to AVI Converter\$" | grep -vx "$main" || true)
  done
  [ -n "$box" ] && break
done
[ -n "$box" ] || fail "Convert was not found at the right of the wider window"
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
[ ! -e "$RUN/shot.avi" ] || fail "the AVI name offered was used without being taken"
keys_to "$main" Escape
wait_exit

# One file is enough: browsing the first fills the last file and the AVI name.
start_app
main=$(wait_window "TGA TO AVI Converter")
keys_to "$main" Tab space
choose_file "$RUN/shot0001.tga"
wait_sequence_line "$main" "5 frames · 64 × 48 · 29.97 fps"

# Convert, FFV1, and the check of both files.
keys_to "$main" space
chooser=$(wait_window "Video Compression")
keys_to "$chooser" Tab Home Down Return
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
[ -f "$RUN/shot.avi" ] || fail "the suggested AVI name was not used: no run/shot.avi"
[ -f "$RUN/shot.matte.avi" ] || fail "no run/shot.matte.avi"
wait_sequence_line "$main" \
  "Checked: shot.avi and shot.matte.avi, 5 frames each, lossless frames identical"

# The path boxes show their ends: browsed again, the last box's path changes in its frame
# number alone, which shows only if the box shows its path's end. A strip through its text,
# before and after.
eval "$(xdotool getwindowgeometry --shell "$main")"
last_box_text() {
  screenshot "$main" "$ARTIFACTS/path-ends.png"
  ffmpeg -loglevel error -i "$ARTIFACTS/path-ends.png" -vf \
    "crop=$((WIDTH * 100 / 194)):$((HEIGHT * 6 / 310)):$((WIDTH * 43 / 194)):$((HEIGHT * 73 / 310))" \
    -f rawvideo - | md5sum
}
before=$(last_box_text)
keys_to "$main" Tab Tab Tab Tab Tab space
choose_file "$RUN/shot0003.tga"
wait_sequence_line "$main" "3 frames · 64 × 48 · 29.97 fps"
[ "$(last_box_text)" != "$before" ] ||
  fail "the last box looks the same for shot0005.tga and shot0003.tga: it does not show its path's end"
keys_to "$main" Escape
wait_exit

# 10,000 frames: the line comes within the test's wait, and the window closes at once while a
# look over them is under way (Escape right after the field is left).
mkdir "$WORK/long"
cp "$WORK/gap/shot0001.tga" "$WORK/long/long00001.tga"
seq -f 'long%05g.tga' 2 10000 >"$WORK/names"
(cd "$WORK/long" &&
  xargs -a "$WORK/names" -n 1000 sh -c 'tee "$@" <long00001.tga >/dev/null' copy)
start_app
main=$(wait_window "TGA TO AVI Converter")
fill_fields "$main" "$WORK/long/long00001.tga" "$WORK/long/long10000.tga" "$WORK/long/long.avi"
wait_sequence_line "$main" "10000 frames · 48 × 32 · 29.97 fps"
keys_to "$main" Tab Tab Tab Tab Tab Tab
keys_to "$main" ctrl+a BackSpace
type_to "$main" "$WORK/long/long09999.tga"
keys_to "$main" Tab Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "closed during a scan, the tool ended with status $EXIT_STATUS"
echo "PASS: the sequence line tells the run, the suggestions fill the fields, the check is shown"
