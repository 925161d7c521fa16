#!/usr/bin/env bash
# The real window killed in the middle of a question and started again: on
# a real X server (Xvfb, openbox), QuizDesk is driven with the keyboard
# through the first two questions of the demo, left a few seconds on the
# third, and killed with SIGKILL, as a power cut ends it. Started again,
# with the same name entered, its title page says the run goes on, and
# "Почати тестування" brings back the third question with its time used
# (never less than at the kill, at most the checkpoint's period more), the
# two answers counted and the same status strip. The screen is read through
# AT-SPI, as a screen reader reads it.
#
# The name is typed in Latin letters: the keyboard here has only the us
# group, where xdotool types every letter of it with a key of its own (a
# Cyrillic letter needs a key bound at that moment, which a busy machine can
# lose).
source "$(dirname "$0")/common.bash" "$@"

program=$build/src/quizdesk
probe=$src/tests/scripts/atspi_probe.py
for need in Xvfb openbox xdotool xprop dbus-daemon /usr/bin/python3 iconv; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "FAIL: python3-pyatspi is missing (make setup installs it)" >&2; exit 1; }
for need in "$program"; do
  [ -x "$need" ] || { echo "FAIL: $need is not built" >&2; exit 1; }
done

xvfb_pid=
wm_pid=
bus_pid=
app_pid=
cleanup() {
  set +e
  local pid
  for pid in "$app_pid" "$wm_pid" "$bus_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

running() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) && [ "$state" != Z ]
}

# The desktop: X server, window manager, a session bus for AT-SPI.
Xvfb -r -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
openbox --sm-disable --config-file /dev/null >"$work/wm.log" 2>&1 &
wm_pid=$!
within 10 eval 'xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
  { echo "FAIL: the window manager did not start" >&2; exit 1; }
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >"$work/bus.log" 2>&1 &
bus_pid=$!
within 10 test -s "$work/bus" || { echo "FAIL: no session bus" >&2; exit 1; }
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
home=$work/home
mkdir -p "$home"
rez=$home/REZ_TEST

start_program() { # start_program DIR
  (cd "$1" && HOME=$home QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    exec timeout 180 "$program") >"$work/app.out" 2>&1 &
  app_pid=$!
  within 20 xdotool search --onlyvisible --name QUIZDESK >/dev/null ||
    { echo "FAIL: no main window; program said: $(cat "$work/app.out")" >&2; exit 1; }
  win=$(xdotool search --onlyvisible --name QUIZDESK | head -n1)
  within 10 eval 'xdotool getactivewindow 2>/dev/null | grep -qx "$win"' ||
    xdotool windowactivate "$win" 2>/dev/null || true
  # Typing waits for the title page on the accessibility bus: keys sent
  # before the name box is up would be lost.
  within 20 shows "Почати тестування" || fail "no title page on the accessibility bus"
}
keys() { xdotool key --delay 60 "$@"; }
expect_tree() { # expect_tree WHAT LINE...: each LINE is a line of the tree
  local got line
  got=$(/usr/bin/python3 "$probe" tree) || { fail "$1: $got"; return; }
  shift
  for line in "$@"; do
    grep -Fxq -- "$line" <<<"$got" || fail "tree: no line \"$line\" in:"$'\n'"$got"
  done
}
# What the status strip says, and the question-time bar's value (seconds
# of the question used).
strip() { /usr/bin/python3 "$probe" strip; }
question_seconds() {
  /usr/bin/python3 - <<'EOF'
import sys, pyatspi
def find(node, depth=0):
    if depth > 12:
        return None
    if node.getRole() == pyatspi.ROLE_PROGRESS_BAR:
        return node
    for i in range(node.childCount):
        hit = find(node.getChildAtIndex(i), depth + 1)
        if hit is not None:
            return hit
    return None
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is not None and app.name == "quizdesk":
        bar = find(app)
        if bar is not None:
            print(int(bar.queryValue().currentValue))
            sys.exit(0)
sys.exit("no question-time bar on the accessibility bus")
EOF
}
# shows TEXT: some object of QuizDesk on the accessibility bus is named TEXT.
shows() {
  /usr/bin/python3 - "$1" <<'EOF'
import sys, pyatspi
def find(node, depth=0):
    if depth > 12:
        return False
    if node.name == sys.argv[1]:
        return True
    return any(find(node.getChildAtIndex(i), depth + 1) for i in range(node.childCount))
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is not None and app.name == "quizdesk" and find(app):
        sys.exit(0)
sys.exit(1)
EOF
}

