#!/usr/bin/env bash
# The picture of the frames: a typed first file shows its frame over the checkerboard on the
# left and its matte as grey on the right; a missing file empties the picture; the window closes
# at once while a frame is being read.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

# Solid red at alpha 128: 230,102,102 over the light squares, 204,76,76 over the dark; grey 128.
mkdir "$WORK/solid"
ffmpeg -loglevel error -f lavfi -i color=c=red:s=64x48 -vf "format=rgba,geq=r=255:g=0:b=0:a=128" \
  -frames:v 1 -c:v targa -pix_fmt bgra -start_number 1 "$WORK/solid/shot%04d.tga"

# colours_at ID X: the distinct colours ("r g b" a line) of 13 x 13 pixels around X of the
# window's 194 dialog units across and 214 of its 290 down: the middle of a half of the picture.
colours_at() {
  local WIDTH HEIGHT X Y SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  screenshot "$1" "$WORK/preview.png" 2>/dev/null
  ffmpeg -loglevel error -i "$WORK/preview.png" \
    -vf "crop=13:13:$((WIDTH * $2 / 194 - 6)):$((HEIGHT * 214 / 290 - 6))" \
    -f rawvideo -pix_fmt rgb24 - | od -An -tu1 -v | tr -s ' ' '\n' | grep . | paste -d' ' - - - |
    sort -u
}

# shows ID X COLOUR...: whether the colours there are exactly the given ones, give or take 2.
shows() {
  colours_at "$1" "$2" | awk -v want="${*:3}" '
    BEGIN { n = split(want, w, " ") / 3 }
    { ok = 0
      for (i = 0; i < n; i++)
        if ((($1 - w[3*i+1])^2 <= 4) && (($2 - w[3*i+2])^2 <= 4) && (($3 - w[3*i+3])^2 <= 4)) {
          ok = 1; seen[i] = 1 }
      if (!ok) exit 1 }
    END { for (i = 0; i < n; i++) if (!seen[i]) exit 1 }'
}

# wait_picture ID COLOUR...: waits up to 20 s for the left half to show the colours and the
# right half grey 128.
wait_picture() {
  local id=$1 tries=0
  shift
  until shows "$id" 56 "$@" && shows "$id" 139 "128 128 128"; do
    [ $tries -lt 100 ] || fail "the picture shows $(colours_at "$id" 56 | tr '\n' ,) and \
$(colours_at "$id" 139 | tr '\n' ,), not $* and 128 128 128"
    sleep 0.2
    tries=$((tries + 1))
  done
}

start_app
main=$(wait_window "TGA TO AVI Converter")
keys_to "$main" Tab Tab Tab
type_to "$main" "$WORK/solid/shot0001.tga"
keys_to "$main" Tab
wait_picture "$main" "230 102 102" "204 76 76"
screenshot "$main" "$ARTIFACTS/preview.png"

# A first file that is not there: the picture is emptied.
keys_to "$main" shift+Tab ctrl+a BackSpace
type_to "$main" "$WORK/solid/none0001.tga"
keys_to "$main" Tab
tries=0
while colours_at "$main" 139 | grep -qx "12[6-9] 12[6-9] 12[6-9]"; do
  [ $tries -lt 100 ] || fail "the picture of a missing frame is still shown"
  sleep 0.2
  tries=$((tries + 1))
done

# A large frame being read when the window is closed.
long_sequence 1
keys_to "$main" shift+Tab ctrl+a BackSpace
type_to "$main" "$WORK/frames/shot0001.tga"
keys_to "$main" Tab Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "closed during a read, the tool ended with status $EXIT_STATUS"
echo "PASS: the picture shows the first frame over the checkerboard and its matte"
