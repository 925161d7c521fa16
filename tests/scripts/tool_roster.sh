#!/usr/bin/env bash
# quizdesk-tool roster: the table lands in the current folder unless -o says
# otherwise, and a names file at fault or a failed write leaves the table
# that was there untouched (the exam server may be reading it).
source "$(dirname "$0")/common.bash" "$@"

cd "$work"
printf 'Бондар Т.\n\n  Коваль І.  \n' >names.txt
run "$tool" roster names.txt
expect_rc "roster" 0
[ "$out" = "students.dbf: 2 students" ] || fail "roster: '$out'"
[ "$(stat -c %s students.dbf)" -eq $((456 + 2 * 92 + 1)) ] || fail "roster: size $(stat -c %s students.dbf)"
cp students.dbf before.dbf

printf 'Li 李\n' >foreign.txt
run "$tool" roster foreign.txt
expect_rc "a name outside code page 1251" 1
[[ "$err" == *'foreign.txt: line 1: "Li 李" holds "李" (U+674E), which code page 1251 cannot hold'* ]] \
  || fail "a name outside code page 1251: '$err'"

run "$tool" roster names.txt -o "$work/missing/students.dbf"
expect_rc "unwritable output" 1
[[ "$err" == *"cannot write \"$work/missing/students.dbf\""* ]] || fail "unwritable output: '$err'"

run "$tool" roster
expect_rc "no names file" 2
cmp -s students.dbf before.dbf || fail "a failed run changed students.dbf"
[ "$(ls)" = "$(printf 'before.dbf\nforeign.txt\nnames.txt\nstudents.dbf')" ] || fail "left behind: $(ls)"

finish
