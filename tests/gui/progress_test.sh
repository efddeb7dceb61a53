#!/usr/bin/env bash
# The progress under Convert and on the desktop, on a session bus of the test's own that
# dbus-monitor watches. Before the first run the bar and the line are empty. A run stopped with
# Escape while the window is looked at: the line and the bar move, then say where the run
# stopped; the launcher entry's bar is shown and taken away; no notification. A whole run while
# the keyboard is on the root window: a notification says both files were written, and the bar
# ends full.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"
command -v dbus-daemon >/dev/null && command -v dbus-monitor >/dev/null ||
  { echo "SKIP: dbus-daemon or dbus-monitor is not installed" && exit 77; }
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
  { echo "SKIP: the accessibility bindings (gir1.2-atspi-2.0) are not installed" && exit 77; }
mapfile -t bus < <(timeout 10 dbus-daemon --session --fork --print-address=1 --print-pid=1)
trap 'gui_report; kill "${bus[1]}" 2>/dev/null || true; gui_cleanup' EXIT
export DBUS_SESSION_BUS_ADDRESS=${bus[0]}
dbus-monitor "type='signal',interface='com.canonical.Unity.LauncherEntry'" \
  "type='method_call',interface='org.freedesktop.Notifications'" >"$WORK/bus.log" 2>&1 &
for ((tries = 0; tries < 100; tries++)); do
  grep -qs NameAcquired "$WORK/bus.log" && break
  sleep 0.1
done
grep -qs NameAcquired "$WORK/bus.log" || fail "dbus-monitor did not start on the test's bus"

# step WHAT: says on stderr what the test does next and when, so that a test CTest had to stop
# shows how far it came.
step() { echo "-- $SECONDS s: $1" >&2; }
# read_line: the progress line as a screen reader reads it, the text under the bar, asked for
# with a limit (Debian's Python, which has the accessibility bindings) until the window is in the
# accessibility tree. A selection made in the line would not do: during a run the line changes
# faster than a selection can be made and read, and each change takes the selection away.
read_line() {
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    timeout 10 /usr/bin/python3 "$SOURCE_DIR/tests/gui/accessible_text.py" \
      "TGA TO AVI Converter" "progress bar" 2>"$WORK/a11y.log" && return 0
    sleep 1
  done
  fail "the progress line is not in the window's accessibility tree: $(cat "$WORK/a11y.log")"
}
# bar: the percentage of the bar's columns (14-181 of 194 dialog units across, 267-277 of 310
# down) in the theme's blue, on a picture of the window.
bar() {
  local WIDTH HEIGHT X Y SCREEN
  eval "$(xdotool getwindowgeometry --shell "$main")"
  screenshot "$main" "$WORK/bar.png"
  ffmpeg -loglevel error -i "$WORK/bar.png" -f rawvideo -pix_fmt rgb24 -vf \
    "crop=$((WIDTH * 167 / 194)):$((HEIGHT * 10 / 310)):$((WIDTH * 14 / 194)):$((HEIGHT * 267 / 310))" \
    - | od -An -v -tu1 -w3 | awk -v w=$((WIDTH * 167 / 194)) \
    '$3 > $1 + 60 { blue[(NR - 1) % w] } END { print int(100 * length(blue) / w) }'
}
# signals: the launcher entry's updates, "progress visible" a line.
signals() { awk '/double/ { p = $3 } /boolean/ { print p, $3 }' "$WORK/bus.log"; }
# start_run LAST: the fields filled, Convert pressed, FFV1 chosen.
start_run() {
  fill_fields "$main" "$WORK/frames/shot0001.tga" "$WORK/frames/$1" "$WORK/out/shot.avi"
  keys_to "$main" space
  chooser=$(wait_window "Video Compression")
  keys_to "$chooser" Tab Home Down Return
}

frames=600
long_sequence $frames
start_app
main=$(wait_window "TGA TO AVI Converter")
step "the progress before a run"
line=$(read_line)
[ -z "$line" ] && [ "$(bar)" = 0 ] || fail "the progress shows something before a run"

start_run "$(printf shot%04d.tga $frames)"
step "the progress during the colour pass"
at=0 reads=0 end=$((SECONDS + 90)) seen=
pattern="^Colour ([0-9]+) of $frames · [0-9.]+ fps · [0-9]+:[0-9]{2} left\$"
while [ $reads -lt 2 ]; do
  app_running || fail "the program ended during the run"
  [ $SECONDS -lt $end ] && [[ $seen != *Matte* ]] ||
    fail "during the colour pass the progress line read: ${seen:-nothing}"
  line=$(read_line)
  [ -n "$line" ] && seen+="\"$line\" "
  if [[ $line =~ $pattern ]] && [ "${BASH_REMATCH[1]}" -gt $at ]; then
    at=${BASH_REMATCH[1]} reads=$((reads + 1)) running=$(bar) lines+="$line, "
  fi
done
step "Escape"
keys_to "$main" Escape
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
line=$(read_line)
written=$(probe "$WORK/out/shot.avi" | cut -d, -f5)
[ "$line" = "shot.avi stopped at frame $written of $frames; no matte written" ] ||
  fail "after Escape with $written frames written the progress line reads \"$line\""
ended=$(bar) && expected=$((100 * written / (2 * frames)))
[ "$running" -gt 0 ] && [ "$running" -le "$ended" ] && ((ended - expected <= 1)) &&
  ((expected - ended <= 1)) || fail "the bar was at $running%, then $ended%, not $expected%"
[ "$(signals | head -1)" = "0 true" ] && [ "$(signals | tail -1 | cut -d' ' -f2)" = false ] ||
  fail "the launcher entry was told: $(signals | tr '\n' ,)"
! grep -q member=Notify "$WORK/bus.log" || fail "a notification came while the window was looked at"

rm "$WORK"/out/*
step "a whole run while another window has the keyboard"
start_run shot0120.tga
xdotool mousemove 1200 1000
focus "$(xdotool search --maxdepth 0 --name '' | head -1)"
for ((tries = 0; tries < 600; tries++)); do
  grep -q member=Notify "$WORK/bus.log" && break
  sleep 0.1
done
grep -A5 member=Notify "$WORK/bus.log" | tail -2 | tr -d '\n' |
  grep -qx ' *string "Conversion done" *string "shot.avi and shot.matte.avi written, 120 frames"' ||
  fail "the notification says: $(grep -A5 member=Notify "$WORK/bus.log")"
box=$(wait_window "TGA to AVI Converter" "$main")
keys_to "$box" Return
wait_gone "$box"
screenshot "$main" "$ARTIFACTS/progress-window.png"
line=$(read_line)
[ "$line" = "shot.avi and shot.matte.avi written, 120 frames" ] ||
  fail "after the run the progress line reads \"$line\""
[ "$(bar)" = 100 ] && [ "$(signals | tail -1)" = "1 false" ] ||
  fail "after the run the bar is at $(bar)%, the launcher's at $(signals | tail -1)"

keys_to "$main" Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "the tool ended with status $EXIT_STATUS"
echo "PASS: the progress read ${lines}then stopped at $written of $frames, then ended full"
