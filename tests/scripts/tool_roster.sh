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

# The table never replaces the names it is made from.
cp names.txt same.txt
run "$tool" roster same.txt -o same.txt
expect_rc "output is the names" 1
[ "$err" = 'quizdesk-tool: same.txt: not written: it is the file of names' ] || fail "output is the names: '$err'"
cmp -s same.txt names.txt || fail "the names file was changed"
rm same.txt

# A name given twice is said, and the table still written.
printf 'Бондар Т.\nКоваль І.\nБондар Т.\nБондар Т.\n' >twice.txt
run "$tool" roster twice.txt -o twice.dbf
expect_rc "repeated name" 0
[ "$err" = 'quizdesk-tool: warning: twice.txt: the name "Бондар Т." is there more than once' ] ||
  fail "repeated name: '$err'"
rm twice.txt twice.dbf

run "$tool" roster
expect_rc "no names file" 2
cmp -s students.dbf before.dbf || fail "a failed run changed students.dbf"
[ "$(ls)" = "$(printf 'before.dbf\nforeign.txt\nnames.txt\nstudents.dbf')" ] || fail "left behind: $(ls)"

finish
