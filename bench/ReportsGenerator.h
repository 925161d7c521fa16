#pragma once

#include "definition/TestModel.h"

#include <cstdint>
#include <string>

namespace qdbench {

// The report of one generated student on a loaded test, as the program
// writes it: every question asked (in an order of its own), points drawn
// from the student's ability, answer columns of each question's kind.
// Deterministic in `student`.
std::string generatedReport(const qd::TestModel& model, int student);

} // namespace qdbench
