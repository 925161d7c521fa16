#!/usr/bin/env bash
# The dry run in examination mode against a real exam server on loopback
# (tests/support's fake server, 127.0.0.1 only): registration and grant,
# progress after every question but the last, the final message carrying the
# report file byte for byte, each refusal, a reply asking again and a damaged
# one, the server hanging up during the test, no server at all, and the two
# files of examination mode missing. Every wait is bounded.
source "$(dirname "$0")/common.bash" "$@"

server_bin=$build/tests/fake_exam_server
home=$work/home
test_dir=$work/test
now="2026-12-07 10:05:09"
server_pid=

stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

# The timed test (three questions, answered in order) with the two files of
# examination mode: the server on loopback and a table of two students.
cp -r "$fixtures/timed" "$test_dir"
rm "$test_dir"/timed.*
printf '127.0.0.1\r\n' >"$test_dir/IPaddress.txt"
printf '%s\n' "Бондар Т." "Коваль І." >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$test_dir/students.dbf" >/dev/null

# The message's host name as the link takes it from the system (none when it
# does not fit its 64-byte field).
host=$(hostname)
[ "${#host}" -lt 64 ] || host=

# serve STEP...: starts the fake server with these replies; sets $port.
serve() {
  : >"$work/server.log"
  # Gone before the server starts: the port read must be this server's.
  rm -f "$work/server.report" "$work/server.port"
  "$server_bin" --log "$work/server.log" --report "$work/server.report" --lifetime 30 "$@" \
    >"$work/server.port" &
  server_pid=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^port //p' "$work/server.port" 2>/dev/null) || true
    [ -n "$port" ] && return
    sleep 0.05
  done
  fail "the fake server did not start"
}

# play NAME PORT: plays $work/NAME.script (from stdin) on the test.
play() {
  local name=$1
  cat >"$work/$name.script"
  rm -rf "$home"
  mkdir -p "$home"
  HOME=$home run "$tool" run "$test_dir" --script "$work/$name.script" --seed 7 --now "$now" \
    --char-w 10 --port "$2"
  expect_rc "$name" 0
  [ -z "$err" ] || fail "$name: stderr: $err"
}

# expect_out NAME: stdout as on stdin (the home directory as @HOME@).
expect_out() {
  if ! diff -u - <(printf '%s\n' "${out//"$home"/@HOME@}") >&2; then
    fail "$1: output"
  fi
}

# expect_log NAME: the server's log as on stdin (the host as @HOST@, a final
# message's report length left out: the report names the test's directory;
# its bytes are compared on their own).
expect_log() {
  local want got
  want=$(cat)
  for _ in $(seq 60); do
    got=$(sed -e "s/ host=$host / host=@HOST@ /" -e 's/ report=[0-9]*//' "$work/server.log")
    [ "$got" = "$want" ] && break
    sleep 0.05
  done
  if ! diff -u <(printf '%s\n' "$want") <(printf '%s\n' "$got") >&2; then
    fail "$1: server log"
  fi
  stop_server
}

results_full='points 6.00
max 6
percent 100
minutes 0
seconds 31
grade Відмінно
report @HOME@/REZ_TEST/БондарТ_.txt'
results_closed='points 0.00
max 0
percent 0
minutes 0
seconds 0
grade Тест не завершено!
report @HOME@/REZ_TEST/БондарТ_.txt'
answers='press 0 0
wait 10
next
press 0 1
wait 20
next
press 0 0
wait 1
next'

# Registration and grant, a progress message after the first and second
# question, the final message with the report file as it is on disk.
serve
play grant "$port" <<EOF
exam
name Бондар Т.
begin
$answers
EOF
expect_out grant <<EOF
connected
$results_full
EOF
expect_log grant <<'EOF'
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
1 progress host=@HOST@ name="Бондар Т." count=1 right=1 score=2 grade="" checks
1 progress host=@HOST@ name="Бондар Т." count=2 right=1 score=4 grade="" checks
1 final host=@HOST@ name="Бондар Т." count=3 right=1 score=100 grade="Відмінно" checks
EOF
report=$(sed -n 's/^report //p' "$work/.out")
cmp "$report" "$work/server.report" || fail "grant: the final message does not carry the report"

