# Starting quizdesk-examd for a script, a test or a benchmark: sourced.
#   source scripts/examd-start.bash
#   examd_start OUT COMMAND...
# runs COMMAND (a `quizdesk-examd serve` on free ports, --port 0 and, for a
# board, --http 127.0.0.1:0; or a wrapper that starts one) in the
# background, its stdout appended to OUT.out and its stderr to OUT.err, and
# waits until it says it listens, and, when it serves a board, where. Sets
# examd_pid, examd_port (the exam port it printed) and examd_board (the
# board's URL, empty without one). Returns 1, with the server's errors on
# stderr, when it has not started within ten seconds or has exited (it is
# then stopped).
#   examd_stop PID
# stops a server started so (TERM, then waits for it to end); an empty PID
# is no server.

examd_start() {
  local out=$1
  shift
  local board_wanted=
  case " $* " in *" --http "*) board_wanted=1 ;; esac
  "$@" >>"$out.out" 2>>"$out.err" &
  examd_pid=$!
  examd_port=
  examd_board=
  local _
  for _ in $(seq 200); do
    if grep -q 'listening' "$out.out" 2>/dev/null &&
      { [ -z "$board_wanted" ] || grep -q 'board on' "$out.out" 2>/dev/null; }; then
      break
    fi
    kill -0 "$examd_pid" 2>/dev/null || break
    sleep 0.05
  done
  examd_port=$(sed -n 's/.*listening on .* port \([0-9]*\),.*/\1/p' "$out.out" | tail -n 1)
  examd_board=$(sed -n 's/.*board on \(http:[^ ]*\)$/\1/p' "$out.out" | tail -n 1)
  if [ -z "$examd_port" ] || { [ -n "$board_wanted" ] && [ -z "$examd_board" ]; }; then
    echo "quizdesk-examd did not start: $(cat "$out.err" 2>/dev/null)" >&2
    examd_stop "$examd_pid"
    return 1
  fi
}

examd_stop() {
  [ -n "${1:-}" ] || return 0
  kill -TERM "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
