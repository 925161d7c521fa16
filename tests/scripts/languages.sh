#!/usr/bin/env bash
# The examiner's programs speak Ukrainian where the system's messages are
# Ukrainian and English otherwise, while every text whose bytes something
# relies on stays as it is in both: the program's fault messages, the
# report, the JSON and CSV, the files written.
source "$(dirname "$0")/common.bash" "$@"

demo=$src/examples/demo
examd=$build/server/quizdesk-examd
# in_locale LOCALE CMD...: runs CMD with the messages' locale LOCALE alone (the
# tests' environment sets LC_ALL=C.UTF-8 for every other test).
in_locale() {
  local locale=$1
  shift
  run env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG="$locale" "$@"
}

# An Aiken question with one option: a loss the import lists.
printf 'Одне?\nA. Київ\nANSWER: A\n' >"$work/one.txt"

# LOCALE | command | a line the output (stdout and stderr) holds
while IFS='|' read -r locale command expected; do
  [ -n "$locale" ] || continue
  eval "in_locale $locale $command"
  if [[ "$out$err" != *"$expected"* ]]; then
    fail "LANG=$locale $command: no \"$expected\" in: $out$err"
  fi
done <<EOF_TABLE
uk_UA.UTF-8|"$tool" --help|використання: quizdesk-tool КОМАНДА [АРГУМЕНТИ]
C|"$tool" --help|usage: quizdesk-tool COMMAND [ARGS]
uk_UA.UTF-8|"$tool" check --help|Використання: quizdesk-tool check [параметри] [DIR]
uk_UA.UTF-8|"$tool" check --help|  --width <W>   Ширина вікна в пікселях (типово 1024).
C.UTF-8|"$tool" check --help|  --width <W>   Window width in pixels (default 1024).
uk|"$tool" stats --help|Аналіз питань екзамену: тест у DIR, звіти учнів у FOLDER.
en_GB.UTF-8|"$tool" stats --help|Item analysis of an exam: the test in DIR, the students' reports in FOLDER.
uk_UA.UTF-8|"$tool" check --bogus|quizdesk-tool: Невідомий параметр «bogus».
C|"$tool" check --bogus|quizdesk-tool: Unknown option 'bogus'.
uk_UA.UTF-8|"$tool" frobnicate|quizdesk-tool: невідома команда «frobnicate»
POSIX|"$tool" frobnicate|quizdesk-tool: unknown command "frobnicate"
uk_UA.UTF-8|"$tool" dump --seed x|quizdesk-tool: --seed потребує цілого числа від 0 до 4294967295, а не «x»
uk_UA.UTF-8|"$tool" stats --reports "$work" --csv --json|quizdesk-tool: --csv і --json взаємовиключні
C|"$tool" stats --reports "$work" --csv --json|quizdesk-tool: --csv and --json exclude each other
uk_UA.UTF-8|"$tool" scramble "$work/voprosi.txt" --seed 1|quizdesk-tool: не вдається прочитати «$work/voprosi.txt»
uk_UA.UTF-8|"$tool" check "$demo" --char-w 8|Гаразд: питань
uk_UA.UTF-8|"$tool" import "$work/one.txt" -o "$work/one-uk"|: "Одне?": варіантів: 1, а питання має від 2 до 50; пропущено
C|"$tool" import "$work/one.txt" -o "$work/one-c"|: "Одне?": 1 options: a question has 2 to 50; left out
uk_UA.UTF-8|"$tool" stats "$demo" --reports "$src/examples/analysis/reports" --char-w 8| питання   тип   бал  писали  легкість%
C|"$tool" stats "$demo" --reports "$src/examples/analysis/reports" --char-w 8|question  type  mark    sat  facility%
C|"$tool" check "$demo" --char-w 8|OK: questions
uk_UA.UTF-8|"$examd" --help|використання: quizdesk-examd serve [--listen ADDR]
C|"$examd" --help|usage: quizdesk-examd serve [--listen ADDR]
uk_UA.UTF-8|"$examd" status --db "$work/none.sqlite"|quizdesk-examd: тут немає журналу $work/none.sqlite (його називає --db)
C|"$examd" status --db "$work/none.sqlite"|quizdesk-examd: no journal $work/none.sqlite here (--db names it)
uk_UA.UTF-8|"$examd" frobnicate|quizdesk-examd: невідома команда frobnicate
uk_UA.UTF-8|"$examd" export --format ods|quizdesk-examd: --format потребує csv, csv-1251 або xlsx
C|"$examd" export --format ods|quizdesk-examd: --format takes csv, csv-1251 or xlsx
EOF_TABLE

