# Helpers for the window tests: the real program under Xvfb, driven with xdotool.
# A test script sources this file with its arguments: PROGRAM SOURCE_DIR ARTIFACT_DIR
# CLOSE_WINDOW (the helper that presses a window's close box: close_window.cpp).
# Exit code 77 tells CTest that the test was skipped.

gui_init() {
  PROGRAM=$(realpath "$1")
  SOURCE_DIR=$2
  ARTIFACTS=$3
  CLOSE_WINDOW=${4:-}
  local tool
  for tool in xvfb-run xdotool xclip xwd ffmpeg ffprobe; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
      exit 77
    fi
  done
  if [ -z "${TGA2AVI_UNDER_XVFB:-}" ]; then
    # Every test gets a display of its own; -a picks a free number. The server's own messages go
    # with the test's output, which CTest shows when a test fails.
    TGA2AVI_UNDER_XVFB=1 exec xvfb-run -a -e /dev/stderr -s "-screen 0 1280x1024x24 -nolisten tcp" \
      bash "$0" "$@"
  fi
  mkdir -p "$ARTIFACTS"
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/tga2avi-gui-XXXXXX")
  # Settings the program remembers stay with the test: a configuration folder of its own.
  export XDG_CONFIG_HOME="$WORK/config"
  APP_PID=
  # A command that ends the test through set -e is named when the test ends, rather than
  # leaving a failure without a word: the last command that failed (a failure a condition
  # catches is not one) is kept, functions' included.
  set -E
  trap 'LAST_FAILED="${BASH_SOURCE[0]##*/} line $LINENO: $BASH_COMMAND (status $?)"' ERR
  trap 'gui_report; gui_cleanup' EXIT
}

# gui_report: first in an exit trap: names the command that ended the test when nothing else
# said why.
gui_report() {
  local status=$?
  if [ $status != 0 ] && [ $status != 77 ] && [ -z "${FAILED:-}" ] && [ -n "${LAST_FAILED:-}" ]; then
    echo "FAIL: ended by $LAST_FAILED" >&2
  fi
}

gui_cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
    kill "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}

fail() {
  FAILED=1
  echo "FAIL: $*" >&2
  if [ -s "$WORK/app.log" ]; then
    echo "--- program output:" >&2
    cat "$WORK/app.log" >&2
  fi
  exit 1
}

start_app() {
  (cd "$WORK" && exec "$PROGRAM") >"$WORK/app.log" 2>&1 &
  APP_PID=$!
}

app_running() { kill -0 "$APP_PID" 2>/dev/null; }

# wait_window TITLE [EXCLUDED_ID...]: prints the id of a visible window whose title matches
# TITLE exactly (xdotool matches without case, so "TGA to AVI Converter" also finds the
# window titled "TGA TO AVI Converter": pass its id to leave it out).
wait_window() {
  local title=$1
  shift
  local id tries=0
  while [ $tries -lt 200 ]; do
    for id in $(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null); do
      if [[ " $* " != *" $id "* ]] && [ "$(xdotool getwindowname "$id")" = "$title" ]; then
        echo "$id"
        return 0
      fi
    done
    app_running || fail "the program ended while waiting for \"$title\""
    sleep 0.1
    tries=$((tries + 1))
  done
  fail "no window \"$title\" within 20 s"
}

# wait_gone ID: waits until the window is no longer shown.
wait_gone() {
  local tries=0
  while xdotool search --onlyvisible --name "." 2>/dev/null | grep -qx "$1"; do
    [ $tries -lt 200 ] || fail "window $1 still shown after 20 s"
    sleep 0.1
    tries=$((tries + 1))
  done
}

# focus ID: gives the window the keyboard and waits until it has it. xdotool's own wait has no
# end: a focus that never shows is asked for again, and after 30 s the test fails rather than
# hangs.
focus() {
  local tries
  for tries in 1 2 3 4 5 6; do
    timeout 5 xdotool windowfocus --sync "$1" && return 0
  done
  fail "window $1 did not take the keyboard within 30 s"
}

# keys_to ID KEY...: gives the window the keyboard and presses the keys.
keys_to() {
  local id=$1
  shift
  focus "$id"
  xdotool key --delay 30 "$@"
}

# type_to ID TEXT: gives the window the keyboard and types the text.
type_to() {
  focus "$1"
  xdotool type --delay 5 "$2"
}

