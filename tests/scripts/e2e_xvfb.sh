#!/usr/bin/env bash
# End to end: the real quizdesk binary on a real X server (Xvfb), driven with
# xdotool as a student drives it. The name is entered, "Почати тестування"
# clicked, every question of the demo test answered right (options clicked
# at their pixels, typed answers entered, "Наст. питання" clicked or Enter
# pressed), the results window closed; then the report file is checked.
#
# Texts go into the boxes by the clipboard and Ctrl+V: xdotool types a
# Cyrillic letter by binding a key to it at that very moment, and on a busy
# machine the program reads the key before the binding and loses the letter.
#
# The demo runs from a temporary copy with its draws switched off, so that
# questions and options come in file order; their pixels come from the
# examiner's tool (`quizdesk-tool dump`, the same load as the program's) and
# the window's geometry (at 0,0, as large as the screen).
source "$(dirname "$0")/common.bash" "$@"

program=$build/src/quizdesk
assist=$build/tests/x11_assist
for need in Xvfb xdotool perl iconv; do
  command -v "$need" >/dev/null || { echo "FAIL: $need is missing (make setup installs it)" >&2; exit 1; }
done
for need in "$program" "$assist" "$tool"; do
  [ -x "$need" ] || { echo "FAIL: $need is not built" >&2; exit 1; }
done

xvfb_pid=
app_pid=
holder_pid=
cleanup() {
  # Under errexit a kill of a process that has already ended would stop the
  # clean-up half way and leave Xvfb running.
  set +e
  local pid
  for pid in "$app_pid" "$holder_pid" "$xvfb_pid"; do
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

# within SECONDS CMD...: true as soon as CMD succeeds, false after SECONDS.
within() {
  local limit=$(($1 * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# ---- The X server, on a free display number it picks itself; no key
# repeats however long a key stays down on a busy machine.
# Its output goes to files: a server holding the test's own output open would
# keep ctest waiting even after the test has ended.
Xvfb -r -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
within 10 test -s "$work/display" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
read -r W H < <(xdotool getdisplaygeometry)

# ---- The test, in file order, and HOME for the report.
dir=$work/demo
home=$work/home
mkdir -p "$dir" "$home"
cp "$src"/examples/demo/source/voprosi.txt "$src"/examples/demo/source/otveti.txt "$dir"/
cp "$src"/examples/demo/*.jpg "$src"/examples/demo/*.bmp "$dir"/
# Header lines 18 to 20: sections, questions and options in random order.
LC_ALL=C sed -i '18,20s/1\r$/0\r/' "$dir/otveti.txt"
[ "$(LC_ALL=C sed -n '18,20p' "$dir/otveti.txt" | grep -c $': 0\r$')" = 3 ] ||
  { echo "FAIL: the demo's random switches were not found" >&2; exit 1; }

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
click_at() { xdotool mousemove "$1" "$2" click 1; }
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

(cd "$dir" && HOME=$home QT_QPA_PLATFORM=xcb exec timeout 120 "$program") \
  >"$work/app.out" 2>&1 &
app_pid=$!
within 20 xdotool search --onlyvisible --name QUIZDESK >/dev/null ||
  { echo "FAIL: no main window; program said: $(cat "$work/app.out")" >&2; exit 1; }
[ "$(xdotool search --onlyvisible --name QUIZDESK getwindowgeometry %1 | sed -n 's/ *Geometry: //p')" = "${W}x$H" ] ||
  fail "the main window does not fill the screen"

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
"$assist" close "$results"
within 10 eval '! running "$app_pid"' || fail "the program did not end when its results were closed"
set +e
wait "$app_pid"
rc=$?
set -e
app_pid=
[ "$rc" -eq 0 ] || fail "exit code $rc; program said: $(cat "$work/app.out")"

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
expected_rows=$(cat <<'EOF'
     1          2.00        1,
     2          3.00        1, 2, 4,
     3          4.00       1,2,4,3,
     4          3.00        А:2, Б:1, В:3,
     5          2.00       Говерла
     6          3.00        А:2,3, Б:3,1, В:1,2,
     7          1.00        1,
     8          2.00        1, 3,
     9          3.00       А21; Б32; В13
    10          1.00        2,
    11          1.00       Дніпро
    12          2.00        А:1,3, Б:2,4,
EOF
)
[ "$(sed -n '10,21p' "$work/report")" = "$expected_rows" ] ||
  fail "report rows:"$'\n'"$(sed -n '10,21p' "$work/report")"
[ "$(sed -n '22p' "$work/report")" = "Всього балів: 27.00 з 27 можливих" ] ||
  fail "totals: $(sed -n '22p' "$work/report")"
grep -Eq '^ або 100 відсотків за час [0-9]+ хвилин [0-9]+ секунд\.$' <(sed -n '23p' "$work/report") ||
  fail "percent line: $(sed -n '23p' "$work/report")"
[ "$(sed -n '24p' "$work/report")" = "Оцінка: Відмінно" ] || fail "grade: $(sed -n '24p' "$work/report")"
[ "$(wc -l <"$work/report")" -eq 24 ] || fail "report length:"$'\n'"$(cat "$work/report")"

finish
