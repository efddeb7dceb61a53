# Helpers of the farm tests: the README's blocks, shots of frames, the checks. Sourced with the
# program, the repository and a temporary folder ($work) set; cd'd into $work.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

skip() {
  echo "SKIPPED: $*"
  exit 77
}

# The fenced block number $2 (1 by default) after the README line that holds $1.
readme_block() {
  awk -v mark="$1" -v want="${2:-1}" '
    index($0, mark) { found = 1; next }
    found && /^```/ { if (inside) { if (++done == want) exit; inside = 0 } else inside = 1; next }
    found && inside && done == want - 1 { print }' "$repo/README.md"
}

# Shot $1 of $2 frames (1001 on) in renders/$1/, the frames of scripts/make-sample.sh at size $3.
# Frames of one picture, hard-linked, when $4 is "same": long shots cost no disk.
make_shot() {
  local dir=renders/$1 n
  mkdir -p "$dir"
  if [ "${4:-}" = same ]; then
    "$repo/scripts/make-sample.sh" "$dir" 1 "$3" >/dev/null
    mv "$dir/shot0001.tga" "$dir/$1.1001.tga"
    for ((n = 1002; n < 1001 + $2; n++)); do ln "$dir/$1.1001.tga" "$dir/$1.$n.tga"; done
  else
    "$repo/scripts/make-sample.sh" "$dir" "$2" "$3" >/dev/null
    for ((n = 1; n <= $2; n++)); do mv "$dir/$(printf 'shot%04d' $n).tga" "$dir/$1.$((1000 + n)).tga"; done
  fi
  echo "$dir/$1.1001.tga" >>shots.txt
}

# The frames ffprobe decodes in file $1.
frames_in() {
  ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
    -of csv=p=0 "$1"
}

# Field $2 of the one-line JSON report in file $1: "status", or a file's ("colour.frames").
report() {
  local file=${2%%.*} key=${2#*.} pattern
  pattern="\"$key\":(\"[^\"]*\"|[^,}]*)"
  [ "$file" = "$2" ] || pattern="\"$file\":\\{[^}]*$pattern"
  sed -En "s/.*$pattern.*/\\1/p" "$1" | tr -d '"'
}

# Checks that report $1 has status $2 and that each file it says was written holds, as ffprobe
# decodes it, the frames the report counts ($3 of them, when given).
check_shot() {
  local status file path frames
  status=$(report "$1" status)
  [ "$status" = "$2" ] || fail "$1: status $status, not $2"
  for file in colour matte; do
    [ "$(report "$1" "$file.written")" = true ] || continue
    path=$(report "$1" "$file.path")
    frames=$(frames_in "$path") || fail "ffprobe cannot read $path"
    [ "$frames" = "$(report "$1" "$file.frames")" ] || fail "$path: ffprobe counts $frames frames"
    [ -z "${3:-}" ] || [ "$frames" = "$3" ] || fail "$path: $frames frames, not $3"
  done
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local until=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.1
  done
}

export PATH="$work/bin:$PATH"
mkdir -p "$work/bin" && ln -sf "$program" "$work/bin/tga2avi"
unset DISPLAY WAYLAND_DISPLAY
cd "$work"
