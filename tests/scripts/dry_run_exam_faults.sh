#!/usr/bin/env bash
# The dry run in examination mode against broken and hostile exam servers on
# loopback (tests/support's fake server, 127.0.0.1 only): damaged replies
# forever, a server that accepts and closes at once, one that never answers,
# one that floods requests to send again and never reads, one lost during
# the test, and an address that is not one. Each ends with the link given up
# within its time limit (10 s) and one message for it, on little CPU and
# memory (GNU time). The run waits for the verdict or the giving up, so the
# output shows which came. Every wait is bounded.
source "$(dirname "$0")/common.bash" "$@"

server_bin=$build/tests/fake_exam_server
home=$work/home
test_dir=$work/test
now="2026-12-07 10:05:09"
server_pid=
# What one run of the dry run may cost at most.
cpu_limit=2       # seconds, user + system
rss_limit_mb=150
wall_limit=14     # seconds: the link's 10 s and a margin

stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed (scripts/setup.sh)" >&2; exit 1; }

cp -r "$fixtures/timed" "$test_dir"
rm "$test_dir"/timed.*
printf '127.0.0.1\r\n' >"$test_dir/IPaddress.txt"
head -c 456 /dev/zero >"$test_dir/students.dbf" # a table of no students

# serve ARG...: starts the fake server so; sets $port.
serve() {
  : >"$work/server.log"
  : >"$work/accepts"
  rm -f "$work/server.port"
  "$server_bin" --log "$work/server.log" --accepts "$work/accepts" --lifetime 60 "$@" \
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

# play NAME PORT: plays the script on stdin under GNU time; checks the exit
# code, stderr, and the CPU, memory and wall time against the limits.
play() {
  local name=$1
  cat >"$work/$name.script"
  rm -rf "$home"
  mkdir -p "$home"
  HOME=$home run /usr/bin/time -f '%e %U %S %M' -o "$work/time" timeout 60 \
    "$tool" run "$test_dir" --script "$work/$name.script" --seed 7 --now "$now" --char-w 10 \
    --port "$2"
  expect_rc "$name" 0
  [ -z "$err" ] || fail "$name: stderr: $err"
  local wall user sys kb
  read -r wall user sys kb < <(tail -n 1 "$work/time")
  awk -v u="$user" -v s="$sys" -v l="$cpu_limit" 'BEGIN { exit !(u + s < l) }' ||
    fail "$name: $user s user + $sys s system of CPU"
  [ "$((kb / 1024))" -lt "$rss_limit_mb" ] || fail "$name: peak memory $((kb / 1024)) MB"
  awk -v w="$wall" -v l="$wall_limit" 'BEGIN { exit !(w < l) }' || fail "$name: took $wall s"
  wall_time=$wall
}

expect_out() {
  if ! diff -u - <(printf '%s\n' "${out//"$home"/@HOME@}") >&2; then
    fail "$1: output"
  fi
}

# connections: how many the server accepted.
connections() { wc -l <"$work/accepts"; }
messages() { wc -l <"$work/server.log"; }

no_link="message Не вдається встановити зв'язок\nіз програмою проведення іспиту!\n"
faulty='message Сбойное сообщение от программы проведения экзамена!\n'
results_closed='points 0.00
max 0
percent 0
minutes 0
seconds 0
grade Тест не завершено!
report @HOME@/REZ_TEST/БондарТ_.txt'
results_full='points 6.00
max 6
percent 100
minutes 0
seconds 31
grade Відмінно
report @HOME@/REZ_TEST/БондарТ_.txt'
register='exam
name Бондар Т.
begin'
answers='press 0 0
wait 10
next
press 0 1
wait 20
next
press 0 0
wait 1
next'

# Damaged replies forever: the box once, the repeats a few a second, and
# after ten in a row the link is given up; the title page works again (the
# window is closed from it).
serve --fallback flip
play damaged "$port" <<EOF
$register
close
EOF
expect_out damaged <<EOF
connected
$faulty
$no_link
EOF
stop_server
[ "$(messages)" -eq 10 ] || fail "damaged: $(messages) messages, expected 10"
awk -v w="$wall_time" 'BEGIN { exit !(w >= 2) }' || fail "damaged: repeats faster than 4 a second"

# A server that never answers: the registration is given up after 10 s.
serve --fallback silent
play silent "$port" <<EOF
$register
close
EOF
expect_out silent <<EOF
connected
$no_link
EOF
stop_server
[ "$(messages)" -eq 1 ] || fail "silent: $(messages) messages"
awk -v w="$wall_time" 'BEGIN { exit !(w >= 9.5) }' || fail "silent: gave up after $wall_time s"

# A server that accepts and closes at once: again at once, then later and
# later; given up after 10 s.
serve --close-on-accept
play "closes at once" "$port" <<EOF
$register
close
EOF
n=$(connections)
stop_server
[ "$n" -ge 3 ] && [ "$n" -le 8 ] || fail "closes at once: $n connections"
[ "$(grep -c '^connected$' <<<"$out")" -eq "$n" ] || fail "closes at once: connected lines"
[ "$(tail -n 1 <<<"$out")" = "$no_link" ] || fail "closes at once: the last line: $(tail -n 1 <<<"$out")"
[ "$(grep -c '^message' <<<"$out")" -eq 1 ] || fail "closes at once: messages: $out"

# A server that floods requests to send again and never reads: bounded CPU
# and memory (the limits of play), given up after 10 s.
serve --flood again
play flood "$port" <<EOF
$register
close
EOF
expect_out flood <<EOF
connected
$no_link
EOF
stop_server

# The server lost during the test: the test goes on to its results and the
# report; the final message never gets through, which the student is told.
serve grant vanish
play "lost during the test" "$port" <<EOF
$register
$answers
EOF
n=$(connections)
stop_server
got=$(grep -v '^connected$' <<<"${out//"$home"/@HOME@}")
if ! diff -u <(printf '%s\n%s\n' "$no_link" "$results_full") <(printf '%s\n' "$got") >&2; then
  fail "lost during the test: output"
fi
[ "$n" -le 8 ] || fail "lost during the test: $n connections"
[ "$(messages)" -eq 2 ] || fail "lost during the test: $(messages) messages"
report=$(sed -n 's/^report //p' "$work/.out")
[ -s "$report" ] || fail "lost during the test: no report on disk"

# An address that is none: told at once, no connection; the title page
# works again, and unticked the test starts.
for address in 'exam-server' '' '300.1.2.3'; do
  printf '%s\r\n' "$address" >"$test_dir/IPaddress.txt"
  serve
  play "address '$address'" "$port" <<EOF
$register
exam
begin
close
EOF
  expect_out "address '$address'" <<EOF
$no_link
$results_closed
EOF
  [ "$(connections)" -eq 0 ] || fail "address '$address': a connection"
  awk -v w="$wall_time" 'BEGIN { exit !(w < 5) }' || fail "address '$address': took $wall_time s"
  stop_server
done

finish
