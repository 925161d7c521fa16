#!/usr/bin/env bash
# Every catalogue holds every tr() text of its program's sources, each one
# translated: a text added to the sources without its translation, or left
# unfinished or empty in the .ts, fails here and would otherwise show in
# English to a Ukrainian reader. The sources' catalogues are not touched:
# lupdate works on copies.
#   translations.sh LUPDATE GENERATE_PROJECT_SCRIPT "LUPDATE OPTIONS" PROJECT.cmake=FILE.ts...
set -uo pipefail

if [ $# -lt 4 ]; then
  echo "usage: translations.sh LUPDATE GENERATE_PROJECT_SCRIPT OPTIONS PROJECT=TS..." >&2
  exit 2
fi
lupdate=$1
generate=$2
read -r -a options <<<"$3"
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

for pair in "$@"; do
  project=${pair%%=*}
  ts=${pair#*=}
  name=$(basename "$ts")
  before=$failures
  # The sources and include paths of the program, as its _lupdate target
  # gives them to lupdate.
  if ! cmake -DIN_FILE="$project" -DOUT_FILE="$work/$name.json" -P "$generate" >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "FAIL: $name: cannot make the lupdate project from $project" >&2
    failures=$((failures + 1))
    continue
  fi
  cp "$ts" "$work/$name"
  if ! "$lupdate" -project "$work/$name.json" -ts "$work/$name" "${options[@]}" -no-obsolete \
    >"$work/log" 2>&1; then
    cat "$work/log" >&2
    echo "FAIL: $name: lupdate failed" >&2
    failures=$((failures + 1))
    continue
  fi
  # What lupdate found beside the catalogue (new texts come in unfinished;
  # texts no longer in the sources were dropped by -no-obsolete, so the
  # counts compare).
  in_tree=$(grep -c '<source>' "$ts")
  in_sources=$(grep -c '<source>' "$work/$name")
  if [ "$in_tree" != "$in_sources" ]; then
    echo "FAIL: $name holds $in_tree texts, the sources have $in_sources:" \
      "run 'cmake --build BUILD --target update_translations' and translate" >&2
    failures=$((failures + 1))
  fi
  # Unfinished, or an empty translation, in the tree's file or after the
  # update: each named by its source text.
  for file in "$ts" "$work/$name"; do
    untranslated=$(awk '
      /<source>/ { text = $0; sub(/.*<source>/, "", text); sub(/<\/source>.*/, "", text) }
      /<translation type="unfinished"/ || /<translation><\/translation>/ || /<translation\/>/ {
        print "  " text
      }' "$file")
    if [ -n "$untranslated" ]; then
      echo "FAIL: $name: texts without a translation (after lupdate: $([ "$file" = "$ts" ] && echo no || echo yes)):" >&2
      echo "$untranslated" >&2
      failures=$((failures + 1))
    fi
  done
  if grep -q 'type="vanished"\|type="obsolete"' "$ts"; then
    echo "FAIL: $name keeps texts the sources no longer have (lupdate -no-obsolete drops them)" >&2
    failures=$((failures + 1))
  fi
  [ "$failures" -eq "$before" ] && echo "$name: $in_tree texts, all translated"
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
