#!/usr/bin/env bash
# The exam server end to end on loopback with the real client (the dry run
# in examination mode) and a simulated one (exam_sim): grant, progress and
# the final report stored byte for byte; each refusal with the client's
# message; release; the server killed with SIGKILL and started again on its
# held socket (as systemd's socket unit holds it) while a client waits and
# during a sitting; SIGTERM ends it with 0. Every wait is bounded.
source "$(dirname "$0")/common.bash" "$@"

examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
holder=$src/tests/support/hold_socket.pl
home=$work/home
test_dir=$work/test
now="2026-12-07 10:05:09"
holder_pid=

stop_server() {
  if [ -n "$holder_pid" ]; then
    kill -TERM "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
    holder_pid=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

cp -r "$fixtures/timed" "$test_dir"
rm "$test_dir"/timed.*
printf '127.0.0.1\r\n' >"$test_dir/IPaddress.txt"
# The roster: a name starting with * is a record with the deletion mark.
# make_roster.pl writes it independently of `quizdesk-tool roster`, so
# that the reader is held to the layout and not only to our own writer.
perl "$src/tests/support/make_roster.pl" "Бондар Т." "Коваль І." "*Лисенко М." "Мельник А." "Шевченко Т." "Ткаченко О." \
  >"$test_dir/students.dbf"
printf 'Мельник А.\n' >"$work/deny.txt"
db=$work/exam.sqlite

# serve: starts the server on a held socket; sets $port.
serve() {
  rm -f "$work/port" "$work/pid"
  perl "$holder" "$work/port" "$work/pid" "$examd" serve --roster "$test_dir/students.dbf" \
    --db "$db" --no-http --deny "$work/deny.txt" --name lab-1 \
    >>"$work/server.out" 2>>"$work/server.err" &
  holder_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/port" ] && grep -q 'listening' "$work/server.out" 2>/dev/null && break
    sleep 0.05
  done
  port=$(cat "$work/port")
  [ -n "$port" ] || fail "the server did not start"
}

# play NAME: plays the script on stdin against the server.
play() {
  local name=$1
  cat >"$work/$name.script"
  rm -rf "$home"
  mkdir -p "$home"
  HOME=$home run "$tool" run "$test_dir" --script "$work/$name.script" --seed 7 --now "$now" \
    --char-w 10 --port "$port"
  expect_rc "$name" 0
}

expect_out() {
  if ! diff -u - <(printf '%s\n' "${out//"$home"/@HOME@}") >&2; then
    fail "$1: output"
  fi
}

results_full='points 6.00
max 6
percent 100
minutes 0
seconds 31
grade Відмінно
report @HOME@/REZ_TEST/'
answers='press 0 0
wait 10
next
press 0 1
wait 20
next
press 0 0
wait 1
next'

# expect_report NAME FILE: the journal's latest report of NAME is FILE's bytes.
expect_report() {
  run "$examd" report "$1" --db "$db"
  expect_rc "report $1" 0
  if ! cmp -s <(report_text "$2") "$work/.out"; then
    fail "report $1: not the client's report file"
  fi
}

serve

# A whole sitting: grant, progress, the final message with the report.
play grant <<EOF
exam
name Бондар Т.
begin
$answers
EOF
expect_out grant <<EOF
connected
${results_full}БондарТ_.txt
EOF
client_report=$home/REZ_TEST/БондарТ_.txt
expect_report "Бондар Т." "$client_report"
cp "$client_report" "$work/bondar.report"
run "$examd" export --db "$db"
expect_rc export 0
host=$(hostname)
[ "${#host}" -lt 64 ] || host=
line=$(sed -n 2p "$work/.out")
case $line in
  "Бондар Т.,$host,"*",finished,100,Відмінно,6.00,6,not checked,100,Відмінно,,Час на тест"$'\r') ;;
  *) fail "export: row '$line'" ;;
esac