# The variables in their order: LC_ALL over LC_MESSAGES over LANG; LANGUAGE
# picks among languages, never out of the C locale.
run env LC_ALL=C LANG=uk_UA.UTF-8 "$tool" --help
[[ "$out" == "usage: quizdesk-tool"* ]] || fail "LC_ALL=C over LANG: $out"
run env -u LC_ALL LC_MESSAGES=uk_UA.UTF-8 LANG=C "$tool" --help
[[ "$out" == "використання:"* ]] || fail "LC_MESSAGES over LANG: $out"
run env -u LC_ALL LANGUAGE=uk LANG=C.UTF-8 "$tool" --help
[[ "$out" == "usage:"* ]] || fail "LANGUAGE under the C locale: $out"
run env -u LC_ALL LANGUAGE=uk:en LANG=en_US.UTF-8 "$tool" --help
[[ "$out" == "використання:"* ]] || fail "LANGUAGE=uk:en under en_US: $out"

# What is not the tool's own speech keeps its bytes in Ukrainian: the dump
# (JSON), and the program's fault message that check prints.
for locale in C uk_UA.UTF-8; do
  in_locale "$locale" "$tool" dump "$demo" --seed 7 --char-w 8
  expect_rc "dump ($locale)" 0
  printf '%s' "$out" >"$work/dump.$locale"
done
cmp -s "$work/dump.C" "$work/dump.uk_UA.UTF-8" || fail "dump differs between C and uk_UA"

