#!/usr/bin/env bash
# Kiosk mode on X11: `quizdesk --kiosk` under a real window manager (openbox
# with its stock key bindings: Alt+Tab, Alt+F4, Ctrl+Alt+arrows, Super+d ...)
# beside another program's window, on an X server whose keyboard can zap the
# server (Ctrl+Alt+Backspace), switch consoles (Ctrl+Alt+F1...F12) and break
# grabs (Ctrl+Alt+keypad /, *).
#
# 50 escape combinations are pressed (xdotool); the window manager's active
# window, followed all along, is never anything but the test's window, the
# program and the X server still run, the window is full screen and on top,
# and a click on the other window's place changes nothing. While the program
# runs the keyboard has no zap, console or grab-breaking action; the
# administrator's keys end the program and every action is back; so after
# SIGTERM. Typing still reaches the program: a name and Enter begin the test.
source "$(dirname "$0")/common.bash" "$@"

program=$build/src/quizdesk
assist=$build/tests/x11_assist
for need in Xvfb openbox setxkbmap xprop xdotool xmessage; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
for need in "$program" "$assist"; do
  [ -x "$need" ] || { echo "FAIL: $need is not built" >&2; exit 1; }
done

pids=()
cleanup() {
  set +e
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
alive() { kill -0 "$1" 2>/dev/null && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)" != Z ]; }

Xvfb -r -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
pids+=("$xvfb")
within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
setxkbmap -layout us,ua -option terminate:ctrl_alt_bksp -option grab:break_actions ||
  { echo "FAIL: setxkbmap" >&2; exit 1; }

# The keyboard's escape actions: zap, console switches, grab breaking.
escape_actions() { "$assist" actions; }
actions_before=$(escape_actions)
[ "$actions_before" -ge 14 ] || fail "the keyboard has only $actions_before escape actions to begin with"

mkdir -p "$work/home"
HOME=$work/home openbox --sm-disable >"$work/wm.log" 2>&1 &
pids+=($!)
within 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  { cat "$work/wm.log" >&2; echo "FAIL: openbox did not start" >&2; exit 1; }

# Another program's windows; Alt+Tab goes from one to the other as long as
# no kiosk holds the keyboard (the window manager's keys work).
xmessage -name decoy1 -geometry 300x80+20+20 "another program" >/dev/null 2>&1 &
pids+=($!)
xmessage -name decoy2 -geometry 300x80+400+20 "another program" >/dev/null 2>&1 &
pids+=($!)
within 10 eval '[ "$(xdotool search --onlyvisible --classname decoy | wc -l)" -eq 2 ]' ||
  { echo "FAIL: the other program's windows did not show" >&2; exit 1; }
decoy=$(xdotool search --onlyvisible --classname decoy1 | head -n1)
xdotool windowactivate --sync "$decoy" 2>/dev/null || true
before=$(xdotool getactivewindow)
xdotool key alt+Tab
within 3 eval '[ "$(xdotool getactivewindow)" != "$before" ]' ||
  fail "Alt+Tab does not change the active window even without a kiosk: the test proves nothing"

demo_in_file_order "$work/demo"
main_window() { xdotool search --onlyvisible --name '^Програма QUIZDESK$'; }
start_kiosk() {
  (cd "$work/demo" && HOME=$work/home QT_QPA_PLATFORM=xcb exec "$program" --kiosk \
    --exit-keys Ctrl+Alt+Shift+End) >"$work/app.out" 2>&1 &
  app=$!
  pids+=("$app")
  within 20 main_window >/dev/null ||
    { echo "FAIL: no kiosk window; the program said: $(cat "$work/app.out")" >&2; exit 1; }
  win=$(main_window | head -n1)
  within 5 eval '[ "$(xdotool getactivewindow)" = "$win" ]' || fail "the kiosk window is not active"
  within 5 eval '[ "$(escape_actions)" = 0 ]' || fail "escape actions left while the kiosk runs: $(escape_actions)"
}
start_kiosk

# Full screen, no frame, on top of every other window.
in_front() {
  local g stacking
  g=$("$assist" geometry "$win" | sed -n 's/^frame //p')
  [ "$g" = "0 0 1024 768" ] || { echo "the window is at $g"; return 1; }
  [ "$(xdotool getactivewindow)" = "$win" ] || { echo "active: $(xdotool getactivewindow)"; return 1; }
  stacking=$(xprop -root _NET_CLIENT_LIST_STACKING | grep -o '0x[0-9a-f]*' | tail -n1)
  [ "$((stacking))" = "$win" ] || { echo "on top: $stacking"; return 1; }
}
within 5 in_front >/dev/null || fail "the kiosk window before the escapes: $(in_front)"
"$assist" shot "$build/kiosk-x11.ppm" || fail "screenshot"

# The keys reach the program: a name and Enter begin the test (its report
# file is made then); the escapes go to the question screen.
# The name box of the title page at 1024 x 768.
xdotool mousemove 250 714 click 1
xdotool type --delay 20 "Kiosk Student"
xdotool key Return
within 10 eval '[ -n "$(find "$work/demo" "$work/home" -type f -newer "$work/display" -iname "*kiosk*")" ]' ||
  fail "typing a name and Enter did not begin the test"

# Every change of the active window while the keys go in.
xprop -root -spy _NET_ACTIVE_WINDOW >"$work/active.log" 2>&1 &
spy=$!
pids+=("$spy")

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
  sleep 0.05
  if ! alive "$xvfb"; then
    fail "$keys: the X server ended"
    finish
  fi
  alive "$app" || { fail "$keys: the program ended: $(cat "$work/app.out")"; start_kiosk; }
  echo "$keys: held"
done
# A click where the other program's window lies.
xdotool mousemove 100 40 click 1
sleep 0.5
kill "$spy"
# None active for a moment, or a box of the program's own, is no way out;
# any other program's window is.
others=$(grep -o '0x[0-9a-f]*' "$work/active.log" | sort -u | while read -r w; do
  [ "$((w))" = 0 ] || [ "$((w))" = "$win" ] || [ "$(xdotool getwindowpid "$((w))" 2>/dev/null)" = "$app" ] || echo "$w"
done)
[ -z "$others" ] || fail "another program's window was active: $others"
# The program's own box goes with Enter.
[ "$(xdotool getactivewindow)" = "$win" ] || xdotool key Return
within 5 in_front >/dev/null || fail "the kiosk window after the escapes: $(in_front)"
[ "$(escape_actions)" = 0 ] || fail "escape actions back while the kiosk runs"

# The administrator's keys end the program, and the keyboard has its actions back.
xdotool key ctrl+alt+shift+End
within 10 eval '! alive "$app"' || fail "the administrator's keys did not end the program"
wait "$app" && rc=0 || rc=$?
[ "$rc" = 0 ] || fail "the program ended with $rc on the administrator's keys"
[ "$(escape_actions)" = "$actions_before" ] ||
  fail "after the end $(escape_actions) escape actions, before $actions_before"

# SIGTERM ends it in order too.
start_kiosk
kill -TERM "$app"
within 10 eval '! alive "$app"' || fail "SIGTERM did not end the program"
[ "$(escape_actions)" = "$actions_before" ] ||
  fail "after SIGTERM $(escape_actions) escape actions, before $actions_before"

finish
