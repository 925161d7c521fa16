#!/usr/bin/env bash
# The Debian packages as a school gets them, on a throwaway Debian 12 machine
# (CI, as root): lintian, the desktop entry and the AppStream data, then the
# three packages installed with apt, the installed client's window on a copy
# of the installed demo test (under Xvfb), the installed server started on
# its socket (systemd's socket unit where systemd runs, else
# systemd-socket-activate with the unit's own command line) and a dry run in
# examination mode against it, and at last a purge that must leave nothing.
#
#   tests/packaging/check.sh --install-on-this-machine BUILD_DIR
#
# It installs and purges packages: the flag keeps it from a developer's own
# machine (make test never runs it; .ci/run does, through make package-check).
set -euo pipefail

if [ "${1-}" != --install-on-this-machine ] || [ $# -ne 2 ]; then
  echo "usage: $0 --install-on-this-machine BUILD_DIR (installs and purges the packages)" >&2
  exit 2
fi
[ "$(id -u)" -eq 0 ] || { echo "$0: installs packages: run it as root" >&2; exit 2; }
build=$(cd "$2" && pwd)
src=$(cd "$(dirname "$0")/../.." && pwd)
packages=(quizdesk quizdesk-tools quizdesk-examd)
started=$SECONDS
work=$(mktemp -d)
failures=0
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# within SECONDS CMD...: runs CMD every 0.1 s until it succeeds, at most SECONDS.
within() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# ---- the packages as built
debs=()
for p in "${packages[@]}"; do
  deb=$(ls "$build"/packages/"${p}"_*.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || { echo "FAIL: no package $p in $build/packages (make package)" >&2; exit 1; }
  debs+=("$deb")
  printf '%-16s %6s KiB  %s\n' "$p" "$(($(stat -c %s "$deb") / 1024))" "$(basename "$deb")"
done

echo "== lintian"
if ! lintian --fail-on error --tag-display-limit 0 "${debs[@]}" >"$work/lintian" 2>&1; then
  fail "lintian reports errors"
fi
cat "$work/lintian"
echo "lintian: $(grep -c '^E:' "$work/lintian" || true) errors, $(grep -c '^W:' "$work/lintian" || true) warnings"

echo "== desktop entry and AppStream data"
dpkg-deb -x "${debs[0]}" "$work/client"
desktop-file-validate "$work/client/usr/share/applications/io.github.quizdesk.QuizDesk.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net \
  "$work/client/usr/share/metainfo/io.github.quizdesk.QuizDesk.metainfo.xml" ||
  fail "appstreamcli validate"

echo "== install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "${debs[@]}" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }
for p in "${packages[@]}"; do
  dpkg -L "$p" >"$work/$p.files"
done
systemd-analyze verify /lib/systemd/system/quizdesk-examd.socket \
  /lib/systemd/system/quizdesk-examd.service || fail "systemd-analyze verify"
# The socket is enabled for the next boot (systemd or not).
[ -L /etc/systemd/system/sockets.target.wants/quizdesk-examd.socket ] ||
  fail "quizdesk-examd.socket is not enabled"
for entry in quizdesk:1 quizdesk-tool:1 quizdesk-examd:8; do
  prog=${entry%:*}
  section=${entry#*:}
  /usr/bin/"$prog" --version | grep -q "^$prog " || fail "$prog --version"
  [ -f "/usr/share/man/man$section/$prog.$section.gz" ] || fail "no manual page of $prog"
done

echo "== the client's window, started as its menu entry starts it"
cp -r /usr/share/quizdesk/demo "$work/demo"
Xvfb -r -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/io.github.quizdesk.QuizDesk.desktop)
# The menu passes no file: %f stands for nothing.
read -r -a command <<<"${exec_line//%f/}"
HOME=$work QUIZDESK_TEST=$work/demo "${command[@]}" >"$work/client.log" 2>&1 &
client=$!
pids+=($client)
if within 20 xdotool search --onlyvisible --name QUIZDESK >/dev/null 2>&1; then
  echo "window: $(xdotool search --onlyvisible --name QUIZDESK getwindowname | head -n1)"
else
  fail "the installed client showed no window: $(cat "$work/client.log")"
fi
[ "$(readlink "/proc/$client/exe")" = /usr/bin/quizdesk ] || fail "not the installed client"
kill "$client"

echo "== the examiner's programs in Ukrainian, with no file beside them"
LC_ALL=uk_UA.UTF-8 /usr/bin/quizdesk-tool --help | grep -q '^використання: quizdesk-tool' ||
  fail "quizdesk-tool does not speak Ukrainian"
LC_ALL=uk_UA.UTF-8 /usr/bin/quizdesk-examd --help | grep -q '^використання: quizdesk-examd' ||
  fail "quizdesk-examd does not speak Ukrainian"
LC_ALL=C /usr/bin/quizdesk-tool --help | grep -q '^usage: quizdesk-tool' ||
  fail "quizdesk-tool does not speak English under LC_ALL=C"

echo "== the server on its socket, a dry run in examination mode against it"
unit=/lib/systemd/system/quizdesk-examd.service
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
state=/var/lib/quizdesk-examd
printf '%s\n' "Бондар Т." "Коваль І." >"$work/names.txt"
/usr/bin/quizdesk-tool roster "$work/names.txt" -o "$work/students.dbf" >/dev/null
cp "$work/students.dbf" /etc/quizdesk/students.dbf
board=8023
if [ "$(ps -p 1 -o comm=)" = systemd ]; then
  port=1023
  systemctl daemon-reload
  systemctl start quizdesk-examd.socket
  systemctl is-active quizdesk-examd.socket || fail "the socket unit is not active"
else
  # What the unit does, by hand: its working directory, its environment
  # file, its command line on a socket held for it.
  port=1023
  port_free $port || port=11023
  mkdir -p "$work/state"
  state=$work/state
  # shellcheck disable=SC1091
  EXAMD_OPTIONS=$(. /etc/quizdesk/examd.conf && printf '%s' "$EXAMD_OPTIONS")
  if ! port_free $board; then
    board=18023
    EXAMD_OPTIONS="$EXAMD_OPTIONS --http 127.0.0.1:$board"
  fi
  read -r -a serve <<<"${exec_start//\$EXAMD_OPTIONS/$EXAMD_OPTIONS}"
  (cd "$state" && exec systemd-socket-activate -l "$port" -- "${serve[@]}") \
    >"$work/server.out" 2>"$work/server.err" &
  server=$!
  pids+=($server)
fi
echo "server on port $port, board on port $board"
cp -r /usr/share/quizdesk/demo "$work/exam"
printf '127.0.0.1\r\n' >"$work/exam/IPaddress.txt"
cp "$work/students.dbf" "$work/exam/students.dbf"
printf 'exam\nname Бондар Т.\nbegin\nwait 3\nclose\n' >"$work/exam.script"
mkdir -p "$work/home"
HOME=$work/home /usr/bin/quizdesk-tool run "$work/exam" --script "$work/exam.script" \
  --seed 7 --port "$port" >"$work/run.out" 2>"$work/run.err" || fail "the dry run: $(cat "$work/run.err")"
cat "$work/run.out"
grep -qx connected "$work/run.out" || fail "the dry run did not connect"
report=$(sed -n 's/^report //p' "$work/run.out")
(cd "$state" && /usr/bin/quizdesk-examd report "Бондар Т.") >"$work/stored" 2>&1 ||
  fail "no report in the server's journal: $(cat "$work/stored")"
if [ ! -f "$report" ]; then
  fail "the dry run wrote no report"
elif ! cmp -s <(iconv -f CP1251 -t UTF-8 "$report"; [ -z "$(tail -c 1 "$report")" ] || echo) "$work/stored"; then
  fail "the journal's report is not the client's"
fi
(cd "$state" && /usr/bin/quizdesk-examd status) | grep -q "Бондар Т." || fail "status"
# The board, where it always is.
sittings=$(exec 3<>"/dev/tcp/127.0.0.1/$board" &&
  printf 'GET /api/sittings HTTP/1.0\r\nHost: localhost\r\n\r\n' >&3 && timeout 5 cat <&3) || true
grep -q "Бондар Т." <<<"$sittings" || fail "the board on port $board: $sittings"
if [ -n "${server-}" ]; then
  kill -TERM "$server"
  wait "$server" || fail "the server's exit on SIGTERM"
else
  systemctl stop quizdesk-examd.socket quizdesk-examd.service
fi

echo "== purge"
apt-get purge -y -qq "${packages[@]}" >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; exit 1; }
for p in "${packages[@]}"; do
  while read -r f; do
    # Shared folders (/usr/bin, or /lib as a link to /usr/lib) stay.
    if [ -d "$f" ] && [[ $f != *quizdesk* ]]; then
      continue
    fi
    if [ -e "$f" ] || [ -L "$f" ]; then
      fail "left after the purge: $f ($p)"
    fi
  done <"$work/$p.files"
done
left=$(find /usr /etc /var/lib -name '*quizdesk*' 2>/dev/null || true)
[ -z "$left" ] || fail "left after the purge: $left"

echo "packaging check: $((SECONDS - started)) s"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
