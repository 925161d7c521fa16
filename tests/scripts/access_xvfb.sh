#!/usr/bin/env bash
# Every student can sit the test, shown on the real program under Xvfb and a
# window manager, with a session bus and the desktop's accessibility bus:
#
# - The whole demo answered by keyboard alone (xdotool keys; the typed
#   answers pasted into the box that has the focus, as e2e_xvfb.sh does):
#   the report's rows are those of the mouse run of e2e_xvfb.sh.
# - A screen reader's view (Debian's AT-SPI bindings, atspi_probe.py): the
#   question text, every option with its role, text and state, for every
#   kind of question; the status strip.
# - The whole demo answered through AT-SPI alone (atspi_probe.py run): every
#   kind of question acted on, the state read back after each step, a
#   children-changed event from the question screen at each new question,
#   and again the mouse run's report rows.
# - accommodations.txt in the window: with time=2 a question whose own time
#   (3 s) has run out is still answered after 4 s, and the report says so.
#
# The demo runs from a copy with its draws switched off, so that questions
# and options come in file order.
source "$(dirname "$0")/common.bash" "$@"

program=$build/src/quizdesk
assist=$build/tests/x11_assist
probe=$src/tests/scripts/atspi_probe.py
for need in Xvfb openbox xdotool xprop dbus-daemon /usr/bin/python3 iconv; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "FAIL: python3-pyatspi is missing (make setup installs it)" >&2; exit 1; }
for need in "$program" "$assist"; do
  [ -x "$need" ] || { echo "FAIL: $need is not built" >&2; exit 1; }
done

