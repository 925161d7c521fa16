#!/usr/bin/env bash
# Runs the fuzz targets, each for a bounded time, and fails on any crash,
# leak, sanitizer report, broken invariant or memory beyond its limit.
#   tests/fuzz/run.sh BUILD_DIR SECONDS [TARGET...]     (default: every target)
# Each target's working corpus lives in BUILD_DIR and grows from run to run;
# it is seeded (seed_TARGET below) from the demo test, the fixtures and the
# exam tests' messages.
set -euo pipefail

usage="usage: run.sh BUILD_DIR SECONDS [TARGET...]"
build=$(cd "${1:?$usage}" && pwd)
seconds=${2:?$usage}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# One row per target: its corpus and artifact prefix under BUILD_DIR, its
# share of the time (all, or half but at least 10 s), libFuzzer's limits
# (- for none), its dictionary and ASan options of its own. The picture
# target keeps ASan's quarantine small so that freed pictures do not count
# against its memory limit.
#   target   corpus               artifacts                time max_len rss  malloc dict         asan
targets="
load       fuzz-corpus          fuzz-artifacts/          all  16384   2048 -      load.dict    -
picture    fuzz-corpus-picture  fuzz-artifacts/picture-  half 65536   256  256    picture.dict quarantine_size_mb=16
exam       fuzz-corpus-exam     fuzz-artifacts-exam/     all  8192    2048 -      -            -
framing    fuzz-framing-corpus  fuzz-framing-artifacts/  all  8192    2048 256    -            -
import     fuzz-corpus-import   fuzz-artifacts-import/   all  16384   2048 -      -            -
checkpoint fuzz-corpus-checkpoint fuzz-artifacts-checkpoint/ all 16384 2048 512 -          -
"

sep() { printf '\000\377QD\377\000'; }

# The test files (LoadFuzzer.cpp): the window byte, voprosi.txt, the
# separator, otveti.txt; sessions add the actions of a student (presses,
# typing, timer ticks, "Наст. питання"; SessionDriver.h).
seed_load() {
  local corpus=$1
  files() {
    local name=$1 window=$2 dir=$3
    {
      printf "\\x$(printf %02x "$window")"
      cat "$dir/voprosi.txt"
      sep
      cat "$dir/otveti.txt"
    } >"$corpus/seed-$name"
  }
  session() {
    local name=$1 window=$2 dir=$3
    files "$name" "$window" "$dir"
    {
      sep
      head -c 2048 "$dir/voprosi.txt" | cksum | cut -c1-4
      printf '\000\001\002\001\001\000\201\000\003\005\000\000\001\006\050\005'
      printf '\004\007Hoverla\005\001\001\003\001\002\004\005\006\377\207\020\005'
    } >>"$corpus/seed-$name"
  }
  files demo 0 "$root/examples/demo"
  files demo-narrow 1 "$root/examples/demo"
  files demo-plain 0 "$root/examples/demo/source"
  files minimal 0 "$root/tests/fixtures/minimal"
  files minimal-narrow 3 "$root/tests/fixtures/minimal"
  session demo-session 0 "$root/examples/demo/source"
  session minimal-session 2 "$root/tests/fixtures/minimal"
}

