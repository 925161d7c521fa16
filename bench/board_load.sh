#!/usr/bin/env bash
# The exam server's board under load, on loopback, each figure beside a
# baseline measured in the same run:
#  1. /api/sittings with N sittings (default 5000): the board's request
#     rate against Python's http.server handing out the same bytes (aim:
#     at least 1/5 of it); ?since= with 10 changed rows (aim: p99 under
#     5 ms), beside the static server's p99 for the same small answer.
#  2. Progress replies of 1000 clients at about 1000 messages a second
#     (bench/ServerLoad.cpp): p99 with a board fetching the whole table
#     every 0.5 s against the p99 without (aim: at most 1.5 times).
#   bench/board_load.sh BUILD_DIR [N]
#   BOARD_SMOKE=1 bench/board_load.sh BUILD_DIR 50   (a quick run that only
#   checks that every step works: no aims)
set -euo pipefail

build=$(cd "${1:?usage: board_load.sh BUILD_DIR [N]}" && pwd)
n=${2:-5000}
examd=$build/server/quizdesk-examd
bench=$build/bench/quizdesk_board_bench
load=$build/bench/quizdesk_server_load
source "$(dirname "$0")/../scripts/examd-start.bash"
work=$(mktemp -d)
server_pid=
static_pid=
poll_pid=
stop_all() {
  examd_stop "$server_pid"
  server_pid=
  for pid in $static_pid $poll_pid; do kill "$pid" 2>/dev/null || true; done
  static_pid=
  poll_pid=
}
trap 'stop_all; rm -rf "$work"' EXIT
ulimit -n "$(ulimit -Hn)"
seconds=${BOARD_SECONDS:-5}
[ -z "${BOARD_SMOKE:-}" ] || seconds=1

roster() {
  local names
  mapfile -t names < <(seq -f 'student-%.0f' 0 $(($1 - 1)))
  perl "$(dirname "$0")/../tests/support/make_roster.pl" "${names[@]}" >"$work/students.dbf"
}

runs=0
serve() {
  rm -f "$work"/exam.sqlite*
  # A log of its own each time: the starter reads the port from it.
  runs=$((runs + 1))
  examd_start "$work/server-$runs" "$examd" serve --listen 127.0.0.1 --port 0 --http 127.0.0.1:0 \
    --roster "$work/students.dbf" --db "$work/exam.sqlite" || exit 1
  server_pid=$examd_pid
  port=$examd_port
  board=$examd_board
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

echo "== the board's tables with $n sittings"
roster "$n"
serve
mkdir -p "$work/static"
"$bench" fill --port "$port" --students "$n" --board "$board" --save "$work/static/sittings.json"
static_port=$(free_port)
python3 -m http.server --bind 127.0.0.1 --directory "$work/static" "$static_port" \
  >"$work/static.log" 2>&1 &
static_pid=$!
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://127.0.0.1:$static_port/sittings.json" && break
  sleep 0.1
done
"$bench" rate --url "${board}api/sittings" --vs "http://127.0.0.1:$static_port/sittings.json" \
  --seconds "$seconds" --connections 4
# The static server's answer of the same size as ?since='s, one at a time.
printf '%s' "$(head -c 3000 "$work/static/sittings.json")" >"$work/static/small.json"
echo "baseline: the static server's small answer one at a time: $("$bench" latency \
  --url "http://127.0.0.1:$static_port/small.json" --count 500)"
stop_all

echo "== progress replies of 1000 clients at ~1000 messages/s, without and with a board"
clients=1000
[ -z "${BOARD_SMOKE:-}" ] || clients=50
roster "$clients"
serve
"$load" --port "$port" --clients "$clients" --think-ms "$clients" --time-limit 300 |
  tee "$work/without.txt"
stop_all
serve
"$bench" poll --url "${board}api/sittings" --every-ms 500 --seconds 400 >"$work/poll.txt" &
poll_pid=$!
"$load" --port "$port" --clients "$clients" --think-ms "$clients" --time-limit 300 |
  tee "$work/with.txt"
kill "$poll_pid" 2>/dev/null || true
poll_pid=
without=$(sed -n 's/^progress reply latency: p50 [0-9.]* ms, p99 \([0-9.]*\) ms$/\1/p' "$work/without.txt")
with=$(sed -n 's/^progress reply latency: p50 [0-9.]* ms, p99 \([0-9.]*\) ms$/\1/p' "$work/with.txt")
awk -v a="$without" -v b="$with" 'BEGIN {
  r = (a > 0) ? b / a : 0
  printf "progress p99: without a board %.2f ms (baseline), with a board polling every 0.5 s %.2f ms, ratio %.2f (aim: at most 1.5) %s\n",
    a, b, r, (r <= 1.5 ? "MET" : "MISSED")
}'
