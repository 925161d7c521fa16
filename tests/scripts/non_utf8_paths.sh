#!/usr/bin/env bash
# Folders whose names are not UTF-8 (code page 1251 bytes, as a test copied
# from a Windows machine has): `check DIR` finds the test and its picture,
# and a dry run writes its report under a home folder named that way.
source "$(dirname "$0")/common.bash" "$@"

dir=$work/$'\xea\xe0\xf2'   # "кат"
home=$work/$'\xe4\xee\xec'  # "дом"
mkdir -p "$dir" "$home"
cp "$fixtures/minimal"/* "$dir"/

run "$tool" check "$dir" --char-w 8
expect_rc "check" 0
[ "$out" = "OK: questions 2, sections 1, asked 2" ] || fail "check: '$out' (stderr '$err')"

printf 'name Іван\nbegin\npress 0 0\nnext\ntype Київ\nnext\n' >"$work/run.script"
HOME=$home run "$tool" run "$dir" --script "$work/run.script" --seed 1 --char-w 8 \
  --now "2026-12-07 10:05:09"
expect_rc "run" 0
[[ "$out" == *"grade Відмінно"* ]] || fail "run: '$out' (stderr '$err')"
report=$(sed -n 's/^report //p' "$work/.out")
[ "$report" = "$home/REZ_TEST/Iван.txt" ] || fail "run: report '$report'"
[ -f "$report" ] || fail "run: no file at '$report'"
# The test name's second line names the folder by its own bytes.
grep -qaF "($dir)" "$report" || fail "run: the folder's line is not '($dir)'"

finish
