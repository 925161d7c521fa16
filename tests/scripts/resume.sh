#!/usr/bin/env bash
# Resuming a run after a power cut: the demo test (every question type,
# pictures, two sections) is played by the dry run, cut ("crash") after each
# question is shown and after each is answered, and started again with the
# rest of the script. Every resumed run ends with the report, the points and
# the grade of the run that was never cut. Checkpoints that are damaged,
# cut, of another test or version, or edited by hand, and a report changed
# since, are refused with their message: a fresh start, nothing lost.
source "$(dirname "$0")/common.bash" "$@"

# The cuts are about what the files hold, not about the disk: a memory file
# system keeps the many synced writes cheap where there is one (the cost on
# the disk is bench/checkpoint_write's).
home=$work/home
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  home=$(mktemp -d -p /dev/shm quizdesk-resume.XXXXXX)
  trap 'rm -rf "$work" "$home"' EXIT
fi
rez=$home/REZ_TEST
now="2026-12-07 10:05:09"
script=$src/examples/dryrun/full.script
name="Петренко П.І."

# play DIR SCRIPT: the dry run with the fixed seed and clock.
play() {
  HOME=$home run "$tool" run "$1" --script "$2" --seed 7 --now "$now" --char-w 10
}

# The run that is never cut.
rm -rf "$home" && mkdir -p "$home"
play "$src/examples/demo" "$script"
expect_rc "uninterrupted" 0
ref_out=$out
cp "$rez/ПетренкоП_I_.txt" "$work/ref.report"

# Line numbers of "begin" and of each "next" in the script.
mapfile -t nexts < <(grep -n '^next$' "$script" | cut -d: -f1)
begin_line=$(grep -n '^begin$' "$script" | cut -d: -f1)
[ "${#nexts[@]}" -eq 12 ] || fail "the script answers ${#nexts[@]} questions, not 12"

# cut_and_resume WHAT HEAD_LINES CRASH_LINE TAIL_FROM: the first run plays
# the script's first HEAD_LINES lines, then CRASH_LINE (and "next" for a cut
# on the answer); the second names the student, begins and plays the script
# from line TAIL_FROM. The second run must end as the uncut one did.
cut_and_resume() {
  local what=$1 head=$2 crash=$3 from=$4
  rm -rf "$home" && mkdir -p "$home"
  { head -n "$head" "$script"; printf '%s\n' "$crash"; [ "$crash" = "crash" ] || echo next; } \
    >"$work/first.script"
  { printf 'name %s\nbegin\n' "$name"; tail -n "+$from" "$script"; } >"$work/second.script"
  play "$src/examples/demo" "$work/first.script"
  expect_rc "$what: the cut" 137
  [ -f "$rez/ПетренкоП_I_.checkpoint" ] || { fail "$what: no checkpoint"; return; }
  play "$src/examples/demo" "$work/second.script"
  expect_rc "$what: resumed" 0
  [[ "$out" == "title Тестування буде продовжено з питання "* ]] || fail "$what: title '$out'"
  [ "${out#*$'\n'}" = "$ref_out" ] || fail "$what: output '$out'"
  cmp -s "$rez/ПетренкоП_I_.txt" "$work/ref.report" || fail "$what: report differs"
  [ "$(ls "$rez")" = "ПетренкоП_I_.txt" ] || fail "$what: left behind: $(ls "$rez")"
}

for k in $(seq 1 12); do
  if [ "$k" -eq 1 ]; then shown=$begin_line; else shown=${nexts[$((k - 2))]}; fi
  cut_and_resume "shown $k" "$shown" crash $((shown + 1))
  answered=${nexts[$((k - 1))]}
  cut_and_resume "answered $k" $((answered - 1)) "crash answered" $((answered + 1))
done

# A cut run to refuse in several ways: cut with question 4 on the screen.
cut_at_4() {
  rm -rf "$home" && mkdir -p "$home"
  { head -n "${nexts[2]}" "$script"; echo crash; } >"$work/first.script"
  play "${1:-$src/examples/demo}" "$work/first.script"
  expect_rc "cut at 4" 137
  checkpoint=$rez/ПетренкоП_I_.checkpoint
  cp "$checkpoint" "$work/saved.checkpoint"
  cp "$rez/ПетренкоП_I_.txt" "$work/saved.report"
}
printf 'name %s\nbegin\n' "$name" >"$work/fresh.script"
tail -n "+$((nexts[2] + 1))" "$script" >>"$work/fresh.script"

