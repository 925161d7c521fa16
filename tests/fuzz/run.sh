#!/usr/bin/env bash
# Runs the load fuzzer (and the picture fuzzer, below) for a bounded time and
# fails on any crash, leak, sanitizer report or broken invariant.
#   tests/fuzz/run.sh BUILD_DIR SECONDS
# The working corpus lives in BUILD_DIR/fuzz-corpus and grows from run to
# run; it is seeded from the demo test and the minimal fixture.
set -euo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR SECONDS}" && pwd)
seconds=${2:?usage: run.sh BUILD_DIR SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
fuzzer=$build/tests/fuzz/quizdesk_fuzz_load
corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"

# A seed: the window byte, voprosi.txt, the separator, otveti.txt.
seed() {
  local name=$1 window=$2 dir=$3
  {
    printf "\\x$(printf %02x "$window")"
    cat "$dir/voprosi.txt"
    printf '\000\377QD\377\000'
    cat "$dir/otveti.txt"
  } >"$corpus/seed-$name"
}
seed demo 0 "$root/examples/demo"
seed demo-narrow 1 "$root/examples/demo"
seed demo-plain 0 "$root/examples/demo/source"
seed minimal 0 "$root/tests/fixtures/minimal"
seed minimal-narrow 3 "$root/tests/fixtures/minimal"
# Sessions: the same files followed by the separator and the actions of a
# student (presses, typing, timer ticks, "Наст. питання"; SessionDriver.h).
session() {
  local name=$1 window=$2 dir=$3
  seed "$name" "$window" "$dir"
  {
    printf '\000\377QD\377\000'
    head -c 2048 "$dir/voprosi.txt" | cksum | cut -c1-4
    printf '\000\001\002\001\001\000\201\000\003\005\000\000\001\006\050\005'
    printf '\004\007Hoverla\005\001\001\003\001\002\004\005\006\377\207\020\005'
  } >>"$corpus/seed-$name"
}
session demo-session 0 "$root/examples/demo/source"
session minimal-session 2 "$root/tests/fixtures/minimal"

"$fuzzer" "$corpus" \
  -max_total_time="$seconds" \
  -max_len=16384 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -dict="$here/load.dict" \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1
# The picture loader: arbitrary bytes as a JPEG and as a bitmap, seeded from
# the tests' pictures, for half the time (at least 10 s). 256 MB is ample
# for any picture the loader takes (128 MB at most), so a picture bomb that
# gets past its limits shows as a failure; ASan's quarantine is kept small
# so that freed pictures do not count against it.
picture_fuzzer=$build/tests/fuzz/quizdesk_fuzz_picture
picture_corpus=$build/fuzz-corpus-picture
mkdir -p "$picture_corpus"
cp "$root"/tests/fixtures/pictures/*.jpg "$root"/tests/fixtures/pictures/*.bmp \
  "$root"/tests/fixtures/minimal/*.bmp "$root"/examples/demo/*.jpg "$root"/examples/demo/*.bmp \
  "$picture_corpus"/
picture_seconds=$((seconds / 2 > 10 ? seconds / 2 : 10))
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16" "$picture_fuzzer" "$picture_corpus" \
  -max_total_time="$picture_seconds" \
  -max_len=65536 \
  -timeout=10 \
  -rss_limit_mb=256 \
  -malloc_limit_mb=256 \
  -dict="$here/picture.dict" \
  -artifact_prefix="$artifacts/picture-" \
  -print_final_stats=1
echo "fuzz: pictures $picture_seconds s without a fault"

echo "fuzz: $seconds s without a fault"
