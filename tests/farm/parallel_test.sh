#!/usr/bin/env bash
# The README's GNU parallel block, run as it stands over three shots, one with a missing frame:
# the job log's exit status of each shot, every movie read by ffprobe, the shot's name on its
# lines; then the missing frame mended and the block run with --resume-failed, which converts
# that shot alone. Usage: parallel_test.sh PROGRAM REPOSITORY
program=$1 repo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$repo/tests/farm/lib.sh"
command -v parallel >/dev/null || skip "GNU parallel is missing (scripts/install-deps.sh --test)"
command -v ffprobe >/dev/null || skip "ffprobe is missing"
export HOME=$work # parallel keeps its notes under ~/.parallel
mkdir -p .parallel && touch .parallel/will-cite

readme_block "tests/farm/parallel_test.sh" >convert.sh
grep -q '^parallel ' convert.sh || fail "no parallel command in the README's block"
for shot in sh010 sh020 sh030; do make_shot $shot 4 64x48; done
rm renders/sh020/sh020.1002.tga

# Exitval of the job log's line for shot $1, and how many lines it has.
exitval() { awk -F'\t' -v shot="$1" 'index($9, "/" shot "/") { print $7 }' convert.log; }

status=0
bash convert.sh 2>err.txt || status=$?
[ $status = 1 ] || fail "parallel's exit status $status, not the one failed shot: $(cat err.txt)"
grep -qx "tga2avi: sh020.avi: Error on opening renders/sh020/sh020.1002.tga" err.txt ||
  fail "the missing frame's line does not name its shot: $(cat err.txt)"
for shot in sh010 sh020 sh030; do
  want=0 && [ $shot != sh020 ] || want=1
  [ "$(exitval $shot)" = $want ] || fail "$shot: job log says $(exitval $shot), not $want"
  check_shot renders/$shot/convert.json $want 4
done

cp renders/sh010/sh010.1001.tga renders/sh020/sh020.1002.tga
before=$(stat -c "%y %n" renders/sh010/sh010.avi renders/sh030/sh030.avi)
sed 's/^parallel /parallel --resume-failed /' convert.sh >resume.sh
bash resume.sh 2>err.txt || fail "--resume-failed: $(cat err.txt)"
[ "$(exitval sh020 | tr '\n' ' ')" = "1 0 " ] || fail "sh020 not run once more: $(cat convert.log)"
[ "$(wc -l <convert.log)" = 5 ] || fail "other shots ran again: $(cat convert.log)"
[ "$before" = "$(stat -c "%y %n" renders/sh010/sh010.avi renders/sh030/sh030.avi)" ] ||
  fail "the shots that had not failed were written again"
check_shot renders/sh020/convert.json 0 4
echo "parallel: the README's block and --resume-failed hold"
