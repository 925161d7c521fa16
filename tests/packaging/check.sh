#!/usr/bin/env bash
# The Debian packages as a school gets them, on a throwaway Debian 12 machine
# (CI, as root): lintian, the desktop entry and the AppStream data, then the
# four packages installed with apt, the installed client's window on a copy
# of the installed demo test (under Xvfb), the kiosk session started as the
# login screen starts it (cage's headless backend, as an ordinary user),
# the installed server started on
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
packages=(quizdesk quizdesk-tools quizdesk-examd quizdesk-kiosk)
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

dpkg-deb -x "${debs[3]}" "$work/kiosk"
desktop-file-validate "$work/kiosk/usr/share/wayland-sessions/quizdesk-kiosk.desktop" ||
  fail "desktop-file-validate (the kiosk session)"

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

echo "== the kiosk session, started as the login screen starts it"
# cage will not run as root: the session runs as nobody, on the installed
# settings (the demo test), with the Xvfb above for its screen (cage's X11
# backend).
session=/usr/share/wayland-sessions/quizdesk-kiosk.desktop
read -r -a command <<<"$(sed -n 's/^Exec=//p' "$session")"
kiosk_home=$(mktemp -d)
chmod 755 "$kiosk_home"
mkdir -p -m 700 "$kiosk_home/run"
chown -R nobody:nogroup "$kiosk_home"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
"${as_nobody[@]}" env -i PATH=/usr/bin:/bin HOME="$kiosk_home" XDG_RUNTIME_DIR="$kiosk_home/run" \
  DISPLAY="$DISPLAY" WLR_BACKENDS=x11 WLR_RENDERER=pixman \
  timeout 60 "${command[@]}" >"$work/kiosk.log" 2>&1 &
cage=$!
pids+=($cage)
if within 20 pgrep -u nobody -f '^/usr/bin/quizdesk --kiosk --exit-keys Ctrl\+Alt\+Shift\+End$' >/dev/null; then
  app=$(pgrep -u nobody -f '^/usr/bin/quizdesk --kiosk')
  [ "$(ps -o comm= -p "$(ps -o ppid= -p "$app" | tr -d ' ')")" = cage ] || fail "QuizDesk is not cage's"
  environment=$(tr '\0' '\n' <"/proc/$app/environ")
  # The demo asks for Ukrainian: its layout first, then the settings' own.
  grep -qx 'XKB_DEFAULT_LAYOUT=ua,us,ru' <<<"$environment" ||
    fail "the session's layouts: $(grep XKB_DEFAULT_LAYOUT <<<"$environment")"
  grep -qx 'QT_QPA_PLATFORM=wayland' <<<"$environment" || fail "the session's QuizDesk is not on Wayland"
  # The title page on the compositor's output (not its black background,
  # nor the kiosk's dark grey backdrop).
  shown() {
    "${as_nobody[@]}" env XDG_RUNTIME_DIR="$kiosk_home/run" WAYLAND_DISPLAY=wayland-0 \
      grim -t ppm "$kiosk_home/run/shot.ppm" 2>/dev/null &&
      perl -e 'local $/; open(my $f, "<:raw", $ARGV[0]) or exit 1; my $p = <$f>;
               $p =~ s/\AP6\s+\d+\s+\d+\s+255\s//s or exit 1;
               my $c = substr($p, 0, 3); exit($c eq "\0\0\0" || $c eq "\x40\x40\x40")' \
        "$kiosk_home/run/shot.ppm"
  }
  within 20 shown || fail "the kiosk session shows no QuizDesk"
else
  fail "the kiosk session started no QuizDesk: $(cat "$work/kiosk.log")"
fi
kill "$cage" 2>/dev/null || true
wait "$cage" 2>/dev/null || true
rm -rf "$kiosk_home"

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
