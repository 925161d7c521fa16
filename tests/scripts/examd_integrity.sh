#!/usr/bin/env bash
# The exam server as the authority for results, against raw-socket clients
# (exam_sim) and the real client (the dry run in examination mode), with
# the demo test given by --test: an honest sitting is verified; a forged
# 100 % final with a wrong answer, a report of another test and progress
# going backwards are stored as sent, flagged, and the server's own figures
# are the result (the analysis of the journal too); a second login while
# the first is live is refused and the first finishes with its own result;
# after the first is gone the same computer continues; a sitting stopped from the board and by `stop`
# refuses the student's next message. A faulty test stops the server, and
# without --test the board says that nothing is verified.
source "$(dirname "$0")/common.bash" "$@"
source "$src/scripts/examd-start.bash"

examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
server_pid=
stop_server() {
  examd_stop "$server_pid"
  server_pid=
}
trap 'stop_server; rm -rf "$work"' EXIT

test_dir=$work/test
cp -r "$src/examples/demo" "$test_dir"
printf '127.0.0.1\r\n' >"$test_dir/IPaddress.txt"
names=("Петренко П.І." "Бондар Т." "Коваль І." "Мельник А." "Шевченко Т." "Ткаченко О." "Лисенко М." "Гнатюк А.")
printf '%s\n' "${names[@]}" >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$test_dir/students.dbf" >/dev/null
db=$work/exam.sqlite

# serve ARGS...: starts the server on free ports; sets $port and $board.
serve() {
  : >"$work/server.out"
  : >"$work/server.err"
  examd_start "$work/server" "$examd" serve --listen 127.0.0.1 --port 0 --http 127.0.0.1:0 \
    --roster "$test_dir/students.dbf" --db "$db" --name lab-1 "$@" ||
    { fail "the server did not start: $(cat "$work/server.err")"; finish; }
  server_pid=$examd_pid
  port=$examd_port
  board=$examd_board
}

