#!/usr/bin/env bash
# After the exam: the example reports of examples/analysis are made again
# by dry runs and match; stats reads them (a foreign file and a cut-short
# report in the folder); rescore with the corrected key changes exactly the
# students whose answer to question 7 the slip misjudged, and each corrected
# report is the one a dry run with the corrected key writes; the results
# page is self-contained and prints on A4 in Chromium. The same exam brought
# into a journal gives the same figures from --db.
source "$(dirname "$0")/common.bash" "$@"

demo=$src/examples/demo
examples=$src/examples/analysis

# --- The committed examples are reproducible.
bash "$src/scripts/example-reports.sh" "$build" "$work/ex" >/dev/null
for part in sheets reports; do
  diff -r "$examples/$part" "$work/ex/$part" >&2 || fail "examples/analysis/$part differ from a new run"
done
cmp -s "$examples/results.html" "$work/ex/results.html" || fail "examples/analysis/results.html differs"

reports=$work/reports
cp -r "$examples/reports" "$reports"
printf 'PK\3\4 not a report\n' >"$reports/notes.docx"
cut_short=$(LC_ALL=C grep -L "$(printf '\xce\xf6\xb3\xed\xea\xe0')" "$reports"/*.txt) # no "Оцінка"
[ "$(echo "$cut_short" | wc -l)" -eq 1 ] || fail "expected one cut-short example report: '$cut_short'"
finished=$(($(ls "$reports"/*.txt | wc -l) - 1))

# --- stats
run "$tool" stats "$demo" --reports "$reports" --json --char-w 10
expect_rc "stats --json" 0
[[ "$err" == *"notes.docx: skipped: not a report: line 1: expected the date line"* ]] ||
  fail "stats: the foreign file is not named: $err"
[[ "$err" == *"$(basename "$cut_short"): unfinished"* ]] || fail "stats: the cut-short report is not named: $err"
echo "$out" >"$work/stats.json"
FINISHED=$finished perl -MJSON::PP -e '
  local $/; my $s = decode_json(<STDIN>); my @bad;
  push @bad, "students $s->{students}" unless $s->{students} == $ENV{FINISHED};
  for my $k (qw(mean median sd alpha sem grades questions)) { push @bad, "no $k" unless exists $s->{$k}; }
  my @q = @{$s->{questions}};
  push @bad, "questions " . scalar(@q) unless @q == 12;
  for my $q (@q) {
    for my $k (qw(question sat facility sd discrimination efficiency flags options)) {
      push @bad, "question $q->{question}: no $k" unless exists $q->{$k};
    }
    push @bad, "question $q->{question}: sat $q->{sat}" unless $q->{sat} == $ENV{FINISHED};
  }
  # The slip in the key of question 7 shows: the better students lose it.
  push @bad, "question 7 not flagged" unless grep { $_ eq "discrimination<0" } @{$q[6]{flags}};
  # Single choice: every option listed, the choices add up to those who chose.
  my @keys = sort keys %{$q[0]{options}};
  push @bad, "question 1 options @keys" unless "@keys" eq "1 2 3 4";
  push @bad, "question 5 options" if defined $q[4]{options};
  my $g = 0; $g += $_ for values %{$s->{grades}};
  push @bad, "grades add up to $g" unless $g == $ENV{FINISHED};
  print join("\n", @bad);
' <"$work/stats.json" >"$work/bad.txt"
[ ! -s "$work/bad.txt" ] || fail "stats --json: $(cat "$work/bad.txt")"

run "$tool" stats "$demo" --reports "$reports" --csv --char-w 10
expect_rc "stats --csv" 0
[ "$(echo "$out" | head -1)" = "question,type,mark,sat,facility,sd,discrimination,efficiency,flags,options" ] ||
  fail "stats --csv heading: $(echo "$out" | head -1)"
[ "$(echo "$out" | wc -l)" -eq 13 ] || fail "stats --csv: $(echo "$out" | wc -l) lines"
run "$tool" stats "$demo" --reports "$reports" --char-w 10
expect_rc "stats" 0
[[ "$out" == *"students $finished "* ]] || fail "stats table: $out"
run "$tool" stats --help
[[ "$out" == *"divide by n - 1"* ]] || fail "stats --help states no variance convention"
run "$tool" stats "$demo" --char-w 10
expect_rc "stats without --reports" 2
run "$tool" stats "$demo" --reports "$work/none" --char-w 10
expect_rc "stats on a missing folder" 1

# --- rescore: the same wrong key changes nothing.
wrong=$work/wrong-key
mkdir -p "$wrong"
cp "$demo/source/voprosi.txt" "$demo"/*.jpg "$demo"/*.bmp "$wrong/"
LC_ALL=C sed 's/^7) 1 1 1/7) 1 2 1/' "$demo/source/otveti.txt" >"$wrong/otveti.txt"
run "$tool" rescore "$wrong" --reports "$reports" --char-w 10
expect_rc "rescore with the key of the exam" 0
[ "$out" = "0 of $((finished + 1)) reports change" ] || fail "rescore with the same key: $out"

# With the corrected key: exactly the students who answered question 7
# (asked eleventh) with option 1 (R, now right) or 2 (W, now wrong) change.
expected=$(grep -v '^#' "$examples/students.txt" | grep -v 'cut' |
  awk -F'|' '{ l = $2; gsub(/ /, "", l); c = substr(l, 11, 1); n = $1; sub(/ *$/, "", n);
              if (c == "R" || c == "W") print n }' | sort)
run "$tool" rescore "$demo" --reports "$reports" --write "$work/fixed" --char-w 10
expect_rc "rescore" 0
changed=$(echo "$out" | grep ' → ' | sed 's/ (.*//' | sort)
[ "$changed" = "$expected" ] || fail "rescore changed:
$changed
expected:
$expected"
[[ "$out" == *"$(echo "$expected" | wc -l) of $((finished + 1)) reports change" ]] || fail "rescore count: $out"
line=$(echo "$out" | grep '^Бондаренко')
[ "$line" = "Бондаренко Олена Василівна (БондаренкоОленаВасил.txt): points 26.00 → 27.00, percent 96 → 100, grade Відмінно → Відмінно" ] ||
  fail "rescore line: $line"

# Every corrected report is the report of a dry run of the same sheet with
# the corrected key.
for sheet in "$examples"/sheets/*.script; do
  grep -q '^# its report is then cut' "$sheet" && continue
  now=$(sed -n 's/^# played with --seed 7 --now "\(.*\)" --char-w 10$/\1/p' "$sheet")
  rm -rf "$work/home"
  mkdir -p "$work/home"
  HOME=$work/home run "$tool" run "$demo" --script "$sheet" --seed 7 --now "$now" --char-w 10
  report=$(sed -n 's/^report //p' "$work/.out")
  name=$(basename "$report")
  [ -f "$work/fixed/$name" ] || { fail "no corrected copy of $name"; continue; }
  if ! cmp -s <(LC_ALL=C sed "s|($(cd "$demo" && pwd -P))|(/srv/exam/geography)|" "$report") "$work/fixed/$name"; then
    fail "$name: the corrected report is not the dry run's with the corrected key"
  fi
done
# The originals stay as they were; they are never the target.
for f in "$examples"/reports/*.txt; do
  cmp -s "$f" "$reports/$(basename "$f")" || fail "rescore touched $(basename "$f")"
done
run "$tool" rescore "$demo" --reports "$reports" --write "$reports/." --char-w 10
expect_rc "rescore --write onto the reports" 2

# --- Attempts and sittings with nothing answered.
# A second attempt of Бондаренко (later, 100 %) comes from the lab: another
# attempt; a sitting closed before any answer is not sat, not 0 %.
olena=$examples/reports/БондаренкоОленаВасил.txt
mkdir -p "$work/lab"
LC_ALL=C sed -e '1s/Час:  9\./Час: 10./' -e 's/^Всього балів: 26.00/Всього балів: 27.00/' \
  -e 's/^ або 96 відсотків/ або 100 відсотків/' \
  <(to_utf8 "$olena") | to_cp1251 "$work/lab/second.txt"
to_utf8 "$examples/reports/ГнатюкАндрiйПетрович.txt" |
  awk '/^ *[0-9]+ +[0-9.]+ / { next } { print }' |
  sed -e 's/^Всього балів: [0-9.]*/Всього балів: 0.00/' -e 's/^ або [0-9]* відсотків/ або 0 відсотків/' \
    -e 's/^Оцінка: .*/Оцінка: Тест не завершено!/' -e 's/Андрій Петрович/Новий Учень/' |
  to_cp1251 "$work/lab/empty.txt"
cp "$examples"/reports/*.txt "$work/lab/"
for rule in latest first best; do
  run "$tool" stats "$demo" --reports "$work/lab" --json --attempt $rule --char-w 10
  expect_rc "stats --attempt $rule" 0
  RULE=$rule FINISHED=$finished perl -Mutf8 -CO -MJSON::PP -e '
    local $/; my $s = decode_json(<STDIN>); my @bad;
    push @bad, "students $s->{students}" unless $s->{students} == $ENV{FINISHED};
    push @bad, "attempt $s->{attempt}" unless $s->{attempt} eq $ENV{RULE};
    my @r = @{$s->{repeated}};
    push @bad, "repeated " . encode_json(\@r)
      unless @r == 1 && $r[0]{student} eq "Бондаренко Олена Василівна" && $r[0]{reports} == 2;
    my $second = ($r[0]{counted} // "") eq "second.txt";
    push @bad, "counted $r[0]{counted}" unless $second == ($ENV{RULE} ne "first");
    push @bad, "not sat " . encode_json($s->{notSat}) unless "@{$s->{notSat}}" eq "Гнатюк Новий Учень";
    print join("\n", @bad);' <<<"$out" >"$work/bad.txt"
  [ ! -s "$work/bad.txt" ] || fail "stats --attempt $rule: $(cat "$work/bad.txt")"
done
run "$tool" stats "$demo" --reports "$work/lab" --char-w 10
[[ "$out" == *"not sat  Гнатюк Новий Учень"* ]] || fail "stats: the not-sat student is not listed: $out"
[[ "$out" == *"repeated Бондаренко Олена Василівна (2 reports, counted second.txt)"* ]] ||
  fail "stats: the repeated student is not listed: $out"

# A key whose marks differ from the exam's: every report that scored more on
# question 1 than its new mark is refused by name; --rescore counts them all
# with the new key and no facility passes 100 %.
remarked=$work/remarked
mkdir -p "$remarked"
cp "$demo/source/voprosi.txt" "$demo"/*.jpg "$demo"/*.bmp "$remarked/"
LC_ALL=C sed 's/^1) 1 1 2/1) 1 1 1/' "$demo/source/otveti.txt" >"$remarked/otveti.txt"
run "$tool" stats "$remarked" --reports "$examples/reports" --char-w 10
expect_rc "stats with another key" 1
[[ "$err" == *"БондаренкоОленаВасил.txt: refused: question 1: 2.00 points with a mark of 1"* ]] ||
  fail "stats with another key: $err"
[[ "$err" == *"do not fit the test in $remarked: nothing is counted (--rescore scores them against it first)"* ]] ||
  fail "stats with another key: $err"
[ -z "$out" ] || fail "stats with another key printed figures: $out"
run "$tool" results "$remarked" --reports "$examples/reports" --html "$work/refused.html" --char-w 10
expect_rc "results with another key" 1
[ ! -e "$work/refused.html" ] || fail "results with another key wrote a page"
run "$tool" stats "$remarked" --reports "$examples/reports" --rescore --json --char-w 10
expect_rc "stats --rescore" 0
perl -MJSON::PP -e 'local $/; my $s = decode_json(<STDIN>);
  for my $q (@{$s->{questions}}) { print "question $q->{question}: $q->{facility}\n" if $q->{facility} > 100 }' \
  <<<"$out" >"$work/bad.txt"
[ ! -s "$work/bad.txt" ] || fail "stats --rescore: $(cat "$work/bad.txt")"

# --- From the exam server's journal: the same reports give the same figures.
examd=$build/server/quizdesk-examd
journal=$work/lab.sqlite
run "$examd" import-reports "$examples/reports" --db "$journal"
expect_rc "import-reports" 0
[[ "$out" == *"$finished stored (0 as another attempt), 0 completed, 0 already there, 1 skipped"* ]] ||
  fail "import-reports: $out"
run "$tool" stats "$demo" --reports "$examples/reports" --json --char-w 10
from_folder=$out
run "$tool" stats "$demo" --db "$journal" --json --char-w 10
expect_rc "stats --db" 0
[ "$out" = "$from_folder" ] ||
  fail "stats --db and --reports differ: $(diff <(echo "$from_folder") <(echo "$out") | head -5)"
run "$tool" stats "$demo" --db "$work/none.sqlite" --char-w 10
expect_rc "stats --db on a journal that is not there" 1
[[ "$err" == *"no journal $work/none.sqlite here"* ]] || fail "stats --db on no journal: $err"
[ ! -e "$work/none.sqlite" ] || fail "stats --db made a journal"
run "$tool" stats "$demo" --reports "$reports" --db "$journal" --char-w 10
expect_rc "stats with both sources" 2

# The lab's second attempt of Бондаренко and the sitting with nothing
# answered, brought in: one attempt a student, the empty one not sat.
run "$examd" import-reports "$work/lab" --db "$journal"
expect_rc "import-reports of the lab's files" 0
[[ "$out" == *"second.txt: differs from the journal's copy: stored as sitting"*"(report-differs)"* ]] ||
  fail "a second attempt: $out"
for rule in latest first; do
  run "$tool" stats "$demo" --db "$journal" --json --attempt $rule --char-w 10
  expect_rc "stats --db --attempt $rule" 0
  RULE=$rule FINISHED=$finished perl -Mutf8 -CO -MJSON::PP -e '
    local $/; my $s = decode_json(<STDIN>); my @bad;
    push @bad, "students $s->{students}" unless $s->{students} == $ENV{FINISHED};
    my @r = @{$s->{repeated}};
    push @bad, "repeated " . encode_json(\@r)
      unless @r == 1 && $r[0]{student} eq "Бондаренко Олена Василівна" && $r[0]{reports} == 2;
    # The lab file came in after the folder, as a later sitting.
    my ($id) = ($r[0]{counted} // "") =~ /^sitting (\d+) /;
    my $second = defined $id && $id > $ENV{FINISHED};
    push @bad, "counted $r[0]{counted}" unless $second == ($ENV{RULE} ne "first");
    push @bad, "not sat " . encode_json($s->{notSat}) unless "@{$s->{notSat}}" eq "Гнатюк Новий Учень";
    print join("\n", @bad);' <<<"$out" >"$work/bad.txt"
  [ ! -s "$work/bad.txt" ] || fail "stats --db --attempt $rule: $(cat "$work/bad.txt")"
done
# Another key: refused by sitting and reason, as the files are.
run "$tool" results "$remarked" --db "$journal" --html "$work/refused.html" --char-w 10
expect_rc "results --db with another key" 1
[[ "$err" == *"(Бондаренко Олена Василівна).txt: refused: question 1: 2.00 points with a mark of 1"* ]] ||
  fail "results --db with another key: $err"
[ ! -e "$work/refused.html" ] || fail "results --db with another key wrote a page"
run "$tool" stats "$remarked" --db "$journal" --rescore --json --char-w 10
expect_rc "stats --db --rescore" 0

# --- results
run "$tool" results "$demo" --reports "$reports" --html "$work/results.html" --char-w 10
expect_rc "results" 0
page=$work/results.html
for text in "<svg" "Gradebook" "Бондаренко Олена Василівна" "Questions" "Options chosen" "@page { size: A4"; do
  grep -qF "$text" "$page" || fail "results page: no '$text'"
done
# Self-contained: nothing is fetched (the SVG namespace is a name, not a fetch).
if grep -Eo '(src|href|url)\s*[=(]' "$page" | grep -q .; then
  fail "results page refers to other files: $(grep -Eo '(src|href|url)\s*[=(][^ >]*' "$page" | head -3)"
fi

if ! command -v chromium >/dev/null; then
  echo "SKIP: chromium is not installed: the page is not opened in a browser" >&2
  finish
  exit 0
fi
chrome() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile" "$@" >"$work/chrome.log" 2>&1
}
chrome --print-to-pdf="$work/results.pdf" --no-pdf-header-footer "file://$page" ||
  fail "chromium --print-to-pdf: $(cat "$work/chrome.log")"
# A4 is 210 x 297 mm, 595 x 842 points, give or take Chromium's rounding;
# the page holds at most a few sheets.
sizes=$(LC_ALL=C grep -ao '/MediaBox \[0 0 [0-9.]* [0-9.]*\]' "$work/results.pdf" | sort -u)
echo "$sizes" | awk '{ w = $4; h = $5 + 0; if (NR > 1 || w < 594 || w > 597 || h < 841 || h > 844) exit 1 }' ||
  fail "the printed page is not A4: '$sizes'"
pages=$(LC_ALL=C grep -ac '/Type /Page$\|/Type /Page[^s]' "$work/results.pdf" || true)
[ "$pages" -ge 1 ] && [ "$pages" -le 4 ] || fail "printed on $pages pages"
chrome --window-size=900,1500 --screenshot="$work/page.png" "file://$page" ||
  fail "chromium --screenshot: $(cat "$work/chrome.log")"
[ "$(head -c 8 "$work/page.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
  fail "chromium made no PNG"

finish
