#!/usr/bin/env bash
# The kiosk session on Wayland: the session's own launcher
# (packaging/kiosk/quizdesk-kiosk-session) with a kiosk.conf of this test
# starts cage, and cage QuizDesk on Qt's Wayland platform. cage runs nested
# in Xvfb (its X11 backend): the keys xdotool presses there are what cage's
# keyboard reads, so they pass through the compositor as a student's would.
#
# The demo is taken to its results window through the compositor: the
# keyboard starts in the test's layout (Ukrainian: the keys g h b d s n type
# "привіт", the name the report file gets); between two questions the 50
# escape combinations of the X11 test are pressed, after which cage and
# QuizDesk still run and QuizDesk still fills the screen; Escape on the
# results window ends the program and the session with it. A second session
# ends by the administrator's keys.
#
# cage refuses to run as root: as root the sessions run as nobody.
source "$(dirname "$0")/common.bash" "$@"

for need in cage grim Xvfb xdotool xwininfo setpriv; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
[ -x "$build/src/quizdesk" ] || { echo "FAIL: quizdesk is not built" >&2; exit 1; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  { echo "FAIL: Qt's Wayland platform is missing (qt6-wayland; make setup installs it)" >&2; exit 1; }

pids=()
cleanup() {
  set +e
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${KEEP_WORK-}" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
alive() { kill -0 "$1" 2>/dev/null && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)" != Z ]; }

# Everything the session reads, where its user can read it.
chmod 755 "$work"
mkdir -p "$work/bin" "$work/home" "$work/run"
cp "$build/src/quizdesk" "$src/packaging/kiosk/quizdesk-kiosk-session" "$work/bin/"
demo_in_file_order "$work/demo"
cat >"$work/kiosk.conf" <<EOF
QUIZDESK_TEST=$work/demo
QUIZDESK_LAYOUTS=us,ru
QUIZDESK_EXIT_KEYS=Ctrl+Alt+Shift+End
EOF
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$work/home" "$work/run" "$work/demo"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
chmod 700 "$work/run"

Xvfb -r -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# start_session: cage (pid $cage) on the kiosk.conf, QuizDesk in it (pid $app).
start_session() {
  "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_RUNTIME_DIR="$work/run" \
    DISPLAY="$DISPLAY" WLR_BACKENDS=x11 WLR_RENDERER=pixman LC_ALL=C.UTF-8 \
    QUIZDESK_KIOSK_CONF="$work/kiosk.conf" QUIZDESK_PROGRAM="$work/bin/quizdesk" \
    timeout 120 "$work/bin/quizdesk-kiosk-session" >"$work/cage.log" 2>&1 &
  cage=$!
  pids+=("$cage")
  within 20 eval 'app=$(pgrep -f -n "^$work/bin/quizdesk --kiosk")' ||
    { cat "$work/cage.log" >&2; echo "FAIL: no QuizDesk in the session" >&2; exit 1; }
  # The compositor's window on Xvfb takes the keys.
  # (The compositor's output is the one window on Xvfb; it has no name.)
  within 10 eval 'output=$(xwininfo -root -children | awk "/^ +0x/ { print \$1; exit }"); [ -n "$output" ]' ||
    { echo "FAIL: cage's window did not show" >&2; exit 1; }
  xdotool mousemove 512 384 windowfocus "$output"
  within 10 shown || fail "QuizDesk did not show in the session: $(cat "$work/cage.log")"
}
# shot NAME: what the compositor shows, as a binary PPM in $work (grim,
# as the session's user, writes into the session's runtime folder).
shot() {
  "${as_user[@]}" env XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY=wayland-0 \
    grim -t ppm "$work/run/shot.ppm" 2>/dev/null && mv "$work/run/shot.ppm" "$work/$1.ppm"
}
# shown: QuizDesk's main window covers the whole 1024 x 768 output: no
# corner shows cage's empty (black) background or the kiosk's backdrop
# (dark grey) round the results window.
shown() {
  shot now || return 1
  perl -e '
    open(my $f, "<:raw", $ARGV[0]) or exit 1; local $/; my $ppm = <$f>;
    $ppm =~ s/\AP6\s+(\d+)\s+(\d+)\s+255\s//s or exit 1;
    my ($w, $h) = ($1, $2);
    exit 1 unless $w == 1024 && $h == 768;
    for my $c ([0, 0], [$w - 1, 0], [0, $h - 1], [$w - 1, $h - 1]) {
      my $rgb = substr($ppm, 3 * ($c->[1] * $w + $c->[0]), 3);
      exit 1 if $rgb eq "\0\0\0" || $rgb eq "\x40\x40\x40";
    }' "$work/now.ppm"
}
report() { find "$work/demo" "$work/home" -type f -name 'прив*.txt' | head -n1; }
answered() { local r; r=$(report) && [ -n "$r" ] && iconv -f CP1251 -t UTF-8 "$r" | grep -cE '^ +[0-9]+ +[0-9]+\.[0-9]{2} ' || true; }

start_session
tr '\0' '\n' <"/proc/$app/environ" | grep -qx 'XKB_DEFAULT_LAYOUT=ua,us,ru' ||
  fail "the session's layouts: $(tr '\0' '\n' <"/proc/$app/environ" | grep XKB_DEFAULT_LAYOUT)"
tr '\0' '\n' <"/proc/$app/environ" | grep -qx 'QT_QPA_PLATFORM=wayland' || fail "QuizDesk is not on Wayland"
cp "$work/now.ppm" "$build/kiosk-wayland.ppm"

# The name typed in the test's layout, then Enter begins the test.
xdotool type --delay 30 ghbdsn
xdotool key Return
within 15 eval '[ -n "$(report)" ]' || fail "no report file of the student привіт: the keys or the layout went wrong"
# next: Enter, and the report has one more answered question.
next() {
  local before
  before=$(answered)
  xdotool key Return
  within 10 eval '[ "$(answered)" -gt "$before" ]'
}
for _ in 1 2 3; do next || fail "Enter did not answer a question"; done

escapes=(
  alt+Tab alt+shift+Tab ctrl+alt+Tab alt+F4
  ctrl+alt+F1 ctrl+alt+F2 ctrl+alt+F3 ctrl+alt+F4 ctrl+alt+F5 ctrl+alt+F6
  ctrl+alt+F7 ctrl+alt+F8 ctrl+alt+F9 ctrl+alt+F10 ctrl+alt+F11 ctrl+alt+F12
  ctrl+alt+BackSpace Super_L Super_R super+d super+e super+l super+Tab
  ctrl+Escape alt+Escape Menu shift+F10 alt+F1 alt+F2 alt+space
  ctrl+alt+Delete ctrl+shift+Escape ctrl+alt+t
  ctrl+alt+Left ctrl+alt+Right ctrl+alt+Up ctrl+alt+Down shift+alt+Left
  super+F1 super+shift+Right
  ctrl+alt+KP_Divide ctrl+alt+KP_Multiply ctrl+alt+KP_Add ctrl+alt+KP_Subtract
  alt+Print Print alt+F7 alt+F10 ctrl+alt+Escape F11
)
[ "${#escapes[@]}" -eq 50 ] || fail "${#escapes[@]} escape combinations, not 50"
for keys in "${escapes[@]}"; do
  xdotool key "$keys"
  alive "$cage" || { fail "$keys: the session ended: $(cat "$work/cage.log")"; finish; }
  alive "$app" || { fail "$keys: QuizDesk ended"; finish; }
  echo "$keys: held"
done
within 5 shown || fail "QuizDesk does not fill the screen after the escapes"
cp "$work/now.ppm" "$build/kiosk-wayland-question.ppm"

# On to the results window, then Escape ends the program and the session.
for _ in $(seq 1 12); do
  r=$(report)
  iconv -f CP1251 -t UTF-8 "$r" | grep -q '^Оцінка:' && break
  next || break
done
iconv -f CP1251 -t UTF-8 "$(report)" | grep -q '^Оцінка:' || fail "the run did not reach its results"
shot now && cp "$work/now.ppm" "$build/kiosk-wayland-results.ppm"
alive "$app" || fail "QuizDesk ended before its results window was closed"
xdotool key Escape
within 10 eval '! alive "$cage"' || fail "closing the results window did not end the session"

# The administrator's keys end a session at once.
start_session
xdotool key ctrl+alt+shift+End
within 10 eval '! alive "$cage"' || fail "the administrator's keys did not end the session"

# Without --kiosk, as on a Wayland desktop: the title page shows (with its
# line naming the test's layout) and the program keeps running.
(cd "$work/demo" && "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work/home" \
  XDG_RUNTIME_DIR="$work/run" DISPLAY="$DISPLAY" WLR_BACKENDS=x11 WLR_RENDERER=pixman \
  QT_QPA_PLATFORM=wayland timeout 60 cage -- "$work/bin/quizdesk") >"$work/desktop.log" 2>&1 &
cage=$!
pids+=("$cage")
within 20 eval 'app=$(pgrep -f -n "^$work/bin/quizdesk$")' || fail "no QuizDesk without --kiosk"
within 10 shown || fail "QuizDesk without --kiosk did not show"
alive "$app" || fail "QuizDesk without --kiosk ended: $(cat "$work/desktop.log")"
cp "$work/now.ppm" "$build/wayland-desktop.ppm"
kill "$cage"

finish
