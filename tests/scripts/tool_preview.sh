#!/usr/bin/env bash
# quizdesk-tool preview: the pictures and the page it writes for the demo (at
# the default and at a given size and seed), a test whose header asks fewer
# questions than it holds, a test named with HTML's special characters, a
# faulty test (the loader's message, exit 1, nothing written) and bad usage.
# That the pictures are the window's own is shown by preview_xvfb.sh.
source "$(dirname "$0")/common.bash" "$@"

# png_size FILE: "W H" from the PNG's header.
png_size() {
  [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || { echo "not a PNG"; return; }
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}

# ---- The demo with the defaults: the title page and the twelve questions,
# each 1024 x 768, listed on the page in the order of the run on seed 0.
run "$tool" preview "$src/examples/demo" -o "$work/demo"
expect_rc "preview demo" 0
[ "$out" = "$work/demo/index.html" ] || fail "preview demo: stdout $out"
expected=$(printf '%s\n' index.html title.png question-{01..12}.png | sort)
[ "$(ls "$work/demo" | sort)" = "$expected" ] || fail "preview demo: files $(ls "$work/demo")"
for f in "$work"/demo/*.png; do
  [ "$(png_size "$f")" = "1024 768" ] || fail "$(basename "$f"): $(png_size "$f")"
done
# The page shows every picture once; the questions in the run's order.
order() { grep -o 'src="question-[0-9]*\.png"' "$1" | grep -o '[0-9][0-9]*' | sed 's/^0*//' | tr '\n' ' '; }
drawn() { "$tool" dump "$@" | python3 -c 'import json,sys; print(" ".join(str(q + 1) for q in json.load(sys.stdin)["i_r"][:12]), end=" ")'; }
[ "$(order "$work/demo/index.html")" = "$(drawn "$src/examples/demo" --seed 0)" ] ||
  fail "preview demo: order $(order "$work/demo/index.html")"
grep -q '<img src="title.png"' "$work/demo/index.html" || fail "preview demo: no title page on the page"
grep -q '<h1>Демонстраційний тест</h1>' "$work/demo/index.html" || fail "preview demo: no test name"
grep -q 'Question 5</b> (typed answer, 2 points), asked as number [0-9]*: Назвіть найвищу гору України.' \
  "$work/demo/index.html" || fail "preview demo: question 5's caption"

# ---- Another seed and size: the run of that seed, pictures of that size.
run "$tool" preview "$src/examples/demo" -o "$work/seed5" --seed 5 --width 800 --height 600
expect_rc "preview --seed 5" 0
[ "$(order "$work/seed5/index.html")" = "$(drawn "$src/examples/demo" --seed 5)" ] ||
  fail "preview --seed 5: order $(order "$work/seed5/index.html")"
[ "$(png_size "$work/seed5/question-07.png")" = "800 600" ] || fail "preview 800x600: $(png_size "$work/seed5/question-07.png")"
cmp -s "$work/demo/question-01.png" "$work/seed5/question-01.png" && fail "preview: the size made no difference"

# ---- Fewer asked than held, a name with <, >, & and quotes: the question
# left out is shown after the run's one, the name is escaped on the page.
test=$work/small
mkdir -p "$test"
cp "$fixtures"/minimal/* "$test"/
to_utf8 "$fixtures/minimal/otveti.txt" |
  sed -e 's/^Тест: .*/Тест: <script>"Кислоти" \& '"'луги'"'<\/script>#/' -e 's/^Задавати: 2/Задавати: 1/' |
  to_cp1251 "$test/otveti.txt"
(cd "$work" && "$tool" preview small >/dev/null) || fail "preview with the default folder"
page=$work/preview/index.html
[ -s "$page" ] || fail "preview: no ./preview/index.html"
grep -q '<h1>&lt;script&gt;&quot;Кислоти&quot; &amp; '"'луги'"'&lt;/script&gt;</h1>' "$page" ||
  fail "preview: the name is not escaped: $(grep '<h1>' "$page")"
grep -q '<script>' "$page" && fail "preview: a raw <script> on the page"
grep -q 'asks 1 of the 2 questions' "$page" || fail "preview: the count of questions asked"
[ "$(order "$page")" = "1 2 " ] || fail "preview small: order $(order "$page")"
grep -q 'Question 2</b>.*not asked on this seed' "$page" || fail "preview: question 2 not marked as left out"

# ---- A faulty test: the loader's message and check's hint, exit 1, and no
# folder made.
to_utf8 "$fixtures/minimal/otveti.txt" | sed 's/^Питань: 2/Питань: 3/' | to_cp1251 "$test/otveti.txt"
run "$tool" preview "$test" -o "$work/faulty"
expect_rc "preview faulty" 1
[ "$err" = "Вопрос 3 не заканчивается знаком '#'!
hint: the header of otveti.txt announces 3 questions, but voprosi.txt holds 2 (each question ends with '#')" ] ||
  fail "preview faulty: stderr $err"
[ -z "$out" ] || fail "preview faulty: stdout $out"
[ -e "$work/faulty" ] && fail "preview faulty: a folder was made"
run "$tool" preview "$work/no-such-test" -o "$work/faulty"
expect_rc "preview without files" 1
[ "$err" = "В текущей директории нет файла VOPROSI.TXT!" ] || fail "preview without files: $err"

# ---- Bad usage.
for args in "--width 0" "--height 4321" "--seed x" "--seed -1" "a b"; do
  # shellcheck disable=SC2086
  run "$tool" preview "$src/examples/demo" -o "$work/usage" $args
  expect_rc "preview $args" 2
done
[ -e "$work/usage" ] && fail "preview with bad usage: a folder was made"

finish
