#!/usr/bin/env bash
# The source tree keeps its layers (scripts/check-layers.sh), and the check
# itself catches an include that goes up or sideways, naming file and line.
source "$(dirname "$0")/common.bash" "$@"

check=$src/scripts/check-layers.sh

run bash "$check" "$src"
expect_rc "the source tree" 0
[ -z "$out" ] || fail "the source tree breaks its layers: $out"

# FILE|INCLUDED|verdict: a tree of one file whose third line includes INCLUDED.
while IFS='|' read -r file included verdict; do
  tree=$work/tree
  rm -rf "$tree"
  mkdir -p "$tree/$(dirname "$file")"
  printf '#pragma once\n\n#include "%s"\n' "$included" >"$tree/$file"
  run bash "$check" "$tree"
  case $verdict in
    ok)
      expect_rc "$file including $included" 0 ;;
    up | sideways)
      expect_rc "$file including $included" 1
      case $out in
        "$file:3: "*"($verdict a layer)") ;;
        *) fail "$file including $included was reported as: $out" ;;
      esac ;;
  esac
done <<'CASES'
src/run/Scoring.cpp|results/ReportFile.h|up
src/definition/Scrambler.h|app/TestRandom.h|up
src/definition/QuestionParser.cpp|screen/AnswerLayout.h|up
src/exam/ExamLink.cpp|results/ReportFile.h|sideways
src/results/Rescore.h|screen/TestFont.h|sideways
src/host/RunHost.cpp|app/MainWindow.h|up
src/screen/QuestionScreen.h|screen/ScreenBitmap.h|ok
src/results/ReportFile.h|run/ReportSink.h|ok
src/run/TestSession.cpp|run/Grading.h|ok
src/app/main.cpp|host/RunHost.h|ok
tools/quizdesk-tool/DryRun.cpp|app/StartUp.h|ok
server/quizdesk-examd/main.cpp|run/SystemClock.h|ok
src/journal/SqlJournal.cpp|host/RunHost.h|sideways
src/journal/Journal.h|app/MainWindow.h|up
server/ExamServer.h|journal/Journal.h|ok
tools/quizdesk-tool/main.cpp|journal/SqlJournal.h|ok
CASES

finish
