#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
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

// The test's name as the report and the results window give it: `testName`,
// then CR LF "(" `dir` ")". A UTF-8 directory is converted to code page 1251
// (a missing character as "?"); one whose name is not UTF-8 is kept as its
// bytes, most likely code page 1251 already; at most 128 bytes of it.
std::string testTitleOf(std::string_view testName, const std::filesystem::path& dir);

} // namespace qd
