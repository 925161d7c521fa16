#!/usr/bin/env bash
# The exam server under load on loopback: N simulated computers connect at
# once, register, send progress for 40 questions and a final message with
# a 2 KB report (bench/ServerLoad.cpp). For each N: the time until every
# registration was granted, progress messages per second, p50/p99 reply
# latency, and the server's peak memory and CPU time. Then a run killed
# with SIGKILL in the middle: every replied-to message must be in the
# journal. The journal is SQLite with full synchronisation, in a temporary
# directory.
#   bench/server_load.sh BUILD_DIR [N...]      (default: 50 1000 5000)
# Aims on a 2-core machine: 5000 registrations granted within 5 s, p99
# reply latency under 50 ms at 1000 progress messages per second, under
# 200 MB peak memory.
set -euo pipefail

build=$(cd "${1:?usage: server_load.sh BUILD_DIR [N...]}" && pwd)
shift
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(50 1000 5000)
examd=$build/server/quizdesk-examd
load=$build/bench/quizdesk_server_load
source "$(dirname "$0")/../scripts/examd-start.bash"
work=$(mktemp -d)
server_pid=
stop_server() {
  examd_stop "$server_pid"
  server_pid=
}
trap 'stop_server; rm -rf "$work"' EXIT
# Both sides need a descriptor a connection.
ulimit -n "$(ulimit -Hn)"

# A roster of student-0 ... student-(N-1).
roster() {
  local names
  mapfile -t names < <(seq -f 'student-%.0f' 0 $(($1 - 1)))
  perl "$(dirname "$0")/../tests/support/make_roster.pl" "${names[@]}" >"$work/students.dbf"
}

# serve: a fresh journal and server; sets $port.
serve() {
  rm -f "$work"/exam.sqlite*
  rm -f "$work/server.out" "$work/server.err"
  examd_start "$work/server" "$examd" serve --listen 127.0.0.1 --port 0 --no-http \
    --roster "$work/students.dbf" --db "$work/exam.sqlite" || true
  server_pid=$examd_pid
  port=$examd_port
}

# The server's peak memory and CPU time, from /proc while it still runs.
measure() {
  local hwm ticks
  hwm=$(sed -n 's/^VmHWM:[[:space:]]*//p' "/proc/$server_pid/status")
  read -r -a stat <"/proc/$server_pid/stat"
  ticks=$(( stat[13] + stat[14] ))
  echo "server: peak memory $hwm, CPU time $(awk -v t="$ticks" -v h="$(getconf CLK_TCK)" \
    'BEGIN { printf "%.2f s", t / h }')"
}

for n in "${counts[@]}"; do
  roster "$n"
  # Saturation: every client sends its next message as soon as the last is
  # answered.
  echo "== N = $n, no think time"
  serve
  "$load" --port "$port" --clients "$n" --time-limit 300 || echo "(the run did not complete)"
  measure
  stop_server
  # Paced at about 1000 progress messages per second: each client thinks
  # N ms between answers (N = 50 and 1000 only; 5000 would take 200 s).
  if [ "$n" -le 1000 ]; then
    echo "== N = $n, ~1000 progress messages per second (think $n ms)"
    serve
    "$load" --port "$port" --clients "$n" --think-ms "$n" --time-limit 300 ||
      echo "(the run did not complete)"
    measure
    stop_server
  fi
done

# Killed in the middle: half the progress of 1000 clients.
roster 1000
echo "== SIGKILL after 20000 progress replies of 1000 clients"
serve
"$load" --port "$port" --clients 1000 --kill "$server_pid" --kill-after 20000 \
  --db "$work/exam.sqlite" --time-limit 120
wait "$server_pid" 2>/dev/null || true
server_pid=
