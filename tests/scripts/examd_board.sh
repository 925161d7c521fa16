#!/usr/bin/env bash
# The exam server's board in a real browser (Debian's Chromium, headless,
# driven over its DevTools pipe): a simulated computer registers and
# answers, and the open page shows it within a second without reloading,
# then its grade; the JSON carries the fields the board promises. Skipped
# (exit 0 with a note) when Chromium is not installed.
source "$(dirname "$0")/common.bash" "$@"

chromium=$(command -v chromium || true)
if [ -z "$chromium" ]; then
  echo "chromium is not installed: skipped"
  exit 0
fi
examd=$build/server/quizdesk-examd
sim=$build/tests/exam_sim
server_pid=
stop_server() {
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT

printf '%s\n' "Бондар Т." "Коваль І." >"$work/names.txt"
"$tool" roster "$work/names.txt" -o "$work/students.dbf" >/dev/null

source "$src/scripts/examd-start.bash"
examd_start "$work/server" "$examd" serve --port 0 --listen 127.0.0.1 --http 127.0.0.1:0 \
  --roster "$work/students.dbf" --db "$work/exam.sqlite" --name lab-1 ||
  { fail "the server did not start"; finish; }
server_pid=$examd_pid
port=$examd_port
board=$examd_board

# The JSON of one sitting carries every promised field.
"$sim" --port "$port" --host pc-7 --name "Коваль І." reg >/dev/null
curl_json=$(perl -MIO::Socket::INET -e '
  my ($host, $port) = $ARGV[0] =~ m{http://([^:/]+):(\d+)};
  my $s = IO::Socket::INET->new(PeerAddr => $host, PeerPort => $port, Timeout => 5) or die;
  print $s "GET /api/sittings HTTP/1.1\r\nHost: $host:$port\r\nConnection: close\r\n\r\n";
  my $head = ""; while (my $l = <$s>) { last if $l eq "\r\n"; $head .= $l; }
  my ($len) = $head =~ /content-length:\s*(\d+)/i;
  read($s, my $body, $len // 0); print $body;' "$board")
for key in student computer address state answered lastRight score percent grade started lastSeen; do
  grep -q "\"$key\":" <<<"$curl_json" || fail "/api/sittings has no $key: $curl_json"
done

row='[...document.querySelectorAll("#sittings tbody tr")].find(r => r.dataset.student === "Бондар Т.")'
perl "$src/tests/support/cdp_drive.pl" "$chromium" "$work/profile" \
  >"$work/drive.out" 2>"$work/drive.err" <<EOF || fail "board: $(cat "$work/drive.err")"
open $board
expect 5000 document.querySelectorAll("#sittings tbody tr").length === 1
run "$sim" --port "$port" --host pc-1 --name "Бондар Т." reg progress:1:2:1 | tr '\n' ' ' | grep -qx 'code 0 code 0 '
expect 1000 (() => { const r = $row; return !!r && r.querySelector(".state").textContent === "question 1 answered" && r.className === "answering"; })()
run "$sim" --port "$port" --host pc-1 --name "Бондар Т." final:83:Добре | grep -qx 'code 0'
expect 1000 (() => { const r = $row; return !!r && r.className === "finished" && r.querySelector(".score").textContent === "83% Добре"; })()
EOF
cat "$work/drive.out"
finish
