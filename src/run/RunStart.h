#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

#include <cstdint>
#include <vector>

namespace qd {

// The draws of a run, right after a successful load and before the title
// page: room for the question order and the wrong-answer list, the test
// random source seeded with `seed` (start-up passes the clock's calendar
// seconds; the examiner's dry run may fix it), the question order and the
// option orders. The program and the dry run share it so that a seed gives
// both the same run.
Status prepareRun(TestModel& model, RunState& st, uint32_t seed);

// The record indexes of the questions this run asks, in asking order.
std::vector<int> questionsAsked(const TestModel& model, const RunState& st);

} // namespace qd
