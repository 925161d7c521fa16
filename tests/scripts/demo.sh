#!/usr/bin/env bash
# The demo test loads cleanly on a large and a narrow screen, and its
# scrambled files are exactly the scrambled form of its plain sources.
source "$(dirname "$0")/common.bash" "$@"

# The plain sources beside the demo's pictures, as an examiner keeps them
# while editing.
plain=$work/plain && mkdir -p "$plain"
cp "$src"/examples/demo/source/*.txt "$src"/examples/demo/*.jpg "$src"/examples/demo/*.bmp "$plain"/

for size in "1024 768" "640 480"; do
  read -r w h <<<"$size"
  run "$tool" check "$src/examples/demo" --width "$w" --height "$h"
  expect_rc "demo at ${w}x$h" 0
  [ "$out" = "OK: questions 12, sections 2, asked 12" ] || fail "demo at ${w}x$h: '$out' '$err'"
  # The plain sources load the same.
  run "$tool" check "$plain" --width "$w" --height "$h"
  expect_rc "demo sources at ${w}x$h" 0
done

run bash "$src/scripts/demo-files.sh" "$build" --check
expect_rc "demo files up to date" 0

finish
