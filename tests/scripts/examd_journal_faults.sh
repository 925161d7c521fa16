#!/usr/bin/env bash
# The server's promise (a reply only for what the journal holds) under
# faults of a SQLite journal, with simulated computers that send a message
# again on "accepted 0" as the client does:
# - another process holds the journal's write lock for 25 s while finals
#   arrive: each is answered "accepted 0" within 2 s, none is granted while
#   the lock is held, each is stored once after it is gone, and the board
#   answers meanwhile;
# - the journal file made read-only, then writable again;
# - the journal file deleted: noticed within 5 s, every message then asked
#   again, nothing granted.
# Every wait is bounded.
source "$(dirname "$0")/common.bash" "$@"

examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
db=$work/exam.sqlite
server_pid=
holder_pid=
cleanup() {
  for p in $holder_pid $server_pid; do
    kill -TERM "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

names=("Бондар Т." "Коваль І." "Лисенко М." "Мельник А." "Шевченко Т." "Ткаченко О.")
printf '%s\n' "${names[@]}" >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$work/students.dbf" >/dev/null

"$examd" serve --port 0 --listen 127.0.0.1 --http 127.0.0.1:0 --roster "$work/students.dbf" \
  --db "$db" --name lab-1 >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 200); do
  grep -q 'board on' "$work/server.out" 2>/dev/null && break
  sleep 0.05
done
port=$(sed -n 's/.*listening on .* port \([0-9]*\),.*/\1/p' "$work/server.out")
board=$(sed -n 's/.*board on \(http:[^ ]*\)\/$/\1/p' "$work/server.out")
[ -n "$port" ] && [ -n "$board" ] || { fail "the server did not start: $(cat "$work/server.err")"; finish; }

sql() { sqlite3 -cmd ".timeout 5000" "$db" "$@"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# checks the "again after N ms" lines of $1: each within 2 s, at least one.
asked_again_in_time() {
  local out=$1 what=$2
  grep -q '^again after' <<<"$out" || fail "$what: never asked again: $out"
  while read -r ms; do
    [ "$ms" -lt 2000 ] || fail "$what: asked again after $ms ms"
  done < <(sed -n 's/^again after \([0-9]*\) ms$/\1/p' <<<"$out")
}

for name in "${names[@]:0:3}"; do
  run "$sim" --port "$port" --host "pc-$name" --name "$name" reg progress:1:1:1
  [ "$out" = $'code 0\ncode 0' ] || fail "$name: $out"
done

# ---- Another process holds the write lock for 25 s.
(echo "BEGIN IMMEDIATE;"; sleep 25; echo "COMMIT;") | sqlite3 "$db" &
holder_pid=$!
for _ in $(seq 100); do
  sqlite3 -cmd ".timeout 0" "$db" "BEGIN IMMEDIATE; ROLLBACK;" 2>/dev/null || break
  sleep 0.05
done
locked_at=$(now_ms)
sims=()
for name in "${names[@]:0:3}"; do
  "$sim" --port "$port" --host "pc-$name" --name "$name" --wait 3 --resend 40 final:75:Добре \
    >"$work/final-$name" &
  sims+=($!)
done
# The board answers while the messages wait.
sleep 3
start=$(now_ms)
code=$(curl -s -o /dev/null -w '%{http_code}' --max-time 5 "$board/api/sittings")
took=$(($(now_ms) - start))
[ "$code" = 200 ] || fail "the board during the lock: HTTP $code"
[ "$took" -lt 1000 ] || fail "the board during the lock took $took ms"
[ "$(sqlite3 -readonly "$db" "SELECT count(*) FROM sittings WHERE state = 'finished'")" = 0 ] ||
  fail "a final was stored under another process's lock"
wait "$holder_pid"
holder_pid=
unlocked_at=$(now_ms)
for p in "${sims[@]}"; do wait "$p"; done
for name in "${names[@]:0:3}"; do
  out=$(cat "$work/final-$name")
  asked_again_in_time "$out" "$name under the lock"
  [ "$(tail -1 <<<"$out" | cut -d' ' -f1-2)" = "code 0" ] || fail "$name: not granted at last: $out"
done
[ $((unlocked_at - locked_at)) -ge 20000 ] || fail "the lock was held only $((unlocked_at - locked_at)) ms"
# Stored once each: one finished sitting, one final event, one report.
for name in "${names[@]:0:3}"; do
  got=$(sql "SELECT count(*), sum(report IS NOT NULL) FROM sittings WHERE student = '$name' AND state = 'finished'")
  [ "$got" = "1|1" ] || fail "$name: finished sittings and reports: $got"
  got=$(sql "SELECT count(*) FROM events WHERE kind = 'final' AND json_extract(body, '$.sitting') = (SELECT id FROM sittings WHERE student = '$name')")
  [ "$got" = 1 ] || fail "$name: $got final events"
done
grep -q 'locked' "$work/server.err" || fail "the log does not say the journal was locked: $(cat "$work/server.err")"

# ---- The journal file made read-only under the server, then writable.
chmod 444 "$db"
sleep 1.5
run "$sim" --port "$port" --host "pc-${names[3]}" --name "${names[3]}" --wait 3 --resend 3 reg
asked_again_in_time "$out" "read-only"
grep -q '^code' <<<"$out" && fail "granted while the journal is read-only: $out"
grep -q 'cannot be written' "$work/server.err" || fail "the log does not say the journal is read-only"
journal=$(curl -s --max-time 5 "$board/api/journal")
grep -q '"state":"lost"' <<<"$journal" || fail "the board does not show the read-only journal: $journal"
chmod 644 "$db"
sleep 1.5
run "$sim" --port "$port" --host "pc-${names[3]}" --name "${names[3]}" --resend 3 reg
[ "$(tail -1 <<<"$out" | cut -d' ' -f1-2)" = "code 0" ] || fail "writable again: $out"
journal=$(curl -s --max-time 5 "$board/api/journal")
grep -q '"state":"ready"' <<<"$journal" || fail "the board, the journal writable again: $journal"

# ---- The journal file deleted under the server: noticed within 5 s.
rm -f "$db"
deleted_at=$(now_ms)
for _ in $(seq 100); do
  grep -q 'is gone' "$work/server.err" && break
  sleep 0.05
done
grep -q 'is gone' "$work/server.err" || fail "the deleted journal was not noticed"
[ $(($(now_ms) - deleted_at)) -lt 5000 ] || fail "the deleted journal was noticed after 5 s"
run "$sim" --port "$port" --host "pc-${names[4]}" --name "${names[4]}" --wait 3 --resend 4 reg
asked_again_in_time "$out" "deleted"
grep -q '^code' <<<"$out" && fail "granted with the journal deleted: $out"
run "$sim" --port "$port" --host "pc-${names[1]}" --name "${names[1]}" --wait 3 reg
[ "$out" = again ] || fail "a sitting's message with the journal deleted: $out"

finish