# Refusals, each with the client's own message.
msg_1='У Вас немає дозволу на проходження\nекзаменаційного тестування!\n'
msg_2='Ваші дані відсутні в БД!\nПеревірте правильність написання прізвища та ініціалів.\n'
refused() { # NAME CODE MESSAGE
  play "refused $1" <<EOF
exam
name $1
begin
close
EOF
  expect_out "refused $1" <<EOF
connected
refused $2
message $3
EOF
}
refused "Петров П." -2 "$msg_2"
refused "Лисенко М." -1 "$msg_1"
refused "Мельник А." -1 "$msg_1"
refused "Бондар Т." -1 "$msg_1" # sat already
# -3: the student sits on another computer (a simulated one).
run "$sim" --port "$port" --host other-pc --name "Коваль І." reg
[ "$out" = "code 0" ] || fail "sim registration: $out"
refused "Коваль І." -3 'Тестування студента Коваль І. вже проводиться!\n'
run "$examd" incidents --db "$db"
for kind in not-on-roster no-permission two-computers; do
  grep -q "  $kind  " <<<"$out" || fail "incidents: no $kind in: $out"
done

# Release moves the student to this computer; the released one is refused.
run "$examd" release "Коваль І." --db "$db"
expect_rc release 0
run "$examd" release "Коваль І." --db "$db"
expect_rc "release again" 1
play moved <<EOF
exam
name Коваль І.
begin
$answers
EOF
expect_out moved <<EOF
connected
${results_full}КовальI_.txt
EOF
run "$sim" --port "$port" --host other-pc --name "Коваль І." progress:1:2:1
[ "$out" = "code -1" ] || fail "the released computer after the new sitting closed: $out"

# Killed while the client waits for its verdict: its connection and its
# registration wait unread in the held socket's queue, the server started
# again takes them, and the sitting runs to its report.
kill -STOP "$(cat "$work/pid")"
rm -rf "$home"
mkdir -p "$home"
cat >"$work/killed.script" <<EOF
exam
name Шевченко Т.
begin
$answers
EOF
HOME=$home "$tool" run "$test_dir" --script "$work/killed.script" --seed 7 --now "$now" \
  --char-w 10 --port "$port" >"$work/killed.out" 2>"$work/killed.err" &
client=$!
sleep 0.5
old=$(cat "$work/pid")
kill -KILL "$old"
for _ in $(seq 100); do
  [ "$(cat "$work/pid")" != "$old" ] && break
  sleep 0.05
done
wait "$client" || fail "killed: the client's exit"
out=$(cat "$work/killed.out")
expect_out killed <<EOF
connected
${results_full}ШевченкоТ_.txt
EOF
expect_report "Шевченко Т." "$home/REZ_TEST/ШевченкоТ_.txt"

# Killed during a sitting, right after a progress reply: what was replied
# to is in the journal; the client goes on on a new connection without
# registering again; its final message is stored once.
run "$sim" --port "$port" --host pc-9 --name "Ткаченко О." reg progress:1:2:1
[ "$out" = $'code 0\ncode 0' ] || fail "sim before the kill: $out"
kill -KILL "$(cat "$work/pid")"
run "$examd" status --db "$db"
grep -q "Ткаченко О. .*question 1 answered" <<<"$out" || fail "status after the kill: $out"
run "$sim" --port "$port" --host pc-9 --name "Ткаченко О." --wait 10 progress:2:4:1 \
  "final:100:Відмінно:$work/bondar.report" "final:100:Відмінно:$work/bondar.report" \
  "final:100:Відмінно"
[ "$out" = $'code 0\ncode 0\ncode 0\ncode 0' ] || fail "sim after the kill: $out"
run "$examd" report "Ткаченко О." --all --db "$db"
cmp -s <(report_text "$work/bondar.report") "$work/.out" || fail "the final report is not stored once"

# A damaged message is asked again.
damaged=$(printf '%0326d' 0)
run "$sim" --port "$port" --wait 2 "raw:$damaged"
[ "$out" = "again" ] || fail "damaged message: $out"

