#!/usr/bin/env bash
# The window while a conversion runs: it keeps painting (the status line counts on screen), its
# close box is refused and the job goes on writing, until Escape stops the job. Afterwards the
# window takes input again, with the focus back on Convert: pressing it asks about the file the
# stopped job left, and a fresh Escape answers that question No.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"
[ -n "$CLOSE_WINDOW" ] || fail "no close_window helper was given"

frames=300
long_sequence $frames

convert_until_chooser shot0300.tga
keys_to "$chooser" Return # Full Frames (Uncompressed)
wait_for_size 20000000

# Two pictures of the window taken while the job runs differ: the status line is repainted.
xwd -silent -id "$main" -out "$WORK/first.xwd"
tries=0
while xwd -silent -id "$main" -out "$WORK/now.xwd" && cmp -s "$WORK/first.xwd" "$WORK/now.xwd"; do
  [ $tries -lt 100 ] || fail "the window was not repainted for 10 s while the job ran"
  sleep 0.1
  tries=$((tries + 1))
done

# The close box: the window stays, and the job goes on writing.
"$CLOSE_WINDOW" "$main"
wait_for_size $(($(avi_size) + 20000000))
xdotool search --onlyvisible --name "." | grep -qx "$main" ||
  fail "the close box took the window away while the job ran"

keys_to "$main" Escape
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
sleep 1 # the job ends just after its last message

keys_to "$main" space
question=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$question" Escape
wait_gone "$question"
sleep 1
shown=$(xdotool search --onlyvisible --name "." | sort | tr '\n' ' ')
[ "$shown" = "$main " ] || fail "after No, windows $shown are shown instead of $main alone"

keys_to "$main" Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "the tool ended with status $EXIT_STATUS"
echo "PASS: the busy window painted, refused its close box and took input again after the job"