xvfb_pid=
wm_pid=
bus_pid=
app_pid=
holder_pid=
cleanup() {
  set +e
  local pid
  for pid in "$app_pid" "$holder_pid" "$wm_pid" "$bus_pid" "$xvfb_pid"; do
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
within() { # within SECONDS CMD...
  local limit=$(($1 * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# ---- The desktop: X server, window manager, session bus. The accessibility
# bus is started by the session bus when the program asks for it; it ends
# with the session bus.
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

start_program() { # start_program DIR
  (cd "$1" && HOME=$home QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    exec timeout 180 "$program") >"$work/app.out" 2>&1 &
  app_pid=$!
  within 20 xdotool search --onlyvisible --name QUIZDESK >/dev/null ||
    { echo "FAIL: no main window; program said: $(cat "$work/app.out")" >&2; exit 1; }
  win=$(xdotool search --onlyvisible --name QUIZDESK | head -n1)
  within 10 eval 'xdotool getactivewindow 2>/dev/null | grep -qx "$win"' ||
    xdotool windowactivate "$win" 2>/dev/null || true
}
keys() { xdotool key --delay 60 "$@"; }
enter_text() { # enter_text TEXT: pasted into the box with the keyboard focus
  local clip=$work/clipboard
  : >"$clip"
  "$assist" clipboard "$1" >"$clip" &
  holder_pid=$!
  within 5 grep -q ready "$clip" || fail "clipboard for '$1'"
  xdotool key ctrl+v
  wait "$holder_pid" || fail "'$1' was not pasted"
  holder_pid=
}
# The question number the status strip shows, through the accessibility
# tree (the label after its caption).
tree() { /usr/bin/python3 "$probe" tree; }
expect_tree() { # expect_tree WHAT LINE...: each LINE is a line of the tree
  local got line
  got=$(tree) || { fail "$1: $got"; return; }
  shift
  for line in "$@"; do
    grep -Fxq -- "$line" <<<"$got" || fail "tree: no line \"$line\" in:"$'\n'"$got"
  done
}
finish_program() {
  within 10 eval 'xdotool search --onlyvisible --name "Результати тестування" >/dev/null' ||
    { fail "no results window"; return; }
  # The results window has the keyboard: Escape closes it, the program ends.
  sleep 0.5
  keys Escape
  within 10 eval '! running "$app_pid"' || fail "Escape did not close the results window"
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}

dir=$work/demo
mkdir -p "$dir"
cp "$src"/examples/demo/source/voprosi.txt "$src"/examples/demo/source/otveti.txt "$dir"/
cp "$src"/examples/demo/*.jpg "$src"/examples/demo/*.bmp "$dir"/
LC_ALL=C sed -i '18,20s/1\r$/0\r/' "$dir/otveti.txt"

# ---- The demo by keyboard. The title page starts in the name box; Enter
# begins the test.
start_program "$dir"
enter_text "Петренко П.І."
keys Return
within 10 compgen -G "$home/REZ_TEST/*.txt" >/dev/null ||
  { echo "FAIL: Enter on the title page did not start the test" >&2; exit 1; }

# 1: single choice; the screen reader sees the question and four radio
# buttons, none chosen; then Львів chosen and Київ instead.
expect_tree "question 1" "text Яке місто є столицею України?" \
  "radio button|Київ|варіант 1|" "radio button|Одеса|варіант 3|"
keys Down Down Down space Home space
expect_tree "question 1 answered" "radio button|Київ|варіант 1|checked,focused" \
  "radio button|Львів|варіант 2|"
strip=$(/usr/bin/python3 "$probe" strip) || fail "strip: $strip"
for line in "label|Номер поточного питання:" "label|Набрано балів:" "  label|12" "  label|1"; do
  grep -Fxq -- "$line" <<<"$strip" || fail "strip: no \"$line\" in:"$'\n'"$strip"
done
keys Return
# 2: multiple choice, check boxes.
keys Down space Down space Down Down space Down space space
expect_tree "question 2" "check box|Дніпро|варіант 2|checked" "check box|Львів|варіант 3|"
keys Return
# 3: ordering, list items: a place picked by its bar (Left), the option
# moved there (Right to its text, Space); a placed option is checked.
keys Down Down Down Left space Right Down space
expect_tree "question 3" "list item|Десна|місце 3|checked"
keys Home Left space Right space Down Left space Right space Down Down Left space Right space
keys Return
# 4: matching, a row of the first column, then its matches.
keys Down space Right Down space Left space Right Up space Left Down Down space Right space
got=$(tree)
grep -q '^radio button|.*|стовпець 1, рядок 3|checked' <<<"$got" ||
  fail "question 4: the third row is not the chosen one:"$'\n'"$got"
grep -q '^check box|.*|стовпець 2, рядок 3|checked' <<<"$got" ||
  fail "question 4: its match is not checked:"$'\n'"$got"
keys Return
# 5: typed: the question text alone, no options.
got=$(tree)
[ "$got" = "text Назвіть найвищу гору України." ] || fail "question 5: the tree is:"$'\n'"$got"
enter_text "Говерла"
keys Return
# 6: three columns, one match per column.
keys Down space Right Down space Right Down space Left Left Up space Right Down space \
  Right Home space Left Left End space Right Home space Right Down space
expect_tree "question 6" "radio button|Ужгород|стовпець 1, рядок 3|checked" \
  "radio button|Уж|стовпець 2, рядок 1|checked" \
  "radio button|Закарпатська|стовпець 3, рядок 2|checked,focused"
keys Return
# 7: single choice under a picture, chosen through the option's action.
expect_tree "question 7" "radio button|України|варіант 1|"
/usr/bin/python3 "$probe" press 1 || fail "action on option 1 of question 7"
expect_tree "question 7 answered" "radio button|України|варіант 1|checked"
keys Return
# 8: multiple choice under a bitmap, answered through the screen reader's
# actions alone.
expect_tree "question 8" "check box|Коло|варіант 1|"
/usr/bin/python3 "$probe" press 1 || fail "action on option 1"
/usr/bin/python3 "$probe" press 3 || fail "action on option 3"
got=$(tree)
[ "$(grep -c '^check box|.*|checked' <<<"$got")" = 2 ] ||
  fail "question 8: two options checked through the actions expected:"$'\n'"$got"
keys Return
# 9: picture only, keys typed.
enter_text "А21; Б32; В13"
keys Return
# 10: a two-line option, read as one line.
expect_tree "question 10" "radio button|Дніпро впадає в Чорне море|варіант 2|"
keys Down Down space Return
# 11: typed.
enter_text "Дніпро"
keys Return
# 12: matching, many per row.
keys Down space Right space Down Down space Left Home Down space Right space Down Down space
keys Return
finish_program

files=("$home"/REZ_TEST/*.txt)
[ "${#files[@]}" -eq 1 ] || fail "reports: ${files[*]}"
to_utf8 "${files[0]}" | tr -d '\r' >"$work/report"
[ "$(sed -n '10,21p' "$work/report")" = "$(cat "$fixtures/demo-answers/all-right.rows")" ] ||
  fail "the keyboard's report rows differ from the mouse's:"$'\n'"$(sed -n '10,21p' "$work/report")"
[ "$(sed -n '24p' "$work/report")" = "Оцінка: Відмінно" ] || fail "grade: $(sed -n '24p' "$work/report")"
[ "$(wc -l <"$work/report")" -eq 24 ] || fail "a plain run's report has 24 lines:"$'\n'"$(cat "$work/report")"

# ---- The demo through the screen reader's interface alone: every option
# pressed by its action (the ordering's places picked by SetTarget), the
# typed answers set through the box's editable text, "Наст. питання"
# pressed by its action; after each step the tree shows what was done, at
# each new question the question screen says that its children changed,
# and the report's rows are again the mouse's.
rm -rf "$home/REZ_TEST"
start_program "$dir"
enter_text "Петренко П.І."
keys Return
within 10 compgen -G "$home/REZ_TEST/*.txt" >/dev/null || fail "the AT-SPI run did not start"
/usr/bin/python3 "$probe" run <<'EOF' || fail "the demo through AT-SPI"
# 1: single choice: Одеса chosen, then Київ instead.
expect radio button|Київ|варіант 1|
press 3
expect radio button|Одеса|варіант 3|checked
press 1
expect radio button|Київ|варіант 1|checked
expect radio button|Одеса|варіант 3|
next
# 2: multiple choice: 1, 2 and 4 chosen; 5 chosen and unchosen.
press 1
press 2
press 4
press 5
expect check box|Ужгород|варіант 5|checked
press 5
expect check box|Ужгород|варіант 5|
expect check box|Київ|варіант 1|checked
expect check box|Дніпро|варіант 2|checked
expect check box|Львів|варіант 3|
expect check box|Запоріжжя|варіант 4|checked
next
# 3: ordering: place 3 picked, Десна moved there from 4; then 1, 2 and 4
# placed where they stand.
press 3 SetTarget
expect list item|Південний Буг|місце 3|selected
press 4
expect list item|Десна|місце 3|checked
expect list item|Південний Буг|місце 4|
press 1 SetTarget
press 1
press 2 SetTarget
press 2
press 4 SetTarget
press 4
expect list item|Дніпро|місце 1|checked
expect list item|Дністер|місце 2|checked
expect list item|Південний Буг|місце 4|checked
next
# 4: matching: each city's row, then its region in the second column.
press 1
press 5
expect radio button|Львів|стовпець 1, рядок 1|checked
expect check box|Львівська|стовпець 2, рядок 2|checked
press 2
expect radio button|Львів|стовпець 1, рядок 1|
expect check box|Львівська|стовпець 2, рядок 2|
press 4
press 3
press 6
expect check box|Полтавська|стовпець 2, рядок 3|checked
press 2
expect check box|Закарпатська|стовпець 2, рядок 1|checked
next
# 5: typed.
expect text Назвіть найвищу гору України.
type Говерла
next
# 6: three columns: a row, then one cell in each further column.
press 1
press 5
press 9
press 2
press 6
press 7
press 3
press 4
press 8
expect radio button|Ужгород|стовпець 1, рядок 3|checked
expect radio button|Уж|стовпець 2, рядок 1|checked
expect radio button|Закарпатська|стовпець 3, рядок 2|checked
press 1
expect radio button|Дніпро|стовпець 2, рядок 2|checked
expect radio button|Київська|стовпець 3, рядок 3|checked
expect radio button|Уж|стовпець 2, рядок 1|
next
# 7: single choice under a picture.
press 1
expect radio button|України|варіант 1|checked
next
# 8: multiple choice under a bitmap.
press 1
press 3
expect check box|Квадрат|варіант 3|checked
next
# 9: picture only, typed.
type А21; Б32; В13
next
# 10: a two-line option.
press 2
expect radio button|Дніпро впадає в Чорне море|варіант 2|checked
next
# 11: typed.
type Дніпро
next
# 12: matching, many per row.
press 1
press 3
press 5
press 2
press 4
press 6
expect check box|Могилів-Подільський|стовпець 2, рядок 4|checked
expect check box|Київ|стовпець 2, рядок 1|
last
EOF
finish_program
files=("$home"/REZ_TEST/*.txt)
[ "${#files[@]}" -eq 1 ] || fail "AT-SPI run's reports: ${files[*]}"
to_utf8 "${files[0]}" | tr -d '\r' >"$work/atspi.report"
[ "$(sed -n '10,21p' "$work/atspi.report")" = "$(cat "$fixtures/demo-answers/all-right.rows")" ] ||
  fail "the AT-SPI run's report rows differ from the mouse's:"$'\n'"$(sed -n '10,21p' "$work/atspi.report")"

# ---- time=2 in the window: question 1 allows 3 seconds, the student
# answers after 4.
timed=$work/timed
mkdir -p "$timed"
cp "$fixtures"/minimal/* "$timed"/
iconv -f CP1251 -t UTF-8 "$timed/otveti.txt" | sed 's/^Секунд на питання: 60/Секунд на питання: 3/' |
  iconv -f UTF-8 -t CP1251 >"$timed/otveti.new" && mv "$timed/otveti.new" "$timed/otveti.txt"
printf 'Коваль О.; time=2\n' >"$timed/accommodations.txt"
rm -rf "$home/REZ_TEST"
start_program "$timed"
enter_text "Коваль О."
keys Return
within 10 compgen -G "$home/REZ_TEST/*.txt" >/dev/null || fail "the timed test did not start"
sleep 4
keys Down space Return
enter_text "Київ"
keys Return
finish_program
files=("$home"/REZ_TEST/*.txt)
to_utf8 "${files[0]}" | tr -d '\r' >"$work/timed.report"
grep -Eq '^ +1 +2\.00 +1,$' "$work/timed.report" ||
  fail "time=2: question 1, answered after its own 3 s, was not scored:"$'\n'"$(cat "$work/timed.report")"
[ "$(tail -n1 "$work/timed.report")" = "Пристосування: time=2" ] ||
  fail "time=2: the report does not say so:"$'\n'"$(cat "$work/timed.report")"

finish
