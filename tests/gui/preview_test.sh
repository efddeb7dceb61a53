#!/usr/bin/env bash
# The picture of the frames: a typed first file shows its frame over the checkerboard on the
# left half of the picture and its matte as grey on the right.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
gui_init "$@"

# Solid red at alpha 128: 230,102,102 over the light squares, 204,76,76 over the dark; grey 128.
mkdir "$WORK/solid"
ffmpeg -loglevel error -f lavfi -i color=c=red:s=64x48 -vf "format=rgba,geq=r=255:g=0:b=0:a=128" \
  -frames:v 1 -c:v targa -pix_fmt bgra -start_number 1 "$WORK/solid/shot%04d.tga"

# colours_at ID X: the distinct colours of 13 x 13 pixels around X of the window's 194 dialog
# units across and 218 of its 310 down (the middle of a half of the picture), "r g b," each.
colours_at() {
  local WIDTH HEIGHT X Y SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  screenshot "$1" "$WORK/preview.png" 2>/dev/null
  ffmpeg -loglevel error -i "$WORK/preview.png" \
    -vf "crop=13:13:$((WIDTH * $2 / 194 - 6)):$((HEIGHT * 218 / 310 - 6))" \
    -f rawvideo -pix_fmt rgb24 - | od -An -tu1 -v | tr -s ' ' '\n' | grep . | paste -d' ' - - - |
    sort -u | tr '\n' ,
}

start_app
main=$(wait_window "TGA TO AVI Converter")
keys_to "$main" Tab Tab Tab
type_to "$main" "$WORK/solid/shot0001.tga"
keys_to "$main" Tab
tries=0
until [ "$(colours_at "$main" 56)" = "204 76 76,230 102 102," ] &&
  [ "$(colours_at "$main" 139)" = "128 128 128," ]; do
  [ $tries -lt 100 ] ||
    fail "the picture shows $(colours_at "$main" 56) and $(colours_at "$main" 139) in its halves"
  sleep 0.2
  tries=$((tries + 1))
done
screenshot "$main" "$ARTIFACTS/preview.png"
keys_to "$main" Escape
wait_exit
[ "$EXIT_STATUS" = 0 ] || fail "the tool ended with status $EXIT_STATUS"
echo "PASS: the picture shows the first frame over the checkerboard and its matte"