# fill_fields MAIN FIRST LAST AVI: types the three paths, moving between the fields with Tab in
# the dialog's tab order (Convert, the first and the AVI browse buttons, the first-file box, the
# AVI box, the last browse button, the last-file box), and leaves the focus on Convert.
fill_fields() {
  local main=$1
  keys_to "$main" Tab Tab Tab
  type_to "$main" "$2"
  keys_to "$main" Tab
  type_to "$main" "$4"
  keys_to "$main" Tab Tab
  type_to "$main" "$3"
  keys_to "$main" Tab
}

# choose_file PATH: types PATH into the location of the file dialog "Open" a browse button
# brought up, and waits until the dialog has gone.
choose_file() {
  local open
  open=$(wait_window "Open")
  keys_to "$open" ctrl+l
  type_to "$open" "$1"
  keys_to "$open" Return
  wait_gone "$open"
}

# screenshot ID FILE: the window's own pixels as a PNG.
screenshot() {
  xwd -silent -id "$1" -out "$WORK/window.xwd" &&
    ffmpeg -loglevel error -y -i "$WORK/window.xwd" -frames:v 1 -pix_fmt rgb24 "$2" ||
    echo "note: no screenshot taken" >&2
}

# wait_exit: waits up to 30 s for the program to end and sets EXIT_STATUS to its exit status
# (the sanitizer build's leak check at exit is slow on a busy machine).
wait_exit() {
  local tries=0
  while app_running; do
    if [ $tries -ge 300 ]; then
      xdotool search --onlyvisible --name . getwindowname %@ >&2 2>/dev/null || true
      fail "the program did not end (the windows still shown are listed above)"
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
  EXIT_STATUS=0
  wait "$APP_PID" || EXIT_STATUS=$?
  APP_PID=
}

# probe FILE: codec, width, height, rate and decoded frame count of the first video stream.
probe() {
  ffprobe -v error -select_streams v:0 -count_frames \
    -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_frames -of csv=p=0 "$1"
}

# long_sequence FRAMES: one large frame under FRAMES names (frames/shot0001.tga ...) and an
# empty out/ folder: enough work per frame that a pass is still running when a test acts on it,
# without filling the disk.
long_sequence() {
  "$SOURCE_DIR/scripts/make-sample.sh" "$WORK/frames" 1 1280x720 >/dev/null
  local n
  for n in $(seq 2 "$1"); do
    ln -s shot0001.tga "$(printf '%s/frames/shot%04d.tga' "$WORK" "$n")"
  done
  mkdir "$WORK/out"
}

avi_size() { stat -c %s "$WORK/out/shot.avi" 2>/dev/null || echo 0; }

# wait_for_size BYTES: waits up to 30 s for out/shot.avi to reach BYTES while the program runs.
wait_for_size() {
  local tries=0
  while [ "$(avi_size)" -lt "$1" ]; do
    [ $tries -lt 300 ] || fail "shot.avi stayed at $(avi_size) bytes, short of $1"
    app_running || fail "the program ended during the job"
    sleep 0.1
    tries=$((tries + 1))
  done
}

# convert_until_chooser LAST: starts the program, types frames/shot0001.tga, frames/LAST and
# out/shot.avi, presses Convert and waits for the compressor dialog. Sets main and chooser to
# the two windows' ids.
convert_until_chooser() {
  start_app
  main=$(wait_window "TGA TO AVI Converter")
  fill_fields "$main" "$WORK/frames/shot0001.tga" "$WORK/frames/$1" "$WORK/out/shot.avi"
  keys_to "$main" space
  chooser=$(wait_window "Video Compression")
}

# read_sequence_line ID: prints the text of the window's sequence line, read through the window
# as a user copies it: a click into the line (it sits at 158-190 of the window's 310 dialog
# units, across its width), Ctrl+A, and the X primary selection. Tab then takes the focus on to
# Convert, the first control of the tab order, as it stood before.
read_sequence_line() {
  local WIDTH HEIGHT X Y SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  focus "$1"
  xdotool mousemove --window "$1" $((WIDTH / 2)) $((HEIGHT * 174 / 310)) click 1
  xdotool key --delay 30 ctrl+a
  xclip -o -selection primary 2>/dev/null || true
  xdotool key Tab
}

# wait_sequence_line ID TEXT: waits up to 10 s for the sequence line to read TEXT exactly.
wait_sequence_line() {
  local tries=0 seen=
  while [ $tries -lt 50 ]; do
    seen=$(read_sequence_line "$1")
    [ "$seen" = "$2" ] && return 0
    sleep 0.2
    tries=$((tries + 1))
  done
  fail "the sequence line reads \"$seen\", not \"$2\""
}
