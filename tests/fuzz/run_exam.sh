#!/usr/bin/env bash
# Runs the exam-input fuzzer (IPaddress.txt, students.dbf, the server's
# replies; ExamInputFuzzer.cpp) for a bounded time and fails on any crash,
# leak, sanitizer report or broken rule.
#   tests/fuzz/run_exam.sh BUILD_DIR SECONDS
# The working corpus lives in BUILD_DIR/fuzz-corpus-exam and grows from run
# to run; it is seeded from the files and replies of the exam tests.
set -euo pipefail

build=$(cd "${1:?usage: run_exam.sh BUILD_DIR SECONDS}" && pwd)
seconds=${2:?usage: run_exam.sh BUILD_DIR SECONDS}
fuzzer=$build/tests/fuzz/quizdesk_fuzz_exam
corpus=$build/fuzz-corpus-exam
artifacts=$build/fuzz-artifacts-exam
mkdir -p "$corpus" "$artifacts"

sep() { printf '\000\377QD\377\000'; }
# A students.dbf as the tests write it.
table() { perl "$(dirname "$0")/../support/make_roster.pl" "$@"; }
# The replies of the tests: a grant, -2, -1, -3, a request to send again,
# and a grant with one bit flipped.
grant='\001\000\000\332\114\174\001'
minus2='\001\376\377\144\157\101\246'
minus1='\001\377\377\045\136\132\277'
minus3='\001\375\377\247\074\154\215'
again='\000\000\000\355\046\276\000'
flipped='\001\000\000\312\114\174\001'
name=$(printf 'Бондар Т.' | iconv -f UTF-8 -t CP1251)

# seed NAME READ-BYTE ADDRESS TABLE-FILE REPLIES
seed() {
  {
    printf "\\x$(printf %02x "$2")"
    printf '%s' "$3"
    sep
    cat "$4"
    sep
    printf "$5"
    sep
    printf '%s' "$name"
  } >"$corpus/seed-$1"
}
table "Бондар Т." "Коваль І." >"$corpus/.table"
head -c 456 /dev/zero >"$corpus/.empty-table"
seed grant 255 $'127.0.0.1\r\n' "$corpus/.table" "$grant"
seed refusals 1 '10.0.0.7' "$corpus/.table" "$minus2$minus1$minus3"
seed again 0 $'192.168.1.20 \n' "$corpus/.empty-table" "$again$grant$again"
seed damaged 2 'exam-server' "$corpus/.table" "$flipped$grant$flipped$flipped"
seed split 1 '' "$corpus/.table" "$grant$minus2$again"
rm -f "$corpus/.table" "$corpus/.empty-table"

"$fuzzer" "$corpus" \
  -max_total_time="$seconds" \
  -max_len=8192 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -artifact_prefix="$artifacts/" \
  -print_final_stats=1
echo "fuzz (exam input): $seconds s without a fault"
