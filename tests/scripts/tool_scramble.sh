#!/usr/bin/env bash
# quizdesk-tool scramble / unscramble: round trips, the kind from the file's
# name in any letter case, -o, and the refusals that protect a test file.
source "$(dirname "$0")/common.bash" "$@"

minimal=$fixtures/minimal
magic=765edf01

head_hex() { head -c "$2" "$1" | od -An -tx1 | tr -d ' \n'; }

# Both files scrambled in place (names in other letter cases), the test
# still loads, and unscrambling gives back the plain bytes.
dir=$work/rt && mkdir -p "$dir"
cp "$minimal/voprosi.txt" "$dir/VOPROSI.TXT"
cp "$minimal/otveti.txt" "$dir/Otveti.Txt"
run "$tool" scramble "$dir/VOPROSI.TXT" --seed 4660
expect_rc "scramble voprosi" 0
run "$tool" scramble "$dir/Otveti.Txt" --seed 65535
expect_rc "scramble otveti" 0
[ "$(head_hex "$dir/VOPROSI.TXT" 6)" = "${magic}3412" ] || fail "scrambled voprosi: header $(head_hex "$dir/VOPROSI.TXT" 6)"
[ "$(head_hex "$dir/Otveti.Txt" 6)" = "${magic}ffff" ] || fail "scrambled otveti: header $(head_hex "$dir/Otveti.Txt" 6)"
[ "$(stat -c %s "$dir/VOPROSI.TXT")" -eq $(($(stat -c %s "$minimal/voprosi.txt") + 4)) ] || fail "scrambled voprosi: size"
cp "$dir/VOPROSI.TXT" "$work/scrambled-voprosi"

load=$work/load && mkdir -p "$load"
cp "$dir/VOPROSI.TXT" "$load/voprosi.txt"
cp "$dir/Otveti.Txt" "$load/otveti.txt"
cp "$minimal/2.bmp" "$load"/
run "$tool" check "$load" --char-w 8
expect_rc "check scrambled" 0
[ "$out" = "OK: questions 2, sections 1, asked 2" ] || fail "check scrambled: '$out'"

run "$tool" unscramble "$dir/VOPROSI.TXT"
expect_rc "unscramble voprosi" 0
grep -q "seed 4660" <<<"$out" || fail "unscramble does not name the seed: '$out'"
cmp -s "$dir/VOPROSI.TXT" "$minimal/voprosi.txt" || fail "voprosi round trip"
run "$tool" unscramble "$dir/Otveti.Txt"
expect_rc "unscramble otveti" 0
cmp -s "$dir/Otveti.Txt" "$minimal/otveti.txt" || fail "otveti round trip"

# unscramble then scramble with the file's own seed gives the same bytes.
run "$tool" scramble "$dir/VOPROSI.TXT" --seed 4660
cmp -s "$dir/VOPROSI.TXT" "$work/scrambled-voprosi" || fail "scramble after unscramble differs"

# The kind decides the decoder's extra draw: unscrambling the questions file
# as answers gives a different text.
run "$tool" unscramble "$work/scrambled-voprosi" --kind answers -o "$work/as-answers"
expect_rc "unscramble --kind answers" 0
! cmp -s "$work/as-answers" "$minimal/voprosi.txt" || fail "--kind answers was ignored"

# -o leaves FILE as it was; --kind for a file of another name.
cp "$minimal/voprosi.txt" "$work/questions.txt"
run "$tool" scramble "$work/questions.txt" --kind questions --seed 1 -o "$work/out.bin"
expect_rc "scramble -o" 0
cmp -s "$work/questions.txt" "$minimal/voprosi.txt" || fail "scramble -o changed FILE"
[ "$(head_hex "$work/out.bin" 6)" = "${magic}0100" ] || fail "scramble -o: header"

# Refusals (exit 1) leave the file untouched.
cp "$minimal/voprosi.txt" "$work/voprosi.txt"
printf 'Дисципліна: Хімія#\r\n' | to_cp1251 "$work/otveti.txt"
cp "$work/otveti.txt" "$work/otveti.orig"
mkdir -p "$work/short" && printf '\x76\x5e\xdf\x01\x07' >"$work/short/voprosi.txt"
refusals=(
  "scramble $work/scrambled-voprosi --kind questions --seed 5|is scrambled already"
  "unscramble $work/voprosi.txt|is not scrambled"
  "unscramble $work/short/voprosi.txt|ends before its seed"
  "scramble $work/otveti.txt --seed 5|does not begin with \"На\""
  "scramble $work/no-such/voprosi.txt --seed 5|cannot read"
  "scramble $work/voprosi.txt --seed 5 -o $work/no-such/voprosi.txt|cannot write"
)
for row in "${refusals[@]}"; do
  args=${row%%|*}
  # shellcheck disable=SC2086
  run "$tool" $args
  expect_rc "$args" 1
  grep -qF "${row#*|}" <<<"$err" || fail "$args: stderr '$err'"
done
cmp -s "$work/voprosi.txt" "$minimal/voprosi.txt" || fail "a refusal changed voprosi.txt"
cmp -s "$work/otveti.txt" "$work/otveti.orig" || fail "a refusal changed otveti.txt"
[ ! -e "$work/no-such" ] || fail "a refusal created a directory"

# Misuse (exit 2): the kind cannot be told, the seed is missing or too large.
usage_cases=(
  "scramble $work/questions.txt --seed 5"
  "scramble $work/voprosi.txt --kind quiz --seed 5"
  "scramble $work/voprosi.txt"
  "scramble $work/voprosi.txt --seed 65536"
  "scramble $work/voprosi.txt --seed x"
  "scramble"
  "unscramble $work/voprosi.txt $work/otveti.txt"
)
for args in "${usage_cases[@]}"; do
  # shellcheck disable=SC2086
  run "$tool" $args
  expect_rc "$args" 2
done
cmp -s "$work/voprosi.txt" "$minimal/voprosi.txt" || fail "a usage error changed voprosi.txt"

finish