# Pictures (PictureFuzzer.cpp): the tests' and the demo's. 256 MB is ample
# for any picture the loader takes (128 MB at most), so a picture bomb that
# gets past its limits shows as a failure.
seed_picture() {
  cp "$root"/tests/fixtures/pictures/*.jpg "$root"/tests/fixtures/pictures/*.bmp \
    "$root"/tests/fixtures/minimal/*.bmp "$root"/examples/demo/*.jpg "$root"/examples/demo/*.bmp \
    "$1"/
}

# The exam link's input (ExamInputFuzzer.cpp): the read byte, IPaddress.txt,
# students.dbf, the server's replies and the student's name. The replies of
# the tests: a grant, -2, -1, -3, a request to send again, and a grant with
# one bit flipped.
seed_exam() {
  local corpus=$1
  local grant='\001\000\000\332\114\174\001'
  local minus2='\001\376\377\144\157\101\246'
  local minus1='\001\377\377\045\136\132\277'
  local minus3='\001\375\377\247\074\154\215'
  local again='\000\000\000\355\046\276\000'
  local flipped='\001\000\000\312\114\174\001'
  local name
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
  perl "$root/tests/support/make_roster.pl" "Бондар Т." "Коваль І." >"$corpus/.table"
  head -c 456 /dev/zero >"$corpus/.empty-table"
  seed grant 255 $'127.0.0.1\r\n' "$corpus/.table" "$grant"
  seed refusals 1 '10.0.0.7' "$corpus/.table" "$minus2$minus1$minus3"
  seed again 0 $'192.168.1.20 \n' "$corpus/.empty-table" "$again$grant$again"
  seed damaged 2 'exam-server' "$corpus/.table" "$flipped$grant$flipped$flipped"
  seed split 1 '' "$corpus/.table" "$grant$minus2$again"
  rm -f "$corpus/.table" "$corpus/.empty-table"
}

# The exam server's framing (FramingFuzzer.cpp): a recipe of registration,
# progress, a final message with a report holding the trailer, a damaged
# progress, a foreign kind; and raw zeros.
# The question banks of the import tests, each behind its format byte
# (ImportFuzzer.cpp).
seed_import() {
  local import=$root/tests/fixtures/import
  { printf '\000'; cat "$import/chemistry.gift"; } >"$1/seed-gift"
  { printf '\001'; cat "$import/elements.aiken"; } >"$1/seed-aiken"
  { printf '\002'; cat "$import/physics.xml"; } >"$1/seed-xml"
}

# The checkpoint reader (CheckpointFuzzer.cpp): a checkpoint as the program
# writes it, with three answers and question 4 open, and its body alone
# behind an odd first byte, which the target signs.
seed_checkpoint() {
  cp "$here/checkpoint.seed" "$1/seed-whole"
  { printf '\001'; tail -n +2 "$here/checkpoint.seed"; } >"$1/seed-body"
}

seed_framing() {
  printf '\001\007\000\000\000\001\001\002\000\001\001\001\003\001\001\000\002\000\000\014\001\144\004TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT\000\001\001\000\001\005\001\001\200\100\004\000\000\000\000\000\000' \
    >"$1/seed-recipe"
  head -c 400 /dev/zero >"$1/seed-raw"
}

wanted=" $* "
ran=0
while read -r target corpus artifacts share max_len rss malloc dict asan; do
  [ -n "$target" ] || continue
  [ $# -eq 0 ] || [[ $wanted == *" $target "* ]] || continue
  mkdir -p "$build/$corpus" "$(dirname "$build/$artifacts.")"
  "seed_$target" "$build/$corpus"
  time=$seconds
  [ "$share" = all ] || time=$((seconds / 2 > 10 ? seconds / 2 : 10))
  args=(-max_total_time="$time" -max_len="$max_len" -timeout=10 -rss_limit_mb="$rss"
    -artifact_prefix="$build/$artifacts" -print_final_stats=1)
  [ "$malloc" = - ] || args+=(-malloc_limit_mb="$malloc")
  [ "$dict" = - ] || args+=(-dict="$here/$dict")
  env=("ASAN_OPTIONS=${ASAN_OPTIONS:-}")
  [ "$asan" = - ] || env=("ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}$asan")
  env "${env[@]}" "$build/tests/fuzz/quizdesk_fuzz_$target" "$build/$corpus" "${args[@]}"
  echo "fuzz ($target): $time s without a fault"
  ran=$((ran + 1))
done <<<"$targets"
[ "$ran" -gt 0 ] || { echo "run.sh: no such target: $*" >&2; exit 2; }