# Each refusal returns to the title page with its message. After -2 the box
# stays ticked, so the next press registers again on a new connection; after
# -1 and -3 it is unticked, so the next press starts the test without the
# server.
msg_1='У Вас немає дозволу на проходження\nекзаменаційного тестування!\n'
msg_2='Ваші дані відсутні в БД!\nПеревірте правильність написання прізвища та ініціалів.\n'
msg_3='Тестування студента Бондар Т. вже проводиться!\n'
for code in -1 -2 -3; do
  serve "code:$code"
  play "refused$code" "$port" <<'EOF'
exam
name Бондар Т.
begin
begin
close
EOF
  msg_var=msg_${code#-}
  if [ "$code" = -2 ]; then
    again='connected
'
    tail='2 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
2 final host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="Тест не завершено!" checks'
  else
    again=
    tail=
  fi
  expect_out "refused$code" <<EOF
connected
refused $code
message ${!msg_var}
$again$results_closed
EOF
  if [ "$code" = -2 ]; then
    report=$(sed -n 's/^report //p' "$work/.out")
    cmp "$report" "$work/server.report" || fail "refused-2: the final message's report"
  fi
  expect_log "refused$code" <<EOF
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks${tail:+
$tail}
EOF
done

# A refusal during the test drops the link for the rest of the run; the test
# goes on without further messages.
serve grant code:-3
play "refused during the test" "$port" <<EOF
exam
name Бондар Т.
begin
$answers
EOF
expect_out "refused during the test" <<EOF
connected
refused -3
message $msg_3
$results_full
EOF
expect_log "refused during the test" <<'EOF'
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
1 progress host=@HOST@ name="Бондар Т." count=1 right=1 score=2 grade="" checks
EOF

# A reply asking again repeats the message silently; a damaged one repeats it
# with the message.
serve again flip
play "again" "$port" <<EOF
exam
name Бондар Т.
begin
$answers
EOF
expect_out "again" <<EOF
connected
message Сбойное сообщение от программы проведения экзамена!\n
$results_full
EOF
expect_log "again" <<'EOF'
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
1 progress host=@HOST@ name="Бондар Т." count=1 right=1 score=2 grade="" checks
1 progress host=@HOST@ name="Бондар Т." count=2 right=1 score=4 grade="" checks
1 final host=@HOST@ name="Бондар Т." count=3 right=1 score=100 grade="Відмінно" checks
EOF

# The server hangs up on the first progress message: the client connects
# again at once and sends it again; later messages and the final one go on
# the new connection.
serve grant hangup
play "hang-up" "$port" <<EOF
exam
name Бондар Т.
begin
$answers
EOF
expect_out "hang-up" <<EOF
connected
connected
$results_full
EOF
expect_log "hang-up" <<'EOF'
1 registration host=@HOST@ name="Бондар Т." count=0 right=0 score=0 grade="" checks
1 progress host=@HOST@ name="Бондар Т." count=1 right=1 score=2 grade="" checks
2 progress host=@HOST@ name="Бондар Т." count=1 right=1 score=2 grade="" checks
2 progress host=@HOST@ name="Бондар Т." count=2 right=1 score=4 grade="" checks
2 final host=@HOST@ name="Бондар Т." count=3 right=1 score=100 grade="Відмінно" checks
EOF
report=$(sed -n 's/^report //p' "$work/.out")
cmp "$report" "$work/server.report" || fail "hang-up: the final message does not carry the report"

# No server at all: the connection message, and the title page usable again:
# a second press tries again, and with the box unticked the test starts.
nothing=$("$server_bin" --unused-port)
play "no server" "$nothing" <<'EOF'
exam
name Бондар Т.
begin
begin
exam
begin
close
EOF
no_link="message Не вдається встановити зв'язок\nіз програмою проведення іспиту!\n"
expect_out "no server" <<EOF
$no_link
$no_link
$results_closed
EOF

# Without students.dbf every click on the box tells so (it ticks all the
# same); without IPaddress.txt the press tells so and unticks the box.
rm "$test_dir/students.dbf" "$test_dir/IPaddress.txt"
play "no files" "$nothing" <<'EOF'
exam
exam
exam
name Бондар Т.
begin
begin
close
EOF
expect_out "no files" <<EOF
message Не удается открыть файл students.dbf!
message Не удается открыть файл students.dbf!
message Не удается открыть файл students.dbf!
message Программа проведения экзамена не запущена!\nНе удается получить IP адрес.\n
$results_closed
EOF

# A bad port is refused before anything is played.
for p in 0 65536 x; do
  HOME=$home run "$tool" run "$test_dir" --script "$work/grant.script" --port "$p"
  expect_rc "--port $p" 2
  [ -z "$out" ] || fail "--port $p: output '$out'"
done

finish
