#!/usr/bin/env bash
# End to end: the real quizdesk binary on a real X server (Xvfb) under a real
# window manager (openbox), driven with xdotool as a student drives it.
#
# On lab screens of 640 x 480 and 800 x 600 the whole framed window (title
# bar and borders included) lies inside the screen, "Почати тестування" and
# "Наст. питання" work where the layout puts them, and the status strip's
# last row shows; closing the main window shows the results in a fixed
# dialog frame that cannot be minimised.
#
# On 1024 x 768 the whole demo is taken: the name is entered, "Почати
# тестування" clicked, every question of the demo test answered right
# (options clicked at their pixels, typed answers entered, "Наст. питання"
# clicked or Enter pressed), the results window closed; then the report file
# is checked. The keyboard has the groups us, ru, ua: the test's layout
# (Ukrainian) is locked while the program runs and the student's group comes
# back when it ends; a keyboard without that group is left alone.
#
# Texts go into the boxes by the clipboard and Ctrl+V: xdotool types a
# Cyrillic letter by binding a key to it at that very moment, and on a busy
# machine the program reads the key before the binding and loses the letter.
#
# The demo runs from a temporary copy with its draws switched off, so that
# questions and options come in file order; their pixels come from the
# examiner's tool (`quizdesk-tool dump`, the same load as the program's) and
# the window's client area (inside the frame).
source "$(dirname "$0")/common.bash" "$@"

program=$build/src/quizdesk
assist=$build/tests/x11_assist
for need in Xvfb openbox setxkbmap xprop xdotool perl iconv; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
for need in "$program" "$assist" "$tool"; do
  [ -x "$need" ] || { echo "FAIL: $need is not built" >&2; exit 1; }
done

xvfb_pid=
wm_pid=
app_pid=
holder_pid=
cleanup() {
  # Under errexit a kill of a process that has already ended would stop the
  # clean-up half way and leave Xvfb running.
  set +e
  local pid
  for pid in "$app_pid" "$holder_pid" "$wm_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# running PID: the process exists and has not ended (an ended child that
# was not waited for yet is a zombie).
running() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) && [ "$state" != Z ]
}

