#!/usr/bin/env bash
# quizdesk-tool import and export: a corpus of GIFT, Moodle XML and Aiken
# files (tests/fixtures/import) becomes tests that pass check, whose dumps
# and loss lists are compared with the expected ones; a test exported and
# imported again dumps as the original; --strict writes nothing on a loss.
source "$(dirname "$0")/common.bash" "$@"

corpus=$fixtures/import

# The dump with the measured char_w replaced, so that the font does not matter.
dump() { "$tool" dump "$1" --char-w 10; }

for file in chemistry.gift physics.xml elements.aiken; do
  name=${file%.*}
  dir=$work/$name
  run "$tool" import "$corpus/$file" -o "$dir"
  expect_rc "import $file" 0
  [ "$err" = "$(cat "$corpus/$name.losses")" ] ||
    fail "import $file: losses differ:$(diff <(printf '%s\n' "$err") "$corpus/$name.losses")"
  run "$tool" check "$dir" --char-w 10
  expect_rc "check $name" 0
  dump "$dir" >"$work/$name.json"
  cmp -s "$work/$name.json" "$corpus/$name.dump.json" ||
    fail "dump $name differs: $(diff "$work/$name.json" "$corpus/$name.dump.json" | head -20)"

  # QuizDesk -> Moodle XML -> QuizDesk, and through GIFT where it holds
  # every question (no ordering, no picture, one point each).
  formats="moodle-xml"
  grep -q '"type": 3\|"graph": [12]\|"mark": [02-9]' "$work/$name.json" || formats="$formats gift"
  for format in $formats; do
    run "$tool" export "$dir" --format "$format" -o "$work/$name.$format"
    expect_rc "export $name $format" 0
    run "$tool" import "$work/$name.$format" --format "$format" -o "$work/$name-$format" --strict
    expect_rc "re-import $name $format" 0
    dump "$work/$name-$format" | cmp -s - "$work/$name.json" ||
      fail "round trip $name through $format: the dump differs"
    for pic in "$dir"/*.bmp "$dir"/*.jpg; do
      [ -e "$pic" ] || continue
      [ "$format" = gift ] || cmp -s "$pic" "$work/$name-$format/$(basename "$pic")" ||
        fail "round trip $name: picture $(basename "$pic") differs"
    done
  done
done

# The embedded PNG became a bitmap QuizDesk shows, of the same size.
[ "$(head -c 2 "$work/physics/1.bmp")" = BM ] || fail "physics: 1.bmp is not a bitmap"

# Matching in three columns: one matching question for each further column.
run "$tool" export "$fixtures/../../examples/demo" --format moodle-xml
expect_rc "export demo" 0
grep -q 'matches in 3 columns; written as 2 matching questions' <<<"$out" ||
  fail "export demo: no comment on the three-column question"

# --strict: any loss is an error and nothing is written.
run "$tool" import "$corpus/physics.xml" -o "$work/strict" --strict
expect_rc "strict" 1
[ ! -e "$work/strict" ] || fail "strict: a folder was written"
grep -q '^quizdesk-tool: 1[0-9] losses; nothing written (--strict)$' <<<"$err" ||
  fail "strict: '$(tail -1 <<<"$err")'"

# A folder that already holds a test is not written over.
run "$tool" import "$corpus/elements.aiken" -o "$work/elements"
expect_rc "existing test" 1
[ "$err" = "quizdesk-tool: \"$work/elements\" already holds a test; nothing written" ] ||
  fail "existing test: '$err'"

# --scramble: the files are scrambled and load as the plain ones.
run "$tool" import "$corpus/elements.aiken" -o "$work/scrambled" --scramble
expect_rc "scramble" 0
[ "$(head -c 4 "$work/scrambled/voprosi.txt" | od -An -tx1 | tr -d ' ')" = 765edf01 ] ||
  fail "scramble: voprosi.txt is not scrambled"
dump "$work/scrambled" | cmp -s - "$work/elements.json" || fail "scramble: the dump differs"

# Usage errors.
run "$tool" import "$corpus/elements.aiken" --format csv -o "$work/csv"
expect_rc "unknown format" 2
run "$tool" export "$work/elements" --format csv
expect_rc "export unknown format" 2

finish