dir=$work/demo
demo_in_file_order "$dir"
name="Petrenko P."

# Questions 1 and 2 answered right, then question 3 left open.
start_program "$dir"
xdotool type --delay 60 "$name"
keys Return
within 10 compgen -G "$rez/*.txt" >/dev/null ||
  { echo "FAIL: Enter on the title page did not start the test" >&2; exit 1; }
report=$(compgen -G "$rez/*.txt")
expect_tree "question 1" "radio button|Київ|варіант 1|"
keys Down Down Down space Home space Return
expect_tree "question 2" "check box|Дніпро|варіант 2|"
keys Down space Down space Down Down space Down space space Return
expect_tree "question 3" "text Розташуйте річки за довжиною, починаючи з найдовшої." \
  "list item|Десна|місце 4|"
# Long enough for a checkpoint written while the question is open.
sleep 6.5
before_strip=$(strip) || fail "strip before the kill: $before_strip"
before=$(question_seconds) || fail "the bar before the kill: $before"
# The program itself, not only the timeout that started it (whose child
# would live on).
child=$(pgrep -P "$app_pid") || fail "no program under the timeout"
kill -KILL "$child" "$app_pid"
wait "$app_pid" 2>/dev/null || true
within 5 eval '! running "$child"' || fail "the program outlived SIGKILL"
app_pid=
compgen -G "$rez/*.checkpoint" >/dev/null || fail "no checkpoint after the kill: $(ls "$rez")"
[ "$(to_utf8 "$report" | grep -c '^ *[12] ')" = 2 ] ||
  fail "the report of the killed run:"$'\n'"$(to_utf8 "$report")"
# The computer stays down a while: that time counts for no clock.
sleep 3

start_program "$dir"
xdotool type --delay 60 "$name"
within 10 shows "Тестування буде продовжено з питання 3 з 12." ||
  fail "the title page does not say that the run goes on: $(ls "$rez")"
keys Return
expect_tree "question 3 again" "text Розташуйте річки за довжиною, починаючи з найдовшої." \
  "list item|Десна|місце 4|"
after=$(question_seconds) || fail "the bar after the restart: $after"
after_strip=$(strip) || fail "strip after the restart: $after_strip"
# The question's time goes on from where it was: not less than at the kill
# (a restart never gives time back), and at most the checkpoint's 5 s (and
# a second of reading) more; the three seconds down count for nothing.
[ "$after" -ge "$before" ] && [ "$after" -le $((before + 6)) ] ||
  fail "question time used: $before s at the kill, $after s after the restart"
# The same number, points and minutes as at the kill.
[ "$after_strip" = "$before_strip" ] ||
  fail "the status strip at the kill:"$'\n'"$before_strip"$'\n'"after the restart:"$'\n'"$after_strip"
grep -Eq '^ *label\|5\.00$' <<<"$after_strip" || fail "the two answers' points are not counted: $after_strip"
# The report goes on in the same file: still the two rows, no second report.
[ "$(ls "$rez" | grep -c '\.txt$')" = 1 ] || fail "reports in REZ_TEST: $(ls "$rez")"
[ "$(to_utf8 "$report" | grep -c '^ *[12] ')" = 2 ] ||
  fail "the report after the restart:"$'\n'"$(to_utf8 "$report")"

finish