# ---- The X server of SW x SH, on a free display number it picks itself; no
# key repeats however long a key stays down on a busy machine; no reset when
# its last client goes (which would forget the keyboard's groups); the keyboard
# with the groups LAYOUTS in the student's group GROUP; a window manager.
# Output goes to files: a server holding the test's own output open would
# keep ctest waiting even after the test has ended.
start_desktop() { # start_desktop SW SH LAYOUTS GROUP
  Xvfb -r -noreset -displayfd 3 -screen 0 "$1x$2x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")"
  : >"$work/display"
  read -r SW SH < <(xdotool getdisplaygeometry)
  setxkbmap -layout "$3" || { echo "FAIL: setxkbmap -layout $3" >&2; exit 1; }
  [ "$("$assist" group "$4")" = "$4" ] || { echo "FAIL: keyboard group $4" >&2; exit 1; }
  openbox --sm-disable --config-file /dev/null >"$work/wm.log" 2>&1 &
  wm_pid=$!
  within 10 wm_up ||
    { cat "$work/wm.log" >&2; echo "FAIL: the window manager did not start" >&2; exit 1; }
}
wm_up() { xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
stop_desktop() {
  local pid
  for pid in "$wm_pid" "$xvfb_pid"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wm_pid=
  xvfb_pid=
}

# start_program DIR: QuizDesk on the test in DIR; sets win, the client area
# (CX CY W H, on the screen) and the frame around it (FX FY FW FH).
start_program() {
  (cd "$1" && HOME=$home QT_QPA_PLATFORM=xcb exec timeout 120 "$program") \
    >"$work/app.out" 2>&1 &
  app_pid=$!
  within 20 xdotool search --onlyvisible --name QUIZDESK >/dev/null ||
    { echo "FAIL: no main window; program said: $(cat "$work/app.out")" >&2; exit 1; }
  win=$(xdotool search --onlyvisible --name QUIZDESK | head -n1)
  # The window manager frames the window once it is mapped.
  within 10 framed "$win" || fail "the window manager did not frame the main window"
  read -r _ CX CY W H < <("$assist" geometry "$win" | grep '^client')
  read -r _ FX FY FW FH < <("$assist" geometry "$win" | grep '^frame')
}
framed() {
  local g
  g=$("$assist" geometry "$1") &&
    [ "$(sed -n 's/^client //p' <<<"$g")" != "$(sed -n 's/^frame //p' <<<"$g")" ]
}

# inside_screen WHAT: the frame FX FY FW FH lies wholly on the screen and
# takes all of it (the window manager leaves no panel).
inside_screen() {
  [ "$FX" -ge 0 ] && [ "$FY" -ge 0 ] && [ $((FX + FW)) -le "$SW" ] && [ $((FY + FH)) -le "$SH" ] ||
    fail "$1: the framed window $FX,$FY ${FW}x$FH is not inside the screen ${SW}x$SH"
  [ "${FW}x$FH" = "${SW}x$SH" ] || fail "$1: the framed window is ${FW}x$FH, the screen ${SW}x$SH"
}

# What the screen showed, kept in the build directory to be looked at.
screens=$build/e2e-screens
mkdir -p "$screens"
shot() { "$assist" shot "$screens/$1.ppm" || fail "screenshot $1"; }

# The results window: a fixed size, a frame asked for with a title and a
# close button but nothing to minimise or maximise it (Motif hints: flags,
# functions, decorations; minimise 0x8 and maximise 0x10 among the functions,
# 0x20 and 0x40 among the decorations). A window manager may offer a minimise
# all the same (openbox does): the window comes back at once.
check_results_window() {
  local results hints flags functions decorations
  results=$(xdotool search --onlyvisible --name 'Результати тестування' | head -n1)
  hints=$(xprop -id "$results" _MOTIF_WM_HINTS | sed -n 's/.* = //p')
  IFS=', ' read -r flags functions decorations _ <<<"$hints"
  { [ $((flags & 3)) = 3 ] && [ $((functions & 0x18)) = 0 ] && [ $((functions & 0x20)) != 0 ] &&
    [ $((decorations & 0x60)) = 0 ]; } || fail "results window frame: Motif hints $hints"
  xprop -id "$results" WM_NORMAL_HINTS | grep -q 'minimum size: 526 by' ||
    fail "results window: not of a fixed size"
  read -r _ FX FY FW FH < <("$assist" geometry "$results" | grep '^frame')
  [ "$FX" -ge 0 ] && [ "$FY" -ge 0 ] && [ $((FX + FW)) -le "$SW" ] && [ $((FY + FH)) -le "$SH" ] ||
    fail "results window: the framed window $FX,$FY ${FW}x$FH is not inside the screen ${SW}x$SH"
  xdotool windowminimize "$results"
  within 5 eval 'xwininfo -id "$results" | grep -q IsViewable' || fail "a minimised results window stays away"
}

click_at() { xdotool mousemove $((CX + $1)) $((CY + $2)) click 1; }

# The colour RRGGBB at X, Y of the client area, as the screen shows it.
colour_at() { "$assist" pixel $((CX + $1)) $((CY + $2)); }

home=$work/home
mkdir -p "$home"
# The demo with its draws switched off: questions and options in file order.
dir=$work/demo
demo_in_file_order "$dir"

# ---- Lab screens. For each: the screen, the keyboard (without the test's
# Ukrainian group on the smaller one, with it on the other), and where the
# layout puts "Почати тестування" (its centre from the title page's top
# edge), "Наст. питання" and the shape Answer (their centres from the status
# strip's top edge) in the client area of that width (the frame takes 2
# pixels of the screen's width).
#   SW  SH  layouts  group  begin      ready     answer  group while running
lab_screens=(
  "640 480 us,ru 1 484,148 560,67 286,79 1"
  "800 600 us,ru,ua 0 616,178 720,50 350,79 2"
)
for screen in "${lab_screens[@]}"; do
  read -r sw sh layouts group begin ready answer running <<<"$screen"
  start_desktop "$sw" "$sh" "$layouts" "$group"
  start_program "$dir"
  inside_screen "${sw}x$sh"
  [ "$H" -lt "$SH" ] || fail "${sw}x$sh: no title bar above the window"
  [ "$("$assist" group)" = "$running" ] || fail "${sw}x$sh: keyboard group $("$assist" group), expected $running"
  shot "title-${sw}x$sh"
  # The title panel is 188 pixels high on a narrow screen, else 228.
  panel=$((sw < 650 ? 188 : 228))
  click_at "${begin%,*}" $((H - panel + ${begin#*,}))
  # The status strip shows the shape Answer, white until the first score.
  within 10 eval '[ "$(colour_at "${answer%,*}" $((H - 100 + ${answer#*,})))" = FFFFFF ]' ||
    fail "${sw}x$sh: no test started by \"Почати тестування\", or the shape Answer is not on the screen"
  # No answer: the first question is wrong, the shape turns red.
  click_at "${ready%,*}" $((H - 100 + ${ready#*,}))
  within 5 eval '[ "$(colour_at "${answer%,*}" $((H - 100 + ${answer#*,})))" = FF0000 ]' ||
    fail "${sw}x$sh: \"Наст. питання\" did not score the question (Answer $(colour_at "${answer%,*}" $((H - 100 + ${answer#*,}))))"
  shot "question-${sw}x$sh"
  "$assist" close "$win"
  within 10 eval 'xdotool search --onlyvisible --name "Результати тестування" >/dev/null' ||
    fail "${sw}x$sh: no results window"
  shot "results-${sw}x$sh"
  check_results_window
  "$assist" close "$(xdotool search --onlyvisible --name 'Результати тестування' | head -n1)"
  within 10 eval '! running "$app_pid"' || fail "${sw}x$sh: the program did not end"
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  [ "$("$assist" group)" = "$group" ] || fail "${sw}x$sh: the student's keyboard group did not come back"
  stop_desktop
done

# ---- The whole demo on 1024 x 768, the student's keyboard in its Russian
# group.
start_desktop 1024 768 us,ru,ua 1
start_program "$dir"
inside_screen "1024x768"
[ "$("$assist" group)" = 2 ] || fail "the test's Ukrainian keyboard group is not locked"

# ---- Where every option stands: "Q C R X Y MX" per option (question
# number, column, row; a point on its text and in its marker cell).
"$tool" dump "$dir" --width "$W" --height "$H" >"$work/model.json" ||
  { echo "FAIL: quizdesk-tool dump" >&2; exit 1; }
perl -MJSON::PP -e '
  my ($file, $dir) = @ARGV;
  local $/;
  open my $fh, "<", $file or die;
  my $m = decode_json(<$fh>);
  my ($cw, $lh) = ($m->{char_w}, $m->{line_h});
  # Height of question n'"'"'s picture: n.jpg (its frame header), else n.bmp.
  sub picture_height {
    my $n = shift;
    if (open my $j, "<:raw", "$dir/$n.jpg") {
      my $d = <$j>;
      my $i = 2;
      while ($i + 9 < length $d) {
        my ($ff, $marker, $len) = unpack("C C n", substr($d, $i, 4));
        return unpack("n", substr($d, $i + 5, 2))
          if $marker >= 0xC0 && $marker <= 0xCF && $marker != 0xC4 && $marker != 0xC8 && $marker != 0xCC;
        $i += 2 + $len;
      }
      die "no frame header in $n.jpg";
    }
    open my $b, "<:raw", "$dir/$n.bmp" or die "no picture for question $n";
    my $d = <$b>;
    return abs(unpack("l<", substr($d, 22, 4)));
  }
  my $n = 0;
  for my $q (@{$m->{questions}}) {
    $n++;
    my $dy = $q->{graph} ? picture_height($n) + 10 : 0;
    my $shift = $q->{type} == 3 ? $cw : 0; # the ordering bar stands in front
    my @cols = ($q->{type} == 4 || $q->{type} == 6)
      ? map { $_->{cell} } @{$q->{col}} : ($q->{ans});
    for my $c (0 .. $#cols) {
      my $r = 0;
      for my $s (@{$cols[$c]}) {
        my $left = $s->{left} + $shift;
        my $y = $s->{top} + $dy + int(($s->{bottom} - $s->{top}) / 2);
        printf "%d %d %d %d %d %d\n", $n, $c, $r++, $left + $cw + int($cw / 2), $y, $left - int($cw / 2);
      }
    }
  }' "$work/model.json" "$dir" >"$work/points" || { echo "FAIL: option positions" >&2; exit 1; }
declare -A on_text on_marker
while read -r q c r x y mx; do
  on_text["$q $c $r"]="$x $y"
  on_marker["$q $r"]="$mx $y"
done <"$work/points"

# ---- The student.
press() { # press Q C R: the option's text
  [ -n "${on_text["$1 $2 $3"]:-}" ] || { fail "no option $*"; return; }
  # shellcheck disable=SC2086
  click_at ${on_text["$1 $2 $3"]}
}
marker() { # marker Q R: the ordering bar in front of option R
  # shellcheck disable=SC2086
  click_at ${on_marker["$1 $2"]}
}
next_question() { click_at $((807 + 139 / 2)) $((H - 100 + 20 + 60 / 2)); }
enter_text() { # enter_text TEXT: into the box with the keyboard focus
  local clip=$work/clipboard
  : >"$clip"
  "$assist" clipboard "$1" >"$clip" &
  holder_pid=$!
  within 5 grep -q ready "$clip" || fail "clipboard for '$1'"
  xdotool key ctrl+v
  wait "$holder_pid" || fail "'$1' was not pasted"
  holder_pid=
}
type_answer() { enter_text "$1"; xdotool key Return; }

# The title page: the name box and the button, where the layout scales them.
click_at $((W * 32 / 800 + W * 345 / 800 / 2)) $((H - 228 + 158 + 33 / 2))
enter_text "Петренко П.І."
click_at $((W * 496 / 800 + W * 225 / 800 / 2)) $((H - 228 + 158 + 40 / 2))
reports=$home/REZ_TEST
within 10 compgen -G "$reports/*.txt" >/dev/null ||
  { echo "FAIL: the test did not start (no report file)" >&2; exit 1; }

press 1 0 2; press 1 0 0; next_question               # Київ, after a change of mind
press 2 0 0; press 2 0 1; press 2 0 3; press 2 0 4; press 2 0 4; next_question
marker 3 2; press 3 0 3                                # Десна to the third place
marker 3 0; press 3 0 0; marker 3 1; press 3 0 1; marker 3 3; press 3 0 3
next_question
press 4 0 0; press 4 1 1; press 4 0 1; press 4 1 0; press 4 0 2; press 4 1 2
next_question
type_answer "Говерла"
press 6 0 0; press 6 1 1; press 6 2 2; press 6 0 1; press 6 1 2; press 6 2 0
press 6 0 2; press 6 1 0; press 6 2 1; next_question
press 7 0 0; next_question                             # under the flag
press 8 0 0; press 8 0 2; next_question                # under the bitmap
type_answer "А21; Б32; В13"
press 10 0 1; next_question                            # a two-line option
type_answer "Дніпро"
press 12 0 0; press 12 1 0; press 12 1 2; press 12 0 1; press 12 1 1; press 12 1 3
next_question

results=
find_results() { results=$(xdotool search --onlyvisible --name 'Результати тестування' | head -n1); [ -n "$results" ]; }
within 10 find_results || { echo "FAIL: no results window" >&2; exit 1; }
check_results_window
"$assist" close "$results"
within 10 eval '! running "$app_pid"' || fail "the program did not end when its results were closed"
set +e
wait "$app_pid"
rc=$?
set -e
app_pid=
[ "$rc" -eq 0 ] || fail "exit code $rc; program said: $(cat "$work/app.out")"
[ "$("$assist" group)" = 1 ] || fail "the student's keyboard group did not come back"

# ---- The report.
files=("$reports"/*.txt)
[ "${#files[@]}" -eq 1 ] || fail "reports: ${files[*]}"
to_utf8 "${files[0]}" | tr -d '\r' >"$work/report"
real=$(cd "$dir" && pwd -P)
expected_head=$(cat <<EOF
Найменування дисципліни:  Географія України
Назва тесту:  Демонстраційний тест
($real)
Прізвище та ім'я: Петренко П.І.
Критерії оцінювання: Задовільно >= 60%, Добре >= 75%, Відмінно >= 90%.

Результати тестування:
№ питання  Кількість балів  Відповідь
EOF
)
grep -Eq '^Дата: +[0-9]+\.[0-9]+\.[0-9]{4} +Час: +[0-9 ]+\.[0-9 ]+\.[0-9 ]+$' <(head -n1 "$work/report") ||
  fail "date line: $(head -n1 "$work/report")"
[ "$(sed -n '2,9p' "$work/report")" = "$expected_head" ] ||
  fail "report head:"$'\n'"$(sed -n '2,9p' "$work/report")"
# One row per question, in file order, each with its full points and the
# answer as it was clicked or typed.
expected_rows=$(cat "$fixtures/demo-answers/all-right.rows")
[ "$(sed -n '10,21p' "$work/report")" = "$expected_rows" ] ||
  fail "report rows:"$'\n'"$(sed -n '10,21p' "$work/report")"
[ "$(sed -n '22p' "$work/report")" = "Всього балів: 27.00 з 27 можливих" ] ||
  fail "totals: $(sed -n '22p' "$work/report")"
grep -Eq '^ або 100 відсотків за час [0-9]+ хвилин [0-9]+ секунд\.$' <(sed -n '23p' "$work/report") ||
  fail "percent line: $(sed -n '23p' "$work/report")"
[ "$(sed -n '24p' "$work/report")" = "Оцінка: Відмінно" ] || fail "grade: $(sed -n '24p' "$work/report")"
[ "$(wc -l <"$work/report")" -eq 24 ] || fail "report length:"$'\n'"$(cat "$work/report")"

finish
