#!/usr/bin/env bash
# The README's GNU parallel block as it stands, over three shots, one with a missing frame: the
# job log's exit status of each shot, every movie read by ffprobe, the shot named on its lines;
# then the frame mended and the block run with --resume-failed, which converts that shot alone.
# Usage: parallel_test.sh PROGRAM REPOSITORY
program=$(realpath "$1") repo=$(realpath "$2") work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && source "$repo/tests/farm/lib.sh"
for tool in parallel ffprobe; do
  command -v $tool >/dev/null || skip "$tool is missing (scripts/install-deps.sh --test)"
done
export HOME=$work && mkdir .parallel && touch .parallel/will-cite # parallel's notes stay here

readme_block tests/farm/parallel_test.sh >convert.sh
for shot in sh010 sh020 sh030; do make_shot $shot 4 64x48; done
rm renders/sh020/sh020.1002.tga
exitvals() { awk -F'\t' -v shot="/$1/" 'index($9, shot) { print $7 }' convert.log | xargs; }
status=0
bash convert.sh 2>err.txt || status=$?
[ $status = 1 ] || fail "parallel's exit status $status, not the one failed shot: $(cat err.txt)"
grep -qx "tga2avi: sh020.avi: Error on opening renders/sh020/sh020.1002.tga" err.txt ||
  fail "the missing frame's line does not name its shot: $(cat err.txt)"
for shot in sh010:0 sh020:1 sh030:0; do
  [ "$(exitvals ${shot%:*})" = ${shot#*:} ] || fail "$shot: the job log says $(exitvals ${shot%:*})"
  check_shot renders/${shot%:*}/convert.json ${shot#*:} 4
done

cp renders/sh010/sh010.1001.tga renders/sh020/sh020.1002.tga
others() { stat -c "%y %n" renders/sh010/sh010.avi renders/sh030/sh030.avi; }
before=$(others)
sed 's/^parallel /parallel --resume-failed /' convert.sh | bash 2>err.txt || fail "$(cat err.txt)"
[ "$(exitvals sh020)" = "1 0" ] && [ "$(wc -l <convert.log)" = 5 ] && [ "$before" = "$(others)" ] ||
  fail "not sh020 alone ran again: $(cat convert.log)"
check_shot renders/sh020/convert.json 0 4