mkdir "$work/broken"
cp "$demo"/*.txt "$demo"/*.jpg "$demo"/*.bmp "$work/broken/"
rm "$work/broken/otveti.txt"
for locale in C uk_UA.UTF-8; do
  in_locale "$locale" "$tool" check "$work/broken" --char-w 8
  expect_rc "check of a broken test ($locale)" 1
  printf '%s' "$err" | head -n 1 >"$work/fault.$locale"
done
cmp -s "$work/fault.C" "$work/fault.uk_UA.UTF-8" ||
  fail "the program's fault message differs: $(cat "$work/fault.C") / $(cat "$work/fault.uk_UA.UTF-8")"

# The server's log: started in each language until its first lines are
# out (at most 10 s), then ended.
perl "$src/tests/support/make_roster.pl" "Бондар Т." "Коваль І." >"$work/students.dbf"
for locale in uk_UA.UTF-8 C; do
  log=$work/serve.$locale
  env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG="$locale" timeout 10 "$examd" serve \
    --listen 127.0.0.1 --port 0 --no-http --roster "$work/students.dbf" \
    --db "$work/exam.$locale.sqlite" >"$log" 2>&1 &
  server=$!
  for _ in $(seq 200); do
    grep -q 'not verified\|не перевіряються' "$log" && break
    sleep 0.05
  done
  kill -TERM "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  case $locale in
    uk_UA.UTF-8) expected=("слухаю на 127.0.0.1, порт " "; учнів у списку: 2"
                           "quizdesk-examd: результати не перевіряються: не задано --test") ;;
    C) expected=("listening on 127.0.0.1 port " ", 2 students on the roster"
                 "quizdesk-examd: results are not verified: no --test given") ;;
  esac
  for line in "${expected[@]}"; do
    grep -qF -- "$line" "$log" || fail "serve ($locale): no \"$line\" in: $(cat "$log")"
  done
done

# The results page: its headings in the reader's language, its figures and
# names the same.
for locale in C uk_UA.UTF-8; do
  in_locale "$locale" "$tool" results "$demo" --reports "$src/examples/analysis/reports" \
    --html "$work/results.$locale.html"
  expect_rc "results ($locale)" 0
done
for heading in '<h2>Gradebook</h2>' '<th class="text">Student</th>' '<h2>Options chosen</h2>'; do
  grep -qF "$heading" "$work/results.C.html" || fail "results (C): no $heading"
done
for heading in '<h2>Журнал оцінок</h2>' '<th class="text">Учень</th>' '<h2>Вибрані варіанти</h2>' \
  '<title>Результати: '; do
  grep -qF "$heading" "$work/results.uk_UA.UTF-8.html" || fail "results (uk): no $heading"
done
# The same rows of figures in both: the gradebook's and the questions'.
diff <(grep '^<tr><td>[0-9]' "$work/results.C.html") \
  <(grep '^<tr><td>[0-9]' "$work/results.uk_UA.UTF-8.html") >/dev/null ||
  fail "the gradebook's rows differ between the languages"

# The exports of the journal the server above made: the spreadsheet's heads
# in the reader's language, the CSV's keys as they are for the scripts.
for locale in C uk_UA.UTF-8; do
  in_locale "$locale" "$examd" export --db "$work/exam.C.sqlite" -o "$work/export.$locale.csv"
  expect_rc "export csv ($locale)" 0
  in_locale "$locale" "$examd" export --format xlsx --db "$work/exam.C.sqlite" \
    -o "$work/export.$locale.xlsx"
  expect_rc "export xlsx ($locale)" 0
done
cmp -s "$work/export.C.csv" "$work/export.uk_UA.UTF-8.csv" || fail "the CSV differs between the languages"
[[ "$(head -n 1 "$work/export.C.csv")" == student,computer,started,* ]] ||
  fail "the CSV's keys: $(head -n 1 "$work/export.C.csv")"
xlsx_text() { unzip -p "$1" xl/workbook.xml xl/sharedStrings.xml xl/worksheets/sheet1.xml; }
for word in '<sheet name="sittings"' '>student<' '>claimed percent<'; do
  xlsx_text "$work/export.C.xlsx" | grep -qF "$word" || fail "xlsx (C): no $word"
done
for word in '<sheet name="сесії"' '>учень<' '>заявлений відсоток<'; do
  xlsx_text "$work/export.uk_UA.UTF-8.xlsx" | grep -qF "$word" || fail "xlsx (uk): no $word"
done

# Under a Ukrainian locale that the C library knows (made here with
# localedef, as a Ukrainian school's computers have it), numbers keep their
# decimal point: a report's points, the analysis of the reports, the
# exports. The locale's own separator is a comma.
mkdir -p "$work/locale"
if localedef -i uk_UA -f UTF-8 "$work/locale/uk_UA.UTF-8" >/dev/null 2>&1 ||
  [ -d "$work/locale/uk_UA.UTF-8" ]; then
  ukrainian() { env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LOCPATH="$work/locale" LANG=uk_UA.UTF-8 "$@"; }
  [ "$(ukrainian bash -c 'printf "%.2f" 1' 2>/dev/null)" = "1,00" ] || fail "the made locale has no comma"
  reports=$src/examples/analysis/reports
  for locale in C uk; do
    with=()
    [ "$locale" = uk ] && with=(ukrainian)
    rm -rf "$work/home"
    mkdir -p "$work/home"
    HOME=$work/home run "${with[@]}" "$tool" run "$demo" --script "$src/examples/dryrun/full.script" \
      --seed 7 --now "2026-12-07 10:05:09" --char-w 10
    expect_rc "run ($locale)" 0
    cp "$(sed -n 's/^report //p' "$work/.out")" "$work/report.$locale"
    run "${with[@]}" "$tool" stats "$demo" --reports "$reports" --csv
    printf '%s' "$out" >"$work/stats.$locale"
    run "${with[@]}" "$tool" rescore "$demo" --reports "$reports" --write "$work/rescored.$locale"
    run "${with[@]}" "$examd" import-reports "$reports" --test "$demo" --db "$work/import.$locale.sqlite"
    run "${with[@]}" "$examd" export --db "$work/import.$locale.sqlite"
    printf '%s' "$out" >"$work/export.$locale"
  done
  cmp -s "$work/report.C" "$work/report.uk" || fail "the dry run's report differs under uk_UA"
  grep -q '2\.00' <(iconv -f CP1251 -t UTF-8 "$work/report.uk") || fail "the report has no point"
  cmp -s "$work/stats.C" "$work/stats.uk" || fail "stats differ under uk_UA"
  diff -r "$work/rescored.C" "$work/rescored.uk" >/dev/null || fail "rescore --write differs under uk_UA"
  cmp -s "$work/export.C" "$work/export.uk" || fail "the export differs under uk_UA"
else
  echo "localedef cannot make uk_UA.UTF-8 here: the decimal point is not checked"
fi

finish