# refused WHAT MESSAGE [DIR]: the second run says why, starts afresh with a
# new report, and the cut run's checkpoint and report are still there.
refused() {
  local what=$1 message=$2 dir=${3:-$src/examples/demo}
  play "$dir" "$work/fresh.script"
  expect_rc "$what" 0
  [ "$(head -n 1 <<<"$out")" = "title $message" ] || fail "$what: title '$(head -n 1 <<<"$out")'"
  grep -q '^report .*ПетренкоП_I_ (2)\.txt$' <<<"$out" || fail "$what: not a fresh report: $out"
  cmp -s "$rez/ПетренкоП_I_.txt" "$work/saved.report" || fail "$what: the old report changed"
  [ -e "$rez/ПетренкоП_I_.checkpoint.1" ] || fail "$what: the refused checkpoint is gone"
  [ ! -e "$checkpoint" ] || fail "$what: the fresh run left its checkpoint"
}
damaged="Збережене тестування пошкоджене або змінене: тест почнеться спочатку."

cut_at_4
printf 'X' | dd of="$checkpoint" bs=1 seek=200 conv=notrunc status=none
refused "damaged" "$damaged"

cut_at_4
truncate -s 300 "$checkpoint"
refused "truncated" "Збережене тестування обрізане: тест почнеться спочатку."

# Edited by hand: the seed changed, the checksum left as it was.
cut_at_4
sed -i 's/"seed":7,/"seed":8,/' "$checkpoint"
cmp -s "$checkpoint" "$work/saved.checkpoint" && fail "hand-edited: the edit did not apply"
refused "hand-edited" "$damaged"

# Edited by someone who knew the format: a point more, the checksum made
# anew. The answers no longer add up to the score.
cut_at_4
tail -n +2 "$checkpoint" | sed 's/\[1,2,true\]/[1,3,true]/' >"$work/body"
grep -q '\[1,3,true\]' "$work/body" || fail "re-signed edit: the edit did not apply"
printf 'QuizDesk checkpoint 1 %s %s\n' "$(wc -c <"$work/body")" \
  "$(sha256sum <"$work/body" | cut -d' ' -f1)" >"$checkpoint"
cat "$work/body" >>"$checkpoint"
refused "re-signed edit" "$damaged"

# Another version of the test (a byte more in its questions file), and
# another test.
cp -r "$src/examples/demo" "$work/demo2"
printf '\r\n' >>"$work/demo2/voprosi.txt"
cut_at_4 "$work/demo2"
foreign="Збережене тестування належить іншому тесту або іншій версії тесту: тест почнеться спочатку."
refused "another version" "$foreign"

rm -rf "$home" && mkdir -p "$home"
printf 'name %s\nbegin\nnext\ncrash\n' "$name" >"$work/timed.script"
play "$fixtures/timed" "$work/timed.script"
expect_rc "another test: the cut" 137
checkpoint=$rez/ПетренкоП_I_.checkpoint
cp "$rez/ПетренкоП_I_.txt" "$work/saved.report"
refused "another test" "$foreign"

# Unreadable: a folder where the file should be.
rm -rf "$home" && mkdir -p "$rez/ПетренкоП_I_.checkpoint"
play "$src/examples/demo" "$work/fresh.script"
expect_rc "unreadable" 0
[ "$(head -n 1 <<<"$out")" = "title Збережене тестування не вдалося прочитати: тест почнеться спочатку." ] ||
  fail "unreadable: '$out'"
[ -d "$rez/ПетренкоП_I_.checkpoint.1" ] || fail "unreadable: the folder was not kept"

# The report changed since the cut: it stays as it is, and the resumed run
# writes the whole report anew beside it.
cut_at_4
printf 'a line of my own\n' >>"$rez/ПетренкоП_I_.txt"
cp "$rez/ПетренкоП_I_.txt" "$work/changed.report"
{ printf 'name %s\nbegin\n' "$name"; tail -n "+$((nexts[2] + 1))" "$script"; } >"$work/second.script"
play "$src/examples/demo" "$work/second.script"
expect_rc "changed report" 0
grep -qx 'message Файл результатів змінено: його залишено, результати записано в новий файл.' <<<"$out" || fail "changed report: '$out'"
cmp -s "$rez/ПетренкоП_I_.txt" "$work/changed.report" || fail "changed report: overwritten"
cmp -s "$rez/ПетренкоП_I_ (2).txt" "$work/ref.report" || fail "changed report: the new one differs"

# The script word itself: "crash" with anything but "answered" is refused.
printf 'crash now\n' >"$work/bad.script"
HOME=$home run "$tool" run "$src/examples/demo" --script "$work/bad.script"
expect_rc "crash now" 2

finish
