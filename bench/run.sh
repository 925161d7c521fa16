#!/usr/bin/env bash
# Benchmarks of the load on the generated maximal test, and the peak memory
# of `quizdesk-tool check` on it.
#   bench/run.sh BUILD_DIR
# Aims: decoding at 600 MB/s or more and at half the speed of a plain table
# lookup per byte on the same bytes or more, a whole load well under 200 ms, the
# check under 64 MB of peak memory; display of a 50-option question under
# 5 ms and a hover with its repaint under 1 ms; quizdesk-tool stats over 5000
# reports of a 100-question test under a second.
set -euo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== generated maximal test"
"$build/bench/quizdesk_maxtest" "$work"

echo "== benchmarks"
"$build/bench/quizdesk_bench" --benchmark_min_time=1

echo "== decoding against a table lookup per byte"
"$build/bench/quizdesk_decode_bench"

echo "== question screen on a 1920x1080 window (display of 50 options, a hover)"
QT_QPA_PLATFORM=offscreen "$build/bench/quizdesk_screen_bench" --benchmark_min_time=1

echo "== peak memory of quizdesk-tool check --char-w 8"
if [ -x /usr/bin/time ]; then
  /usr/bin/time -v "$build/tools/quizdesk-tool" check --char-w 8 "$work" 2>"$work/time.txt"
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): *//p' "$work/time.txt")
else
  # Without GNU time: the tool as a child of python3, measured by getrusage.
  kb=$(python3 -c '
import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' \
    "$build/tools/quizdesk-tool" check --char-w 8 "$work")
  kb=${kb##*$'\n'}
fi
echo "peak memory: $((kb / 1024)) MB ($kb kB)"

echo "== after-exam analysis: 5000 reports of a 100-question test"
"$build/bench/quizdesk_stats_bench" --benchmark_min_time=1
mkdir -p "$work/exam"
"$build/bench/quizdesk_reports" "$work/exam"
# As an examiner runs it (the test font measured, which starts Qt's font
# system), and with the character width given.
for extra in "" "--char-w 8"; do
  start=$(date +%s%N)
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=offscreen "$build/tools/quizdesk-tool" stats "$work/exam" --reports "$work/exam/reports" \
    --json $extra >/dev/null
  end=$(date +%s%N)
  echo "quizdesk-tool stats ${extra:+$extra }over 5000 report files: $(((end - start) / 1000000)) ms"
done
echo "== start-up: the first painted title page against a bare Qt window"
bash "$(dirname "$0")/startup.sh" "$build"

echo "== the exam link against broken exam servers"
bash "$(dirname "$0")/exam_link_faults.sh" "$build"

echo "== a click on the exam check box with 1,000,000 students in students.dbf"
QT_QPA_PLATFORM=offscreen "$build/bench/quizdesk_namelist_bench"

echo "== peak memory of loading the crafted pictures (the bombs among them)"
bash "$(dirname "$0")/picture_peak.sh" "$build"

echo "== the exam server under load (N = 50, 1000, 5000; a SIGKILL in the middle)"
bash "$(dirname "$0")/server_load.sh" "$build"

echo "== quizdesk-examd verify over a journal of 1000 finished sittings"
# The aim: under a second for the whole command, with every report scored
# again. The baseline, measured in the same run: status, which only reads
# the sittings of the same journal. Wall and CPU time (user + system) are
# shown: on a busy machine the wall time waits for the processor.
mkdir -p "$work/journal"
"$build/bench/quizdesk_journal_writer" "$work/journal" 1000
timed() {
  /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >/dev/null
  awk '{ printf "%d ms wall, %d ms CPU", $1 * 1000, ($2 + $3) * 1000 }' "$work/time.txt"
}
echo "quizdesk-examd status (baseline): $(timed "$build/server/quizdesk-examd" status \
  --db "$work/journal/exam.sqlite")"
verify=$(timed "$build/server/quizdesk-examd" verify --db "$work/journal/exam.sqlite" \
  --test "$work/journal/test")
echo "quizdesk-examd verify --test over 1000 finished sittings: $verify (aim: under 1000 ms)"
cpu=$(awk '{ printf "%d", ($2 + $3) * 1000 }' "$work/time.txt")
if [ "$cpu" -ge 1000 ]; then
  echo "verify missed its aim" >&2
  exit 1
fi

echo "== a run's checkpoint at each question, with its sync, on the disk"
mkdir -p "$build/checkpoint-bench"
"$build/bench/quizdesk_checkpoint_bench" "$build/checkpoint-bench" 10
rm -rf "$build/checkpoint-bench"

echo "== the board: /api/sittings with 5000 sittings against a static server, ?since=, replies beside a board"
bash "$(dirname "$0")/board_load.sh" "$build"

echo "== the exam server at campus scale and under attack (each figure beside its baseline)"
bash "$(dirname "$0")/server_scale.sh" "$build"
