# What the farm tests share; sourced with $program, $repo and $work set, in $work.
set -euo pipefail
fail() { echo "FAIL: $*" >&2 && exit 1; }
skip() { echo "SKIPPED: $*" && exit 77; }

# Fenced block number $2 (default 1) after the README line that holds $1.
readme_block() {
  awk -v mark="$1" -v want="${2:-1}" 'index($0, mark) { on = 1; next }
    on && /^```/ { if (inside && ++done == want) exit; inside = !inside; next }
    on && inside && done == want - 1' "$repo/README.md"
}

# Shot $1: $2 frames (1001 on) of size $3 in renders/$1/, listed in shots.txt; with $4 "same",
# one frame hard-linked $2 times, a long shot that costs no disk.
make_shot() {
  local dir=renders/$1 n count=$2
  [ "${4:-}" = same ] && count=1
  "$repo/scripts/make-sample.sh" "$dir" $count "$3" >/dev/null
  for ((n = 1; n <= count; n++)); do mv "$dir/$(printf shot%04d $n).tga" "$dir/$1.$((1000 + n)).tga"; done
  for ((n = 1002; n <= 1000 + $2 && count == 1; n++)); do ln "$dir/$1.1001.tga" "$dir/$1.$n.tga"; done
  echo "$dir/$1.1001.tga" >>shots.txt
}

# Field $2 of the one-line JSON report $1: "status", or a file's ("colour.frames").
report() {
  local pattern="\"${2#*.}\":(\"[^\"]*\"|[^,}]*)"
  [ "${2%%.*}" = "$2" ] || pattern="\"${2%%.*}\":\\{[^}]*$pattern"
  sed -En "s/.*$pattern.*/\\1/p" "$1" | tr -d '"'
}

# Report $1 has status $2, and each file it wrote holds, as ffprobe decodes it, the frames it
# says ($3 of them, when given).
check_shot() {
  local status file path frames
  status=$(report "$1" status)
  [ "$status" = "$2" ] || fail "$1: status $status, not $2"
  for file in colour matte; do
    [ "$(report "$1" "$file.written")" = true ] || continue
    path=$(report "$1" "$file.path")
    frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$path")
    [ "$frames" = "$(report "$1" "$file.frames")" ] && [ "$frames" = "${3:-$frames}" ] ||
      fail "$path: ffprobe counts $frames frames: $(cat "$1")"
  done
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local until=$((SECONDS + $1))
  until "${@:2}"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.1
  done
}

mkdir -p bin && ln -s "$program" bin/tga2avi
export PATH="$work/bin:$PATH"
unset DISPLAY WAYLAND_DISPLAY
