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
  "o|s/^2) 5/2) 7/|Тип вопроса 2 задан не верно!"
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
  [ "$err" = "$expected" ] || fail "$edit: stderr '$err', expected '$expected'"
  # Exactly one line break at the end, never two.
  [ "$(tail -c 1 "$work/.err" | od -An -c | tr -d ' ')" = '\n' ] || fail "$edit: no line break at the end"
  [ "$(tail -c 2 "$work/.err" | od -An -c | tr -d ' ')" != '\n\n' ] || fail "$edit: two line breaks at the end"
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

finish
