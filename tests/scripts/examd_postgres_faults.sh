#!/usr/bin/env bash
# The server's promise (a reply only for what the journal holds) when its
# PostgreSQL journal is stopped and started again in the middle of an exam,
# in a throw-away cluster as in examd_postgres.sh: finals that arrive
# meanwhile are each answered "accepted 0" within 2 s, none is granted
# while the database is down, the server reconnects by itself and says so
# in its log and on its board, and each final is stored once. Then `verify`
# on the shared journal: two servers keep one chain each, and a row changed
# with psql is found.
# Skipped (exit 0 with a note) without PostgreSQL.
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
pg_start() {
  as_owner "$pgbin/pg_ctl" -D "$pgdata" -l "$pgdata/log" -w -t 30 \
    -o "-p $pgport -k $pgdata -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
}
pg_start || { fail "pg_ctl start: $(tail -5 "$pgdata/log")"; finish; }
db=postgresql://exam@127.0.0.1:$pgport/postgres
sql() { psql -X -q -t -A "$db" -c "$1"; }

names=("Бондар Т." "Коваль І." "Лисенко М." "Мельник А.")
printf '%s\n' "${names[@]}" >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$work/students.dbf" >/dev/null

# lab N: starts a server with its board; sets port_N and board_N.
lab() {
  local n=$1
  "$examd" serve --port 0 --listen 127.0.0.1 --http 127.0.0.1:0 --roster "$work/students.dbf" \
    --db "$db" --name "lab-$n" >"$work/lab$n.out" 2>"$work/lab$n.err" &
  pids+=($!)
  for _ in $(seq 200); do
    grep -q 'board on' "$work/lab$n.out" 2>/dev/null && break
    sleep 0.05
  done
  printf -v "port_$n" '%s' "$(sed -n 's/.*listening on .* port \([0-9]*\),.*/\1/p' "$work/lab$n.out")"
  printf -v "board_$n" '%s' "$(sed -n 's/.*board on \(http:[^ ]*\)\/$/\1/p' "$work/lab$n.out")"
}
lab 1
lab 2
[ -n "$port_1" ] && [ -n "$port_2" ] || { fail "the servers did not start: $(cat "$work"/lab*.err)"; finish; }

for name in "${names[@]:0:3}"; do
  run "$sim" --port "$port_1" --host "pc-$name" --name "$name" reg progress:1:1:1
  [ "$out" = $'code 0\ncode 0' ] || fail "$name: $out"
done
run "$sim" --port "$port_2" --host "pc-2" --name "${names[3]}" reg
[ "$out" = "code 0" ] || fail "lab 2: $out"

# ---- PostgreSQL stopped in the middle of the exam, started 6 s later.
as_owner "$pgbin/pg_ctl" -D "$pgdata" -m fast -w -t 20 stop >/dev/null
sims=()
for name in "${names[@]:0:3}"; do
  "$sim" --port "$port_1" --host "pc-$name" --name "$name" --wait 3 --resend 40 final:75:Добре \
    >"$work/final-$name" &
  sims+=($!)
done
sleep 6
grep -q 'connecting again' "$work/lab1.err" ||
  fail "the log does not say the journal is being reconnected: $(cat "$work/lab1.err")"
journal=$(curl -s --max-time 5 "$board_1/api/journal")
grep -q '"state":"reconnecting"' <<<"$journal" || fail "the board during the outage: $journal"
pg_start || { fail "pg_ctl start again: $(tail -5 "$pgdata/log")"; finish; }
for p in "${sims[@]}"; do wait "$p"; done
for name in "${names[@]:0:3}"; do
  out=$(cat "$work/final-$name")
  grep -q '^again after' <<<"$out" || fail "$name: never asked again: $out"
  while read -r ms; do
    [ "$ms" -lt 2000 ] || fail "$name: asked again after $ms ms"
  done < <(sed -n 's/^again after \([0-9]*\) ms$/\1/p' <<<"$out")
  [ "$(tail -1 <<<"$out" | cut -d' ' -f1-2)" = "code 0" ] || fail "$name: not granted at last: $out"
  got=$(sql "SELECT count(*) FROM sittings WHERE student = '$name' AND state = 'finished' AND report IS NOT NULL")
  [ "$got" = 1 ] || fail "$name: $got finished sittings"
  got=$(sql "SELECT count(*) FROM events WHERE kind = 'final' AND (body::json->>'sitting')::bigint = (SELECT id FROM sittings WHERE student = '$name')")
  [ "$got" = 1 ] || fail "$name: $got final events"
done
grep -q 'takes messages again' "$work/lab1.err" ||
  fail "the log does not say the journal is back: $(cat "$work/lab1.err")"
journal=$(curl -s --max-time 5 "$board_1/api/journal")
grep -q '"state":"ready"' <<<"$journal" || fail "the board after the outage: $journal"

# ---- verify: one chain a server; a row changed behind their backs.
run "$examd" verify --db "$db"
expect_rc "verify" 0
grep -q '^chain lab-1: ' <<<"$out" || fail "verify, lab 1: $out"
grep -q '^chain lab-2: ' <<<"$out" || fail "verify, lab 2: $out"
sql "UPDATE sittings SET percent = 100 WHERE student = '${names[1]}'" >/dev/null
run "$examd" verify --db "$db"
expect_rc "verify after a change" 1
grep -q "(${names[1]}): percent is 100 in the journal" <<<"$err" || fail "verify after a change: $err"

finish
