#!/usr/bin/env bash
# quizdesk-tool check: the summary line, the program's fault messages byte
# for byte (as UTF-8) with exit 1, missing files, and usage errors (exit 2).
source "$(dirname "$0")/common.bash" "$@"

minimal=$fixtures/minimal

run "$tool" check "$minimal" --char-w 8
expect_rc "check minimal" 0
[ "$out" = "OK: questions 2, sections 1, asked 2" ] || fail "check minimal: stdout '$out'"
[ -z "$err" ] || fail "check minimal: stderr '$err'"

# The same from inside the directory (DIR defaults to .), measuring the font.
run bash -c "cd '$minimal' && '$tool' check"
expect_rc "check in ." 0

# Broken variants of the minimal test, one edit each. Columns: file (v for
# voprosi.txt, o for otveti.txt), a sed edit of its text, the exact message.
# A message that does not end in a line break gets one on stderr.
broken=(
  "o|s/Питань: 2/Питань: 0/|Общее количество вопросов в тесте должно быть от 1 до 5000!"
  "o|s/Питань: 2/Питань: 99999999999/|Общее количество вопросов в тесте должно быть от 1 до 5000!"
  "o|s/Розділів: 1/Розділів: 3/|Количество разделов в тесте задано не верно!"
  "o|s/Шрифт: 16/Шрифт: 29/|Размер шрифта задан не верно!"
  "o|s/Тест: Кислоти#/Тест: Кислоти/|Название теста задано не верно!"
  "o|s/^2) 5/2) 8/|Тип вопроса 2 задан не верно!"
  "o|s/ Київ \/ 1/ Київ \/ /|Отсутствует количество баллов для 2 вопроса!"
  "o|s/^1) 1 1 2/1) 1 3 2/|Для вопроса 1 ответ задан не верно!"
  "o|s/^2) 5 \/ Київ \//2) 5 Київ/|Для вопроса 2 варианты ответов не разделены / /!"
  "v|s/столицю.#&/столицю./|Вопрос 2 не заканчивается знаком '#'!"
  "v|s/^2)/2 )/|Неправильная нумерация вопроса 2
 или вопрос 1 не заканчивается знаком '#' !"
  "v|s/<Львів>/Львів/|В вопросе 1 не правильно расставлены знаки '<'!"
  "v|s/<Київ>/<Київ/|В вопросе 1 разное количество знаков '<' и '>'!"
)
for row in "${broken[@]}"; do
  IFS='|' read -r which edit message <<<"$row"
  # read stops at the first line break: take the message's second line too.
  message=${row#*|*|}
  dir=$work/broken
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$minimal"/*.txt "$dir"/
  file=$dir/$([ "$which" = v ] && echo voprosi.txt || echo otveti.txt)
  to_utf8 "$file" | sed "$edit" | to_cp1251 "$file.new"
  mv "$file.new" "$file"
  run "$tool" check "$dir" --char-w 8
  expect_rc "$edit" 1
  expected=$(printf '%s\n' "$message")
  # The program's message comes first, byte for byte; a hint of the tool's
  # own may follow it on a line of its own (tested below).
  grep -v '^hint: ' "$work/.err" >"$work/.msg" || true
  [ "$(cat "$work/.msg")" = "$expected" ] || fail "$edit: stderr '$err', expected '$expected'"
  # Exactly one line break at the end, never two.
  [ "$(tail -c 1 "$work/.msg" | od -An -c | tr -d ' ')" = '\n' ] || fail "$edit: no line break at the end"
  [ "$(tail -c 2 "$work/.msg" | od -An -c | tr -d ' ')" != '\n\n' ] || fail "$edit: two line breaks at the end"
  [ -z "$out" ] || fail "$edit: stdout '$out'"
done

# A scrambled answers file that ends inside its seed reads as an empty text.
dir=$work/short && mkdir -p "$dir"
cp "$minimal/voprosi.txt" "$dir"/
printf '\x76\x5e\xdf\x01\x07' >"$dir/otveti.txt"
run "$tool" check "$dir" --char-w 8
expect_rc "short scrambled otveti" 1
[ "$err" = "Наименование дисциплины задано не верно!" ] || fail "short scrambled otveti: '$err'"

# Every picture question's picture is checked, not only those of one draw:
# without 2.jpg and 2.bmp the program's own message.
dir=$work/nopicture && mkdir -p "$dir"
cp "$minimal"/*.txt "$dir"/
run "$tool" check "$dir" --char-w 8
expect_rc "missing picture" 1
[ "$err" = "Не удалось загрузить файл 2.jpg либо 2.bmp!" ] || fail "missing picture: '$err'"

# Missing files: the questions file is reported first, even when both miss.
dir=$work/missing && mkdir -p "$dir"
run "$tool" check "$dir" --char-w 8
expect_rc "no files" 1
[ "$err" = "В текущей директории нет файла VOPROSI.TXT!" ] || fail "no files: '$err'"
cp "$minimal/voprosi.txt" "$dir"/
run "$tool" check "$dir" --char-w 8
expect_rc "no otveti.txt" 1
[ "$err" = "В текущей директории нет файла OTVETI.TXT!" ] || fail "no otveti.txt: '$err'"

# Misuse of the command line: a usage message and exit 2, nothing loaded.
usage_cases=(
  "check --width"
  "check --width abc"
  "check --width 0"
  "check --height -5"
  "check --char-w 8x"
  "check --frobnicate"
  "check a b"
  "dump --seed 4294967296"
  "dump --seed -1"
  "frobnicate"
  ""
)
for args in "${usage_cases[@]}"; do
  # shellcheck disable=SC2086
  run "$tool" $args
  expect_rc "quizdesk-tool $args" 2
  [ -n "$err" ] || fail "quizdesk-tool $args: no usage message"
  [ -z "$out" ] || fail "quizdesk-tool $args: stdout '$out'"
done

run "$tool" check --help
expect_rc "check --help" 0
grep -q -- "--char-w" <<<"$out" || fail "check --help does not list --char-w"

# Hints: after the program's message, one line naming the likely cause.
# plant NAME FILE SED: a copy of the minimal test with one edit (UTF-8 sed
# on the file's text, written back in code page 1251).
plant() {
  dir=$work/hint-$1
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$minimal"/* "$dir"/
  to_utf8 "$dir/$2" | sed "$3" | to_cp1251 "$dir/$2.new"
  mv "$dir/$2.new" "$dir/$2"
}
# expect_hint WHAT MESSAGE HINT: check's stderr is exactly the two lines.
expect_hint() {
  run "$tool" check "$dir" --char-w 8
  expect_rc "$1" 1
  [ "$err" = "$(printf '%s\nhint: %s' "$2" "$3")" ] || fail "$1: stderr '$err'"
}

# UTF-8: a fault (here the last question's points) gets the hint; a test
# that loads in spite of it gets the same line as a warning.
plant utf8 otveti.txt 's/ Київ \/ 1/ Київ \/ /'
to_utf8 "$dir/otveti.txt" >"$dir/otveti.utf8" && mv "$dir/otveti.utf8" "$dir/otveti.txt"
expect_hint "utf-8" "Отсутствует количество баллов для 2 вопроса!" \
  "otveti.txt is saved as UTF-8, but QuizDesk reads code page 1251; convert it with: iconv -f UTF-8 -t CP1251 otveti.txt > otveti.txt.1251 && mv otveti.txt.1251 otveti.txt"
plant utf8 otveti.txt 's/x/x/'
to_utf8 "$minimal/otveti.txt" >"$dir/otveti.txt"
run "$tool" check "$dir" --char-w 8
expect_rc "utf-8 loads" 0
[ "$err" = "quizdesk-tool: warning: otveti.txt is saved as UTF-8, but QuizDesk reads code page 1251; convert it with: iconv -f UTF-8 -t CP1251 otveti.txt > otveti.txt.1251 && mv otveti.txt.1251 otveti.txt" ] ||
  fail "utf-8 loads: '$err'"
# The command the hint gives mends the file.
(cd "$dir" && iconv -f UTF-8 -t CP1251 otveti.txt > otveti.txt.1251 && mv otveti.txt.1251 otveti.txt)
run "$tool" check "$dir" --char-w 8
expect_rc "utf-8 converted" 0

plant utf16 voprosi.txt 's/x/x/'
to_utf8 "$minimal/voprosi.txt" | iconv -f UTF-8 -t UTF-16 >"$dir/voprosi.txt"
run "$tool" check "$dir" --char-w 8
expect_rc "utf-16" 1
[ "$(tail -1 <<<"$err")" = "hint: voprosi.txt is saved as UTF-16, but QuizDesk reads code page 1251; convert it with: iconv -f UTF-16 -t CP1251 voprosi.txt > voprosi.txt.1251 && mv voprosi.txt.1251 voprosi.txt" ] ||
  fail "utf-16: '$err'"

plant more otveti.txt 's/Питань: 2/Питань: 3/'
expect_hint "count larger" "Вопрос 3 не заканчивается знаком '#'!" \
  "the header of otveti.txt announces 3 questions, but voprosi.txt holds 2 (each question ends with '#')"

plant fewer otveti.txt 's/Питань: 2/Питань: 1/; s/Задавати: 2/Задавати: 1/'
run "$tool" check "$dir" --char-w 8
expect_rc "count smaller" 0
[ "$err" = "quizdesk-tool: warning: the header of otveti.txt announces 1 questions, but voprosi.txt holds 2 (each question ends with '#'); the last 1 are never asked" ] ||
  fail "count smaller: '$err'"

plant bracket voprosi.txt 's/<Київ>/<Київ/'
expect_hint "bracket" "В вопросе 1 разное количество знаков '<' и '>'!" \
  "question 1: the '<' on line 1 of voprosi.txt is not closed by '>' before the next '<' on line 1"

plant closing voprosi.txt 's/<Київ> <Львів>/Київ> <Львів> <Одеса>/'
expect_hint "stray '>'" "В вопросе 1 разное количество знаков '<' и '>'!" \
  "question 1: the '>' on line 1 of voprosi.txt has no '<' before it"

# A line of the questions file ending in LF alone, where question 2's
# number mark is not found.
plant lineend voprosi.txt 's/^2)/2 )/'
printf '%s\n' "$(to_utf8 "$dir/voprosi.txt" | head -1)" | to_cp1251 "$dir/v.1"
printf 'Додатковий рядок\n' | to_cp1251 "$dir/v.2"
{ cat "$dir/v.1"; cat "$dir/v.2"; tail -n +2 "$dir/voprosi.txt"; } >"$dir/v.all"
mv "$dir/v.all" "$dir/voprosi.txt"
expect_hint "line end" "$(printf "Неправильная нумерация вопроса 2\n или вопрос 1 не заканчивается знаком '#' !")" \
  "line 2 of voprosi.txt ends with LF alone, the lines before it with CR LF; save the file with CR LF line ends throughout"

# Typed keys: a separator in a single key is a warning, several spellings
# are shown.
plant keys otveti.txt 's/^2) 5 \/ Київ \/ 1/2) 5 \/ Київ, Kyiv \/ 1/'
run "$tool" check "$dir" --char-w 8
expect_rc "separator in a key" 0
[ "$err" = "quizdesk-tool: warning: question 2 expects the single answer \"київ,kyiv\", which holds ','; for several accepted answers write the entry as \"2) 7 / one | other / points\"" ] ||
  fail "separator warning: '$err'"
plant accepted otveti.txt 's/^2) 5 \/ Київ \/ 1/2) 7 \/ Київ | Kyiv | Kiev \/ 1/'
run "$tool" check "$dir" --char-w 8
expect_rc "several spellings" 0
[ "$out" = "$(printf 'OK: questions 2, sections 1, asked 2\nquestion 2 accepts: "київ", "kyiv", "kiev"')" ] ||
  fail "several spellings: '$out'"
[ -z "$err" ] || fail "several spellings: stderr '$err'"

finish
