#!/usr/bin/env bash
# Two exam servers (two labs) on one PostgreSQL journal, in a throw-away
# cluster this test starts in a temporary directory on a loopback port and
# stops again: a student registered in one lab is refused -3 in the other,
# also when both registrations arrive at the same moment (the database's
# constraint decides, not either server's memory), and the board of either
# lab shows both. Skipped (exit 0 with a note) without PostgreSQL.
source "$(dirname "$0")/common.bash" "$@"

pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$pgbin" ] || [ ! -x "$pgbin/initdb" ]; then
  echo "PostgreSQL is not installed: skipped"
  exit 0
fi
examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
pgdata=$work/pg
pids=()

# PostgreSQL refuses to run as root: the cluster belongs to nobody.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u nobody -- "$@"
  else
    "$@"
  fi
}
cleanup() {
  for p in "${pids[@]}"; do
    kill -TERM "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  if [ -f "$pgdata/postmaster.pid" ]; then
    as_owner "$pgbin/pg_ctl" -D "$pgdata" -m immediate -w -t 20 stop >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

chmod 755 "$work"
mkdir -m 700 "$pgdata"
[ "$(id -u)" -ne 0 ] || chown nobody "$pgdata"
pgport=$(perl -MIO::Socket::INET -e \
  'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1", LocalPort => 0)->sockport')
as_owner "$pgbin/initdb" -D "$pgdata" -U exam --auth=trust -E UTF8 --locale=C >"$work/initdb.log" 2>&1 \
  || { fail "initdb: $(tail -5 "$work/initdb.log")"; finish; }
as_owner "$pgbin/pg_ctl" -D "$pgdata" -l "$pgdata/log" -w -t 30 \
  -o "-p $pgport -k $pgdata -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null \
  || { fail "pg_ctl start: $(tail -5 "$pgdata/log")"; finish; }
db=postgresql://exam@127.0.0.1:$pgport/postgres

names=("Бондар Т." "Коваль І." "Лисенко М." "Мельник А." "Шевченко Т." "Ткаченко О." "Руденко В."
       "Савченко Д.")
printf '%s\n' "${names[@]}" >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$work/students.dbf" >/dev/null

source "$src/scripts/examd-start.bash"
# lab N: starts a server; sets port_N and board_N.
lab() {
  local n=$1
  examd_start "$work/lab$n" "$examd" serve --port 0 --listen 127.0.0.1 --http 127.0.0.1:0 \
    --roster "$work/students.dbf" --db "$db" --name "lab-$n" || true
  pids+=("$examd_pid")
  printf -v "port_$n" '%s' "$examd_port"
  printf -v "board_$n" '%s' "$examd_board"
}
lab 1
lab 2
[ -n "$port_1" ] && [ -n "$port_2" ] || { fail "the servers did not start: $(cat "$work"/lab*.err)"; finish; }

# Registered in lab 1, refused in lab 2; another student in lab 2.
run "$sim" --port "$port_1" --host pc-1 --name "Бондар Т." reg progress:1:2:1
[ "$out" = $'code 0\ncode 0' ] || fail "lab 1: $out"
run "$sim" --port "$port_2" --host pc-21 --name "Бондар Т." reg
[ "$out" = "code -3" ] || fail "lab 2, the same student: $out"
run "$sim" --port "$port_2" --host pc-21 --name "Коваль І." reg
[ "$out" = "code 0" ] || fail "lab 2: $out"

# The same students in both labs at the same moment: one sitting each.
for name in "${names[@]:2}"; do
  "$sim" --port "$port_1" --host "a-$name" --name "$name" reg >"$work/race1-$name" &
  "$sim" --port "$port_2" --host "b-$name" --name "$name" reg >"$work/race2-$name" &
done
wait_pids=$(jobs -p)
for p in $wait_pids; do
  case " ${pids[*]} " in *" $p "*) ;; *) wait "$p" ;; esac
done
for name in "${names[@]:2}"; do
  got=$(cat "$work/race1-$name" "$work/race2-$name" | sort | tr '\n' ' ')
  [ "$got" = "code -3 code 0 " ] || fail "at once, $name: $got"
done

# Either board shows both labs: 2 + 6 sittings, one open sitting a student.
sittings() {
  perl -MIO::Socket::INET -e '
    my ($host, $port) = $ARGV[0] =~ m{http://([^:/]+):(\d+)};
    my $s = IO::Socket::INET->new(PeerAddr => $host, PeerPort => $port, Timeout => 5) or die;
    print $s "GET /api/sittings HTTP/1.1\r\nHost: $host:$port\r\nConnection: close\r\n\r\n";
    my $head = ""; while (my $l = <$s>) { last if $l eq "\r\n"; $head .= $l; }
    my ($len) = $head =~ /content-length:\s*(\d+)/i;
    read($s, my $body, $len // 0); print $body;' "$1"
}
# A board reads what the other server wrote within seconds (PostgreSQL
# cannot tell it of another server's commit): wait_board BOARD ERE waits up
# to 5 s for its table to match.
wait_board() {
  for _ in $(seq 50); do
    json=$(sittings "$1")
    grep -q "$2" <<<"$json" && return 0
    sleep 0.1
  done
  return 1
}
for board in "$board_1" "$board_2"; do
  wait_board "$board" '\("student":.*\)\{8\}' || true
  json=$(sittings "$board")
  count=$(grep -o '"student":' <<<"$json" | wc -l)
  [ "$count" -eq 8 ] || fail "$board: $count sittings: $json"
  grep -q '"server":"lab-1"' <<<"$json" || fail "$board: no lab 1"
  grep -q '"server":"lab-2"' <<<"$json" || fail "$board: no lab 2"
  grep -q '"student":"Бондар Т.".*"answered":1\|"answered":1,.*"student":"Бондар Т."' <<<"$json" ||
    fail "$board: Бондар Т. without the progress"
done
run "$examd" status --db "$db"
expect_rc status 0
[ "$(grep -c 'waiting\|answered' <<<"$out")" -eq 8 ] || fail "status: $out"
run "$examd" incidents --db "$db"
# Each lab's sitting is live (heard from within the minute): the other lab's
# registration is a second login.
[ "$(grep -c 'second-login' <<<"$out")" -eq 7 ] || fail "incidents: $out"

# A final with no report, on PostgreSQL: the claim kept, the sitting marked.
run "$sim" --port "$port_2" --host pc-21 --name "Коваль І." progress:1:1:1 progress:0:0:0 final:50:Задовільно
[ "$out" = $'code 0\ncode 0\ncode 0' ] || fail "final: $out"
wait_board "$board_1" '"claimedGrade":"Задовільно","claimedPercent":50,.*"flags":"implausible-progress,unreadable-report"' ||
  fail "final: $json"

finish
