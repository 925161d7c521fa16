#!/usr/bin/env bash
# The exam server at campus scale, each figure beside its baseline measured
# in the same run, with the ratio and the aim:
#   - 1000 registrations on a journal holding 2500 open sittings, against
#     a fresh journal (aim: at most 1.5x); 5000 on a fresh one (under 3 s);
#   - one client's reply p50 against a raw durable commit of one row on the
#     same disk (at most 3x);
#   - saturated progress of 1000 clients (at least 30000 messages a second);
#   - the server's peak memory with 5000 connections (under 150 MB), beside
#     its memory before any connection;
#   - CPU per message at 5000 connections against 50 (at most 1.2x);
#   - each attack of quizdesk_attack_load for 20 s beside 50 well-behaved
#     clients: their p99 against the p99 without it (at most 3x), the
#     slowest registration (under 1 s), the server's peak memory (under
#     300 MB) and the journal's growth (at most 10 MB).
# Clients come from their own loopback addresses; the attacker from one.
# The journal is SQLite with full synchronisation, in a temporary folder.
#   bench/server_scale.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: server_scale.sh BUILD_DIR}" && pwd)
examd=$build/server/quizdesk-examd
load=$build/bench/quizdesk_server_load
attack=$build/bench/quizdesk_attack_load
source "$(dirname "$0")/../scripts/examd-start.bash"
work=$(mktemp -d)
server_pid=
stop_server() {
  examd_stop "$server_pid"
  server_pid=
}
trap 'stop_server; rm -rf "$work"' EXIT
ulimit -n "$(ulimit -Hn)"

mapfile -t names < <(seq -f 'student-%.0f' 0 5999)
perl "$(dirname "$0")/../tests/support/make_roster.pl" "${names[@]}" >"$work/students.dbf"

# serve [keep]: a server on a fresh journal (or the one there with keep).
serve() {
  [ "${1:-}" = keep ] || rm -f "$work"/exam.sqlite*
  rm -f "$work/server.out" "$work/server.err"
  examd_start "$work/server" "$examd" serve --listen 127.0.0.1 --port 0 --no-http \
    --roster "$work/students.dbf" --db "$work/exam.sqlite"
  server_pid=$examd_pid
  port=$examd_port
}
field() { sed -n "s/^$1 *//p" "$work/run.txt" | head -n1; }
run() { "$load" --port "$port" --spread 1 --time-limit 300 "$@" >"$work/run.txt" || true; }
kb() { sed -n "s/^$1:[[:space:]]*\([0-9]*\) kB/\1/p" "/proc/$server_pid/status"; }
ticks() { read -r -a s <"/proc/$server_pid/stat"; echo $((s[13] + s[14])); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
ms() { grep -o "$1 [0-9.]* ms" "$work/run.txt" | head -n1 | awk '{ print $(NF-1) }'; }
journal_kb() { du -k -c "$work"/exam.sqlite* 2>/dev/null | tail -n1 | cut -f1; }

echo "== registrations"
serve
run --clients 1000 --questions 0
fresh=$(field 'all registrations granted:' | tr -dc 0-9)
stop_server
serve
run --clients 2500 --questions 0
stop_server
serve keep
run --clients 1000 --questions 0 --first 2500
loaded=$(field 'all registrations granted:' | tr -dc 0-9)
stop_server
echo "1000 registrations with 2500 sittings open: $loaded ms; on a fresh journal: $fresh ms;" \
  "ratio $(ratio "$loaded" "$fresh") (aim: at most 1.5)"
serve
run --clients 5000 --questions 0
echo "5000 registrations on a fresh journal: $(field 'all registrations granted:') (aim: under 3000 ms)"
stop_server

echo "== one client's reply against a raw durable commit"
"$build/bench/quizdesk_commit_floor" "$work" 500 | tee "$work/floor.txt"
floor=$(grep -o 'p50 [0-9.]*' "$work/floor.txt" | cut -d' ' -f2)
serve
run --clients 1 --questions 400
one=$(grep -o 'progress reply latency: p50 [0-9.]*' "$work/run.txt" | awk '{ print $NF }')
stop_server
echo "one client's progress reply p50: $one ms; raw commit p50: $floor ms;" \
  "ratio $(ratio "$one" "$floor") (aim: at most 3)"

echo "== saturated progress, memory and CPU per message"
for n in 50 1000 5000; do
  serve
  idle=$(kb VmRSS)
  before=$(ticks)
  run --clients "$n"
  cpu=$(($(ticks) - before))
  peak=$(kb VmHWM)
  stop_server
  per=$(awk -v t="$cpu" -v h="$(getconf CLK_TCK)" -v m=$((n * 42)) \
    'BEGIN { printf "%.1f", t / h * 1e6 / m }')
  eval "cpu_$n=$per"
  echo "N = $n: $(field 'progress replies:'); CPU $per us a message;" \
    "peak memory $((peak / 1024)) MB (before any connection: $((idle / 1024)) MB)"
done
echo "CPU a message at 5000 connections: $cpu_5000 us; at 50: $cpu_50 us;" \
  "ratio $(ratio "$cpu_5000" "$cpu_50") (aim: at most 1.2)"

echo "== attacks, 20 s each beside 50 clients (think 500 ms)"
serve
run --clients 50 --think-ms 500
calm=$(ms 'progress reply latency: p50 [0-9.]* ms, p99')
stop_server
echo "without an attack: progress p99 $calm ms, slowest registration $(ms 'slowest registration reply:') ms"
for mode in big trickle idle names churn; do
  serve
  start_kb=$(journal_kb)
  "$attack" --port "$port" --mode "$mode" --connections 1000 --seconds 22 >"$work/attack.txt" &
  attacker=$!
  sleep 1
  run --clients 50 --think-ms 500
  wait "$attacker" || true
  p99=$(ms 'progress reply latency: p50 [0-9.]* ms, p99')
  peak=$(kb VmHWM)
  grown=$(($(journal_kb) - start_kb))
  stop_server
  echo "$mode: progress p99 $p99 ms, ratio $(ratio "$p99" "$calm") (aim: at most 3);" \
    "slowest registration $(ms 'slowest registration reply:') ms (aim: under 1000);" \
    "server peak $((peak / 1024)) MB (aim: under 300); journal +$((grown / 1024)) MB (aim: at most 10)"
  echo "  $(cat "$work/attack.txt")"
done
