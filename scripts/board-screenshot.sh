#!/usr/bin/env bash
# The exam server's live board during an exam, drawn by headless Chromium
# (asking for Ukrainian) into docs/screenshots/12-board.png. A server on
# free loopback ports takes a small roster and scores every final report
# against the demo test; dry runs of that test in examination mode sit the
# exam to the end, simulated computers (tests' exam_sim) are still
# answering, and one name that is not on the roster leaves an incident.
# The page is opened once and never reloaded: a student's next answer shows
# live, the server is restarted on the same ports, the page goes on by
# itself with the next answer, and then the picture is taken.
#
#   scripts/board-screenshot.sh BUILD_DIR
set -euo pipefail

# The page's step that restarts the server runs this script again:
#   board-screenshot.sh --restart WORK PORT BOARD_PORT BUILD_DIR
restart=
if [ "${1:-}" = --restart ]; then
  restart=1
  work=$2
  port=$3
  board_port=$4
  shift 4
fi
build=$(cd "${1:?usage: board-screenshot.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/tools/quizdesk-tool
examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
source "$(dirname "$0")/examd-start.bash"
server_pid=
stop_server() {
  examd_stop "$server_pid"
  server_pid=
}

# The server scores every sitting against the same test (the verified
# column), on fixed free ports, so that a restart keeps the board's address.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
serve() {
  examd_start "${1:-$work/server}" "$examd" serve --listen 127.0.0.1 --port "$port" \
    --http "127.0.0.1:$board_port" --roster "$work/students.dbf" --db "$work/exam.sqlite" \
    --name lab-1 --test "$work/test" || exit 1
  server_pid=$examd_pid
  board=$examd_board
  echo "$server_pid" >"$work/server.pid"
}
if [ -n "$restart" ]; then
  old=$(cat "$work/server.pid")
  kill -TERM "$old"
  for _ in $(seq 100); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
  serve "$work/server-again"
  exit 0
fi

work=$(mktemp -d)
trap 'stop_server; rm -rf "$work"' EXIT
port=$(free_port)
board_port=$(free_port)

if ! command -v chromium >/dev/null; then
  echo "board-screenshot: chromium is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
for program in "$tool" "$examd" "$sim"; do
  [ -x "$program" ] || { echo "board-screenshot: $program is not built" >&2; exit 1; }
done

printf '%s\n' "Бондар Тарас" "Коваленко Олена" "Мельник Андрій" "Шевченко Ірина" \
  "Ткаченко Олег" "Лисенко Марія" >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$work/students.dbf" >/dev/null

# The demo test with the two files of examination mode.
cp -r "$root/examples/demo" "$work/test"
printf '127.0.0.1\r\n' >"$work/test/IPaddress.txt"
cp "$work/students.dbf" "$work/test/"

serve


# sit COMPUTER NAME SCRIPT: a dry run of examples/dryrun/SCRIPT in
# examination mode as NAME. The host name is the computer's own; in a UTS
# namespace of its own the run takes COMPUTER's, where the system allows.
sit() {
  local computer=$1 name=$2 script=$work/$1.script
  { printf 'name %s\nexam\n' "$name"; grep -v '^name ' "$root/examples/dryrun/$3"; } >"$script"
  local run=("$tool" run "$work/test" --script "$script" --seed 7 --char-w 10 --port "$port")
  mkdir -p "$work/home"
  if ! HOME=$work/home unshare --uts --map-root-user sh -c 'hostname "$0" && exec "$@"' \
      "$computer" "${run[@]}" >"$work/$computer.out" 2>&1; then
    HOME=$work/home "${run[@]}" >"$work/$computer.out" 2>&1 || {
      echo "board-screenshot: the dry run on $computer failed: $(cat "$work/$computer.out")" >&2
      exit 1
    }
  fi
}
sit pc-01 "Бондар Тарас" full.script
sit pc-02 "Коваленко Олена" partial.script

# Computers still at it, and a name the roster does not hold.
"$sim" --port "$port" --host pc-03 --name "Мельник Андрій" \
  reg progress:1:2:1 progress:2:5:1 progress:3:5:0 progress:4:8:1 >/dev/null
"$sim" --port "$port" --host pc-04 --name "Шевченко Ірина" reg progress:1:0:0 >/dev/null
"$sim" --port "$port" --host pc-05 --name "Ткаченко Олег" reg >/dev/null
"$sim" --port "$port" --host pc-06 --name "Петренко П." reg >/dev/null

# The page opened once; a mark set on it shows that it is never reloaded.
row() {
  echo "[...document.querySelectorAll(\"#sittings tbody tr\")].find(r => r.dataset.student === \"$1\")"
}
mel=$(row "Мельник Андрій")
shev=$(row "Шевченко Ірина")
CDP_ACCEPT_LANGUAGE=uk-UA,uk perl "$root/tests/support/cdp_drive.pl" chromium "$work/profile" \
  >"$work/drive.out" 2>"$work/drive.err" <<EOF || { cat "$work/drive.out" "$work/drive.err" >&2; exit 1; }
open $board
expect 8000 document.querySelectorAll("#sittings tbody tr").length === 5 && document.querySelector("h1").textContent === "Демонстраційний тест"
expect 1000 (window.sameDocument = 1) === 1
run "$sim" --port "$port" --host pc-03 --name "Мельник Андрій" progress:5:9:1 >/dev/null
expect 3000 (() => { const r = $mel; return !!r && r.querySelector(".state").textContent === "питання 6 з 12"; })()
run bash "$root/scripts/board-screenshot.sh" --restart "$work" "$port" "$board_port" "$build" >/dev/null
run "$sim" --port "$port" --host pc-04 --name "Шевченко Ірина" progress:2:1:1 >/dev/null
expect 5000 (() => { const r = $shev; return !!r && r.querySelector(".state").textContent === "питання 3 з 12"; })()
expect 1000 window.sameDocument === 1
shot $work/board.png 1440 760
EOF
cat "$work/drive.out"
server_pid=$(cat "$work/server.pid")
cp "$work/board.png" "$root/docs/screenshots/12-board.png"
echo "board-screenshot: docs/screenshots/12-board.png"
