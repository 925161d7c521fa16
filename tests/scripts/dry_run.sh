#!/usr/bin/env bash
# The examiner's dry run: scripted sessions on the demo test (and on a small
# timed test) give exactly the expected output and report; a bad script,
# option or picture is refused the documented way.
source "$(dirname "$0")/common.bash" "$@"

home=$work/home
now="2026-12-07 10:05:09"

# play NAME TESTDIR SCRIPTDIR: runs the script with a fixed seed and time and
# compares stdout (the home directory written as @HOME@) and the report (as
# UTF-8, the test's directory written as @DIR@) with NAME.out, NAME.report.
play() {
  local name=$1 dir=$2 scripts=$3
  rm -rf "$home"
  mkdir -p "$home"
  HOME=$home run "$tool" run "$dir" --script "$scripts/$name.script" --seed 7 --now "$now" \
    --char-w 10
  expect_rc "$name" 0
  [ -z "$err" ] || fail "$name: stderr: $err"
  if ! diff -u "$scripts/$name.out" <(printf '%s\n' "${out//"$home"/@HOME@}") >&2; then
    fail "$name: output"
  fi
  local report
  report=$(sed -n 's/^report //p' "$work/.out")
  if [ -f "$scripts/$name.report" ]; then
    [ -f "$report" ] || { fail "$name: no report at '$report'"; return; }
    local real
    real=$(cd "$dir" && pwd -P)
    if ! diff -u "$scripts/$name.report" <(to_utf8 "$report" | DIR=$real perl -pe 's/\Q$ENV{DIR}\E/\@DIR\@/g') >&2; then
      fail "$name: report"
    fi
  elif [ -n "$(find "$home" -type f)" ]; then
    fail "$name: a report was written: $(find "$home" -type f)"
  fi
}

for name in full partial timeout closed titlepage; do
  play "$name" "$src/examples/demo" "$src/examples/dryrun"
done
play timed "$fixtures/timed" "$fixtures/timed"

# Options named by their texts play exactly as by their positions: the same
# output and the same report as full.script.
mkdir -p "$work/bytext"
cp "$src/examples/dryrun/full.out" "$work/bytext/full-by-text.out"
cp "$src/examples/dryrun/full.report" "$work/bytext/full-by-text.report"
cp "$src/examples/dryrun/full-by-text.script" "$work/bytext/"
play full-by-text "$src/examples/demo" "$work/bytext"

# A text no option of the question shows stops the run, naming the line.
printf 'name Іван\nbegin\nchoose "Житомир"\nnext\n' >"$work/notext.script"
HOME=$home run "$tool" run "$src/examples/demo" --script "$work/notext.script" --seed 7 --char-w 10
expect_rc "unknown option text" 1
[ "$err" = 'quizdesk-tool: script line 3: question 1 shows no option "Житомир"' ] ||
  fail "unknown option text: '$err'"

# Without --seed the draws are seeded with the calendar seconds of --now.
HOME=$home run "$tool" run "$src/examples/demo" --script "$src/examples/dryrun/closed.script" \
  --now "$now" --char-w 10
seeded=$out
seconds=$(TZ=UTC date -d "$now" +%s)
rm -rf "$home" && mkdir -p "$home" # the first report is kept: the same name again gets " (2)"
HOME=$home run "$tool" run "$src/examples/demo" --script "$src/examples/dryrun/closed.script" \
  --now "$now" --char-w 10 --seed "$seconds"
[ "$out" = "$seeded" ] || fail "default seed: '$seeded' against '$out'"

# A malformed line stops everything before anything is played.
printf 'name Іван\nbegin\n\n# fine so far\npress 0\nnext\n' >"$work/bad.script"
HOME=$home run "$tool" run "$src/examples/demo" --script "$work/bad.script" --seed 7
expect_rc "malformed line" 2
[ -z "$out" ] || fail "malformed line: output '$out'"
[[ "$err" == *"bad.script:5: "*"press C R"* ]] || fail "malformed line: '$err'"
for line in "begin now" "wait -1" "wait 1.2345" "marker 0 -1" "click 1" "jump 1 2" "Next" \
  "key" "key tab" "key down 0" "key down 101" "key up 1 2" \
  'choose' 'choose "a' 'order "a"b' 'match x'; do
  printf '%s\n' "$line" >"$work/bad.script"
  HOME=$home run "$tool" run "$src/examples/demo" --script "$work/bad.script"
  expect_rc "'$line'" 2
  [[ "$err" == *"bad.script:1: "* ]] || fail "'$line': '$err'"
done

HOME=$home run "$tool" run "$src/examples/demo"
expect_rc "no script" 2
HOME=$home run "$tool" run "$src/examples/demo" --script "$src/examples/dryrun/full.script" --now 2026-12-07
expect_rc "bad --now" 2

# A picture this run would show is missing: the start-up fault, nothing played.
cp -r "$src/examples/demo" "$work/demo"
rm "$work/demo/8.bmp"
HOME=$home run "$tool" run "$work/demo" --script "$src/examples/dryrun/full.script" --seed 7
expect_rc "missing picture" 1
[ -z "$out" ] || fail "missing picture: output '$out'"
[ "$err" = "Не удалось загрузить файл 8.jpg либо 8.bmp!" ] || fail "missing picture: '$err'"

finish