# The roster is read again after a change: replaced by a rename, and
# written in place.
# roster_with NAME...: the roster's names plus these.
roster_with() {
  perl "$src/tests/support/make_roster.pl" "Бондар Т." "$@"
}
# granted_within NAME HOST: registers until granted, at most 5 s.
granted_within() {
  local got=
  for _ in $(seq 25); do
    got=$("$sim" --port "$port" --host "$2" --name "$1" reg)
    [ "$got" = "code 0" ] && return 0
    sleep 0.2
  done
  fail "$1 not granted within 5 s of the roster's change: $got"
}
run "$sim" --port "$port" --host pc-n --name "Новий Н." reg
[ "$out" = "code -2" ] || fail "before the roster's change: $out"
roster_with "Новий Н." >"$work/roster.new"
mv "$work/roster.new" "$test_dir/students.dbf"
granted_within "Новий Н." pc-n
roster_with "Новий Н." "Інший І." >"$work/roster.new"
cat "$work/roster.new" >"$test_dir/students.dbf"
granted_within "Інший І." pc-i

# The exports: CSV in code page 1251 with semicolons, XLSX, the matrix.
run "$examd" export --format csv-1251 --db "$db"
expect_rc "export csv-1251" 0
head -1 "$work/.out" | iconv -f CP1251 -t UTF-8 | grep -q '^student;computer;started;finished;duration;state;percent;grade' ||
  fail "csv-1251: header"
iconv -f CP1251 -t UTF-8 "$work/.out" | grep -q '^Бондар Т\.;' || fail "csv-1251: no row of Бондар Т."
run "$examd" export --format xlsx -o "$work/exam.xlsx" --db "$db"
expect_rc "export xlsx" 0
[ "$(head -c 2 "$work/exam.xlsx")" = PK ] || fail "xlsx: not a workbook"
# An export cut short (here by a file-size limit) leaves the file of that
# name as it was, and no part of the new one beside it.
for format in csv xlsx; do
  printf 'the previous export\n' >"$work/cut.$format"
  (ulimit -f 0; "$examd" export --format $format -o "$work/cut.$format" --db "$db") >/dev/null 2>&1 &&
    fail "export $format over the size limit succeeded"
  [ "$(cat "$work/cut.$format")" = "the previous export" ] || fail "export $format cut short replaced the file"
done
if ls "$work" | grep -q '^cut\..*\.'; then
  fail "a part of a cut export is left: $(ls "$work" | grep '^cut\.' | tr '\n' ' ')"
fi
run "$examd" export --matrix --db "$db"
expect_rc "export --matrix" 0
[ "$(head -1 <<<"$out")" = $'student,computer,1,2,3,points,max,test\r' ] || fail "matrix header: $(head -1 <<<"$out")"
grep -q $'^Бондар Т\.,.*,2\.00,2\.00,2\.00,6\.00,6,Час на тест\r$' <<<"$out" || fail "matrix: $out"

# A command on a journal that is not there says so and makes none.
run "$examd" status --db "$work/none.sqlite"
expect_rc "status without a journal" 1
[ ! -e "$work/none.sqlite" ] || fail "status made a journal"

# SIGTERM: a clean exit 0.
kill -TERM "$holder_pid"
set +e
wait "$holder_pid"
rc=$?
set -e
holder_pid=
[ "$rc" -eq 0 ] || fail "SIGTERM: exit $rc"

# Without the right to a low port the error says how to grant it.
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null; then
  mkdir -m 777 "$work/nobody"
  chmod 755 "$work" "$test_dir"
  chmod 644 "$test_dir/students.dbf"
  run runuser -u nobody -- "$examd" serve --port 1023 --roster "$test_dir/students.dbf" \
    --db "$work/nobody/exam.sqlite" --no-http
  expect_rc "low port" 1
  grep -q "cap_net_bind_service" <<<"$err" || fail "low port: $err"
fi

finish
