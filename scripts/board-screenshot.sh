#!/usr/bin/env bash
# The exam server's live board during an exam, drawn by headless Chromium
# into docs/screenshots/12-board.png. A server on free loopback ports takes
# a small roster and scores every final report against the demo test;
# dry runs of that test in examination mode sit the exam to the end,
# simulated computers (tests' exam_sim) are still answering, and one name
# that is not on the roster leaves an incident.
#
#   scripts/board-screenshot.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: board-screenshot.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
tool=$build/tools/quizdesk-tool
examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
work=$(mktemp -d)
source "$(dirname "$0")/examd-start.bash"
server_pid=
stop_server() {
  examd_stop "$server_pid"
  server_pid=
}
trap 'stop_server; rm -rf "$work"' EXIT

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

# The server scores every sitting against the same test (the verified column).
examd_start "$work/server" "$examd" serve --listen 127.0.0.1 --port 0 --http 127.0.0.1:0 \
  --roster "$work/students.dbf" --db "$work/exam.sqlite" --name lab-1 --test "$work/test" || exit 1
server_pid=$examd_pid
port=$examd_port
board=$examd_board


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

# A fresh profile, nothing from the network, the sandbox off as root; the
# virtual time lets the board's first poll land before the picture.
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=1280,560 \
  --virtual-time-budget=3000 --screenshot="$work/board.png" "$board" 2>"$work/chromium.log" || {
  cat "$work/chromium.log" >&2
  exit 1
}
cp "$work/board.png" "$root/docs/screenshots/12-board.png"
echo "board-screenshot: docs/screenshots/12-board.png"
