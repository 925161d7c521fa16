#!/usr/bin/env bash
# Runs the framing fuzzer for a bounded time and fails on any crash, leak,
# sanitizer report, broken framing promise or memory beyond the limit.
#   tests/fuzz/run_framing.sh BUILD_DIR SECONDS
# Its corpus lives in BUILD_DIR/fuzz-framing-corpus; the seeds are a raw
# stream and a recipe of messages (see FramingFuzzer.cpp).
set -euo pipefail

build=$(cd "${1:?usage: run_framing.sh BUILD_DIR SECONDS}" && pwd)
seconds=${2:?usage: run_framing.sh BUILD_DIR SECONDS}
fuzzer=$build/tests/fuzz/quizdesk_fuzz_framing
corpus=$build/fuzz-framing-corpus
artifacts=$build/fuzz-framing-artifacts
mkdir -p "$corpus" "$artifacts"

# A recipe: registration, progress, a final message with a report holding
# the trailer, a damaged progress, a foreign kind; and raw zeros.
printf '\001\007\000\000\000\001\001\002\000\001\001\001\003\001\001\000\002\000\000\014\001\144\004TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT\000\001\001\000\001\005\001\001\200\100\004\000\000\000\000\000\000' \
  >"$corpus/seed-recipe"
head -c 400 /dev/zero >"$corpus/seed-raw"

"$fuzzer" "$corpus" \
  -max_total_time="$seconds" \
  -max_len=8192 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -malloc_limit_mb=256 \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1
echo "framing fuzz: $seconds s without a fault"
