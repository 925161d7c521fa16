#!/usr/bin/env bash
# quizdesk-tool preview draws what the student's window shows: the real
# quizdesk program runs the demo on an X server (Xvfb) of 1024 x 768 without a
# window manager, so that its client area is the whole screen; every screen
# it shows (the title page, then each question, "Наст. питання" clicked with
# nothing answered) is held pixel by pixel against the preview's picture of
# the same size.
#
# The program draws its run from the clock, which a test cannot set: the demo
# runs from a copy with its draws switched off, questions and options in
# file order whatever the seed. (tool_preview.sh shows that the preview of a
# seed follows the run the loader draws from it.)
#
# The text caret in a box with the focus blinks in the real window and not
# in the preview, which shows it; a screen is therefore taken again, for up
# to three seconds, until it matches. The pointer is kept off the buttons:
# a button under it is drawn highlighted.
source "$(dirname "$0")/common.bash" "$@"

program=$build/src/quizdesk
assist=$build/tests/x11_assist
diff_tool=$build/tests/image_diff
for need in Xvfb xdotool; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
for need in "$program" "$assist" "$diff_tool" "$tool"; do
  [ -x "$need" ] || { echo "FAIL: $need is not built" >&2; exit 1; }
done

xvfb_pid=
app_pid=
cleanup() {
  set +e
  local pid
  for pid in "$app_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

dir=$work/demo
demo_in_file_order "$dir"
mkdir -p "$work/home"

"$tool" preview "$dir" -o "$work/preview" --width 1024 --height 768 >/dev/null ||
  { echo "FAIL: quizdesk-tool preview" >&2; exit 1; }

Xvfb -r -noreset -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

(cd "$dir" && HOME=$work/home QT_QPA_PLATFORM=xcb exec timeout 120 "$program") >"$work/app.out" 2>&1 &
app_pid=$!
within 20 xdotool search --onlyvisible --name QUIZDESK >/dev/null ||
  { echo "FAIL: no main window; program said: $(cat "$work/app.out")" >&2; exit 1; }
win=$(xdotool search --onlyvisible --name QUIZDESK | head -n1)
# Without a window manager nothing gives the window the focus a lab screen's
# would: it is given here, as the preview's window has it.
xdotool windowfocus "$win"
xdotool mousemove 1000 760

# same NAME: the screen matches the preview's NAME.png (within 3 s); the
# last difference is kept to be looked at.
same() {
  local shot=$work/screen.ppm i
  for ((i = 0; i < 30; i++)); do
    "$assist" shot "$shot" || { fail "screenshot for $1"; return; }
    if "$diff_tool" "$shot" "$work/preview/$1.png" >"$work/diff"; then
      return
    fi
    sleep 0.1
  done
  mkdir -p "$build/preview-screens"
  cp "$shot" "$build/preview-screens/$1.ppm"
  fail "$1: the window differs from the preview: $(cat "$work/diff") (screen kept in $build/preview-screens)"
}

same title
# "Почати тестування", where the title page scales it to 1024 pixels.
xdotool mousemove $((1024 * 496 / 800 + 1024 * 225 / 800 / 2)) $((768 - 228 + 158 + 20)) click 1 mousemove 1000 760
for n in $(seq -w 1 12); do
  same "question-$n"
  [ "$n" = 12 ] && break
  # "Наст. питання", nothing answered.
  xdotool mousemove $((807 + 139 / 2)) $((768 - 100 + 20 + 30)) click 1 mousemove 1000 760
done

finish
