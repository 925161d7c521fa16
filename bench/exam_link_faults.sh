#!/usr/bin/env bash
# What a broken or hostile exam server costs the client: the dry run in
# examination mode against the tests' fake server (127.0.0.1 only) in each
# of its broken modes, measured with GNU time: wall time, CPU time (user +
# system), peak memory, the connections the server accepted and the
# messages it read.
#   bench/exam_link_faults.sh BUILD_DIR [QUIZDESK_TOOL]
# QUIZDESK_TOOL (default BUILD_DIR/tools/quizdesk-tool) lets an older build
# be measured against the same servers. Each run is cut at 60 s and 4 GB of
# address space.
# Aims: each case well under 1 s of CPU and 100 MB of peak memory, a few
# connections a second at most, the link given up within its 10 s.
set -euo pipefail

build=$(cd "${1:?usage: exam_link_faults.sh BUILD_DIR [QUIZDESK_TOOL]}" && pwd)
tool=${2:-$build/tools/quizdesk-tool}
root=$(cd "$(dirname "$0")/.." && pwd)
server_bin=$build/tests/fake_exam_server
work=$(mktemp -d)
server_pid=
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }

test_dir=$work/test
mkdir -p "$test_dir" "$work/home"
cp "$root/tests/fixtures/timed/voprosi.txt" "$root/tests/fixtures/timed/otveti.txt" "$test_dir/"
printf '127.0.0.1\r\n' >"$test_dir/IPaddress.txt"
head -c 456 /dev/zero >"$test_dir/students.dbf" # a table of no students
printf 'exam\nname Ivanov\nbegin\npress 0 0\nnext\npress 0 0\nnext\npress 0 0\nnext\n' \
  >"$work/exam.script"

# measure NAME SERVER-ARGS...: one dry run against a server started so.
measure() {
  local name=$1
  shift
  : >"$work/log"
  : >"$work/accepts"
  "$server_bin" --log "$work/log" --accepts "$work/accepts" --lifetime 90 "$@" >"$work/port" &
  server_pid=$!
  local port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^port //p' "$work/port" 2>/dev/null) || true
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "$name: the fake server did not start" >&2; exit 1; }
  local rc=0
  (
    ulimit -v $((4 * 1024 * 1024))
    HOME=$work/home QT_QPA_PLATFORM=offscreen /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
      timeout 60 "$tool" run "$test_dir" --script "$work/exam.script" --seed 7 \
      --char-w 10 --port "$port" >"$work/out" 2>"$work/err"
  ) || rc=$?
  stop_server
  local wall user sys kb
  read -r wall user sys kb < <(tail -n 1 "$work/time") || true
  printf '%-28s rc %-3s wall %6ss  cpu %6ss  peak %6s MB  connections %6s  messages %7s  boxes %s\n' \
    "$name" "$rc" "$wall" "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')" "$((${kb:-0} / 1024))" \
    "$(wc -l <"$work/accepts")" "$(wc -l <"$work/log")" "$(grep -c '^message ' "$work/out" || true)"
  if [ -n "${VERBOSE:-}" ]; then
    sed 's/^/    /' "$work/out"
  fi
}

echo "== the dry run against broken exam servers ($tool)"
measure "damaged replies forever" --fallback flip
measure "accepts and closes at once" --close-on-accept
measure "accepts, never answers" --fallback silent
measure "floods 'again', never reads" --flood again
measure "closes during the test" grant vanish
