#pragma once

#include "definition/TestModel.h"
#include "run/Clock.h"
#include "run/RunState.h"
#include "run/SessionView.h"

#include <cstdint>

namespace qd {

class ReportSink;

// Every point earned: no scored question was recorded as not fully right
// and no question was left unasked by the test time limit. Decided by the
// questions, not by the float total, which can fall a hair short of
// maxScore when every question was right.
bool everyPointEarned(const RunState& st);

// Percentage of maxScore, halves rounded up; 0 when maxScore is below 1.
int percentOf(float score, int32_t maxScore);

// Grade words (code page 1251) for a percentage, or for the elapsed seconds
// when the test grades by time (then only with every point earned).
std::string gradeText(const TestModel& model, int percent, uint32_t seconds, bool allEarned);

// The end of a run without the window: percentage, elapsed time (from
// st.testStartTick to clock.ticks()), grade ("Тест не завершено!" when fewer
// than askCount questions were finished), the wrong-answer list ("%3d, " per
// question, ascending) unless every point was earned; writes the report's
// closing rows.
ResultsSummary summarizeResults(const TestModel& model, const RunState& st, const Clock& clock,
                                ReportSink& report);

} // namespace qd
