#!/usr/bin/env bash
# The peak memory of loading each crafted picture of tests/fixtures/pictures
# as a question picture, the bombs among them (a few hundred bytes claiming
# 27,000 and 60,000 pixels a side). Aim: under 100 MB for every one.
#   bench/picture_peak.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:?usage: picture_peak.sh BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

worst=0
for file in "$root"/tests/fixtures/pictures/*.jpg "$root"/tests/fixtures/pictures/*.bmp; do
  rm -f "$work"/1.*
  cp "$file" "$work/1.${file##*.}"
  line=$("$build/bench/quizdesk_picture_peak" "$work")
  printf '%-22s %s\n' "$(basename "$file")" "$line"
  kb=$(sed -n 's/.*peak \([0-9]*\) kB.*/\1/p' <<<"$line")
  [ "$kb" -gt "$worst" ] && worst=$kb
done
echo "highest peak: $((worst / 1024)) MB ($worst kB)"
if [ "$worst" -ge $((100 * 1024)) ]; then
  echo "over the aim of 100 MB" >&2
  exit 1
fi