# http METHOD PATH [HEADER]: the board's answer, "STATUS BODY".
http() {
  perl -MIO::Socket::INET -e '
    my ($method, $path, $header, $url) = @ARGV;
    my ($host, $port) = $url =~ m{http://([^:/]+):(\d+)};
    my $s = IO::Socket::INET->new(PeerAddr => $host, PeerPort => $port, Timeout => 5) or die;
    print $s "$method $path HTTP/1.1\r\nHost: $host:$port\r\n" . ($header ? "$header\r\n" : "") .
      "Content-Length: 0\r\nConnection: close\r\n\r\n";
    my $status = <$s>; my ($code) = $status =~ m{^HTTP/\S+ (\d+)};
    my $head = ""; while (my $l = <$s>) { last if $l eq "\r\n"; $head .= $l; }
    my ($len) = $head =~ /content-length:\s*(\d+)/i;
    read($s, my $body, $len // 0); print "$code $body";' "$1" "$2" "${3:-}" "$board"
}

# sim NAME [--host H] STEP...: a simulated lab computer; its replies in $out.
sim() {
  local name=$1
  shift
  run "$sim" --port "$port" --name "$name" "$@"
}

expect_incident() { # KIND TEXT
  run "$examd" incidents --db "$db"
  grep -q "  $1  .*$2" <<<"$out" || fail "no incident $1 with '$2' in: $out"
}

# sitting NAME: the student's row of the export, fields by name in $row_*.
sitting() {
  run "$examd" export --db "$db"
  line=$(grep "^$1," <<<"$out" | tail -n 1 | tr -d '\r')
  IFS=, read -r row_student row_computer row_started row_finished row_duration row_state \
    row_percent row_grade row_points row_max row_verified row_claimed row_claimed_grade \
    row_flags row_test <<<"$line"
}

# A faulty test stops the server with the loader's message.
mkdir "$work/empty"
run "$examd" serve --listen 127.0.0.1 --port 0 --no-http --roster "$test_dir/students.dbf" \
  --db "$work/other.sqlite" --test "$work/empty"
expect_rc "faulty test" 1
grep -q "the test in $work/empty: В текущей директории нет файла VOPROSI.TXT!" <<<"$err" ||
  fail "faulty test: $err"

serve --test "$test_dir"
grep -q "scoring with the test \"Демонстраційний тест\" in $test_dir" "$work/server.out" ||
  fail "start-up: $(cat "$work/server.out")"
[ "$(http GET /api/about)" = '200 {"verifying":true}' ] || fail "about: $(http GET /api/about)"

# An honest sitting by the real client: verified.
mkdir -p "$work/home"
{ echo exam; cat "$src/examples/dryrun/full.script"; } >"$work/full.script"
HOME=$work/home run "$tool" run "$test_dir" --script "$work/full.script" --seed 7 --char-w 10 \
  --port "$port"
expect_rc "honest run" 0
honest=$work/home/REZ_TEST/ПетренкоП_I_.txt
sitting "Петренко П.І."
[ "$row_percent $row_grade $row_points $row_max $row_verified $row_flags $row_test" = \
  "100 Відмінно 27.00 27 yes  Демонстраційний тест" ] || fail "honest: $line"

# A forged 100 % final: question 10 answered with option 1 (wrong), every
# figure of the report left at full marks.
iconv -f CP1251 -t UTF-8 "$honest" |
  sed 's/^    10          1.00        2,$/    10          1.00        1,/' | to_cp1251 "$work/forged.txt"
cmp -s "$honest" "$work/forged.txt" && fail "forged: the edit did not take"
sim "Бондар Т." --host pc-2 reg progress:12:27:1 final:100:Відмінно:"$work/forged.txt"
[ "$out" = $'code 0\ncode 0\ncode 0' ] || fail "forged: $out"
sitting "Бондар Т."
[ "$row_percent $row_grade $row_points $row_verified $row_claimed $row_claimed_grade" = \
  "96 Відмінно 26.00 mismatch 100 Відмінно" ] || fail "forged: $line"
expect_incident score-mismatch "the client: 100% Відмінно (27.00 of 27 points); the server: 96% Відмінно (26.00 of 27 points); scored otherwise: question(s) 10"
run "$examd" report "Бондар Т." --db "$db"
grep -q "^quizdesk-examd: the server's result: 96% Відмінно (26.00 of 27 points); the client claimed 100% Відмінно" <<<"$out" ||
  fail "report: $(tail -n 2 <<<"$out")"

# A report of another test, with a question it lacks and no registration.
iconv -f CP1251 -t UTF-8 "$honest" | sed 's/Демонстраційний тест/Інший тест/; s/^    10 /    44 /' |
  to_cp1251 "$work/foreign.txt"
sim "Коваль І." --host pc-3 final:100:Відмінно:"$work/foreign.txt"
[ "$out" = "code 0" ] || fail "foreign: $out"
sitting "Коваль І."
[ "$row_percent $row_verified" = "100 mismatch" ] || fail "foreign: $line"
# The test's name is the one the report gives.
[[ $line == *',"implausible-final,foreign-test",Інший тест' ]] || fail "foreign: flags in $line"
expect_incident foreign-test "a report of another test"
expect_incident implausible-final "a final message with no registration"
# The student x question table keeps the test's questions, then the
# gradebook's columns; with the test, its maxima under the header.
run "$examd" export --matrix --db "$db"
[ "$(head -n 1 <<<"$out" | tr -d '\r')" = "student,computer,1,2,3,4,5,6,7,8,9,10,11,12,points,max,test" ] ||
  fail "matrix: $(head -n 1 <<<"$out")"
grep -q '^Коваль І\.,pc-3,.*,27\.00,27,Інший тест'$'\r''$' <<<"$out" || fail "matrix: Коваль І.: $out"
run "$examd" export --matrix --db "$db" --test "$test_dir"
[ "$(sed -n 2p <<<"$out" | tr -d '\r')" = "maximum,,2,3,4,3,2,3,1,2,3,1,1,2,,,Демонстраційний тест" ] ||
  fail "matrix with --test: $(sed -n 2p <<<"$out")"
# The board's download of the table has it too: the server scores with the test.
[ "$(http GET /export/answers.csv | sed -n 2p | tr -d '\r')" = \
  "maximum,,2,3,4,3,2,3,1,2,3,1,1,2,,,Демонстраційний тест" ] ||
  fail "the board's answers.csv: $(http GET /export/answers.csv | head -n 2)"

# The analysis of the journal takes the server's figures: the forged 100 %
# is the server's 96 %, which scoring again with the test leaves as it is;
# the report of another test is refused by name.
run "$tool" rescore "$test_dir" --db "$db" --char-w 10
expect_rc "rescore --db" 1
[ "$out" = "0 of 2 reports change" ] || fail "rescore --db: $out"
[[ "$err" == *"sitting "*" (Коваль І.).txt: refused: "* ]] || fail "rescore --db: $err"
# The forged report carries the honest student's name; it is Бондар's
# sitting, and counts as his (a key with question 1 worth 3 changes both).
remarked=$work/remarked
mkdir -p "$remarked"
cp "$src/examples/demo/source/voprosi.txt" "$src/examples/demo"/*.jpg "$src/examples/demo"/*.bmp "$remarked/"
LC_ALL=C sed 's/^1) 1 1 2/1) 1 1 3/' "$src/examples/demo/source/otveti.txt" >"$remarked/otveti.txt"
run "$tool" rescore "$remarked" --db "$db" --char-w 10
grep -q "^Бондар Т. (sitting [0-9]* (Бондар Т.).txt): points 26.00 → 27.00, percent 96 → 96" <<<"$out" ||
  fail "rescore --db with another key: $out $err"

# Progress going backwards.
sim "Мельник А." --host pc-4 reg progress:3:5:1 progress:2:4:0 progress:3:30:1
[ "$out" = $'code 0\ncode 0\ncode 0\ncode 0' ] || fail "backwards: $out"
expect_incident implausible-progress "answered count went back from 3 to 2"
expect_incident implausible-progress "points went down from 5.00 to 4.00"
expect_incident implausible-progress "points 30.00 above the test's total of 27.00"

# A second login while the first is live: refused from the same computer
# and from another; the first goes on and finishes with its own result.
"$sim" --port "$port" --host pc-5 --name "Шевченко Т." reg progress:12:27:1 sleep:1500 \
  final:100:Відмінно:"$honest" >"$work/first.out" &
first=$!
sleep 0.7
sim "Шевченко Т." --host pc-5 reg
[ "$out" = "code -3" ] || fail "second login, same computer: $out"
sim "Шевченко Т." --host pc-9 reg
[ "$out" = "code -3" ] || fail "second login, other computer: $out"
wait "$first"
[ "$(cat "$work/first.out")" = $'code 0\ncode 0\ncode 0' ] || fail "first: $(cat "$work/first.out")"
expect_incident second-login "a registration while the sitting on pc-5 (127.0.0.1) is live"
sitting "Шевченко Т."
[ "$row_state $row_percent $row_verified" = "finished 100 yes" ] || fail "first's result: $line"

# After the first is gone, the same computer continues; another does not.
sim "Ткаченко О." --host pc-6 reg progress:1:2:1 drop
sleep 0.3
sim "Ткаченко О." --host pc-6 reg progress:2:3:1
[ "$out" = $'code 0\ncode 0' ] || fail "continues: $out"
sim "Ткаченко О." --host pc-7 reg
[ "$out" = "code -3" ] || fail "another computer: $out"
expect_incident two-computers "already sitting on pc-6"

# A stop from the board: the student's next message is refused.
"$sim" --port "$port" --host pc-8 --name "Лисенко М." reg progress:1:2:1 sleep:1500 \
  progress:2:3:1 >"$work/stopped.out" &
stopped=$!
sleep 0.7
[ "$(http POST "/api/stop?student=%D0%9B%D0%B8%D1%81%D0%B5%D0%BD%D0%BA%D0%BE%20%D0%9C.")" = \
  "403 the board's header is missing" ] || fail "stop without the header"
[ "$(http POST "/api/stop?student=%D0%9B%D0%B8%D1%81%D0%B5%D0%BD%D0%BA%D0%BE%20%D0%9C." \
  "X-QuizDesk-Board: stop")" = "200 stopped Лисенко М." ] || fail "stop from the board"
wait "$stopped"
[ "$(cat "$work/stopped.out")" = $'code 0\ncode 0\ncode -1' ] || fail "stopped: $(cat "$work/stopped.out")"
run "$examd" status --db "$db"
grep -q "Лисенко М\..*stopped by the examiner after 1 answer(s)" <<<"$out" || fail "status: $out"

# And by the command.
sim "Гнатюк А." --host pc-10 reg
run "$examd" stop "Гнатюк А." --db "$db"
expect_rc stop 0
[ "$out" = "stopped Гнатюк А." ] || fail "stop: $out"
run "$examd" stop "Гнатюк А." --db "$db"
expect_rc "stop again" 1
sim "Гнатюк А." --host pc-10 progress:1:1:1
[ "$out" = "code -1" ] || fail "after stop: $out"
stop_server

# Without --test nothing is verified, and the board says so.
serve
grep -q "results are not verified: no --test given" "$work/server.out" || fail "unverified line"
[ "$(http GET /api/about)" = '200 {"verifying":false}' ] || fail "about without a test"
stop_server
finish
