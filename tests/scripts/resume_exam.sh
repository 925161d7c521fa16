#!/usr/bin/env bash
# Resuming in examination mode, against the real exam server: the demo test
# played by the dry run is cut ("crash") with each question on the screen
# and right after each answer, and started again. The resumed run registers again
# and the server continues the same sitting: its journal holds one sitting
# with one final result (the one the uncut run gets), noted as resumed with
# the time away and the count. Then the examiner moves a sitting with
# `release --move`: the checkpoint alone, carried to another report folder,
# goes on there, and the sitting is still the one.
source "$(dirname "$0")/common.bash" "$@"
source "$src/scripts/examd-start.bash"

examd=$build/server/quizdesk-examd
script=$src/examples/dryrun/full.script
name="Петренко П.І."
now="2026-12-07 10:05:09"
home=$work/home
rez=$home/REZ_TEST
test_dir=$work/demo

stop_server() {
  if [ -n "${examd_pid:-}" ]; then
    kill -TERM "$examd_pid" 2>/dev/null || true
    wait "$examd_pid" 2>/dev/null || true
    examd_pid=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

cp -r "$src/examples/demo" "$test_dir"
printf '127.0.0.1\r\n' >"$test_dir/IPaddress.txt"
perl "$src/tests/support/make_roster.pl" "$name" >"$test_dir/students.dbf"

# serve DB: a server of its own journal, which scores with the test.
serve() {
  stop_server
  db=$work/$1.sqlite
  examd_start "$work/server-$1" "$examd" serve --listen 127.0.0.1 --port 0 --no-http \
    --roster "$test_dir/students.dbf" --db "$db" --name lab-1 --test "$test_dir" ||
    { fail "the server did not start"; finish; }
}

# play SCRIPT [HOME]: the dry run in examination mode.
play() {
  HOME=${2:-$home} run "$tool" run "$test_dir" --script "$1" --seed 7 --now "$now" --char-w 10 \
    --port "$examd_port"
}

# The journal's one sitting of the student, as `status` and the export show
# it; sets $sitting to the export's row without its times.
one_sitting() {
  run "$examd" export --db "$db"
  expect_rc "$1: export" 0
  [ "$(grep -c "^$name," <<<"$out")" = 1 ] || fail "$1: not one sitting: $out"
  sitting=$(grep "^$name," <<<"$out" | cut -d, -f6-)
}

# The run that is never cut.
serve uncut
{ echo exam; cat "$script"; } >"$work/uncut.script"
rm -rf "$home" && mkdir -p "$home"
play "$work/uncut.script"
expect_rc "uncut" 0
ref_out=$out
cp "$rez/ПетренкоП_I_.txt" "$work/ref.report"
one_sitting uncut
ref_sitting=$sitting
case $ref_sitting in finished,100,*,yes,*) ;; *) fail "uncut: sitting '$ref_sitting'" ;; esac
# A resumed sitting: the same result, marked as resumed.
resumed_sitting=${ref_sitting/,,/,resumed,}

mapfile -t nexts < <(grep -n '^next$' "$script" | cut -d: -f1)

# cut_and_resume WHAT HEAD_LINES CRASH TAIL_FROM: as in resume.sh, in
# examination mode and on a journal of its own.
cut_and_resume() {
  local what=$1 head=$2 crash=$3 from=$4
  serve "cut$head"
  rm -rf "$home" && mkdir -p "$home"
  { echo exam; head -n "$head" "$script"; echo "$crash"; [ "$crash" = crash ] || echo next; } \
    >"$work/first.script"
  { printf 'name %s\nbegin\n' "$name"; tail -n "+$from" "$script"; } >"$work/second.script"
  play "$work/first.script"
  expect_rc "$what: the cut" 137
  play "$work/second.script"
  expect_rc "$what: resumed" 0
  [[ "$out" == "title Тестування буде продовжено з питання "* ]] || fail "$what: title '$out'"
  [ "${out#*$'\n'}" = "$ref_out" ] || fail "$what: output '$out'"
  cmp -s "$rez/ПетренкоП_I_.txt" "$work/ref.report" || fail "$what: report differs"
  one_sitting "$what"
  [ "$sitting" = "$resumed_sitting" ] || fail "$what: sitting '$sitting', uncut '$ref_sitting'"
  run "$examd" report "$name" --all --db "$db"
  cmp -s <(report_text "$work/ref.report") "$work/.out" || fail "$what: the stored report"
  run "$examd" incidents --db "$db"
  [ "$(grep -c '  resumed  ' <<<"$out")" = 1 ] || fail "$what: incidents: $out"
  grep -q 'without a message; resumed 1 time  \[lab-1\]$' <<<"$out" || fail "$what: no count in: $out"
}

# Cut with every question on the screen (no answer yet) and right after
# every answer.
begin_line=$(grep -n '^begin$' "$script" | cut -d: -f1)
shown_at=("$begin_line" "${nexts[@]}")
for k in $(seq 1 "${#nexts[@]}"); do
  cut_and_resume "shown $k" "${shown_at[k - 1]}" crash $((shown_at[k - 1] + 1))
  cut_and_resume "answered $k" $((nexts[k - 1] - 1)) "crash answered" $((nexts[k - 1] + 1))
done

# Moved by the examiner: cut with question 4 on the screen; the checkpoint
# alone goes to another report folder, where the run goes on.
serve moved
rm -rf "$home" && mkdir -p "$home"
{ echo exam; head -n "${nexts[2]}" "$script"; echo crash; } >"$work/first.script"
play "$work/first.script"
expect_rc "moved: the cut" 137
run "$examd" release "$name" --move --db "$db"
expect_rc "release --move" 0
[ "$out" = "released $name to go on on another computer" ] || fail "release --move: '$out'"
run "$examd" release "Нікого Н." --move --db "$db"
expect_rc "release --move of no sitting" 1
other=$work/other
mkdir -p "$other/REZ_TEST"
cp "$rez/ПетренкоП_I_.checkpoint" "$other/REZ_TEST/"
{ printf 'name %s\nbegin\n' "$name"; tail -n "+$((nexts[2] + 1))" "$script"; } >"$work/second.script"
play "$work/second.script" "$other"
expect_rc "moved: resumed" 0
[ "${out#*$'\n'}" = "${ref_out//$home/$other}" ] || fail "moved: output '$out'"
cmp -s "$other/REZ_TEST/ПетренкоП_I_.txt" "$work/ref.report" || fail "moved: report differs"
[ "$(ls "$other/REZ_TEST")" = "ПетренкоП_I_.txt" ] || fail "moved: left: $(ls "$other/REZ_TEST")"
one_sitting moved
[ "$sitting" = "$resumed_sitting" ] || fail "moved: sitting '$sitting'"
run "$examd" incidents --db "$db"
grep -q 'resumed 1 time; moved here by the examiner  \[lab-1\]$' <<<"$out" || fail "moved: incidents: $out"
run "$examd" verify --db "$db"
expect_rc "moved: verify" 0

stop_server
finish
