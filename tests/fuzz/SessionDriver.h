#pragma once

// The second half of a fuzz input: a student's session over the model the
// loader accepted, played through the engine the window drives.

#include "definition/TestModel.h"

#include <string_view>

namespace qdfuzz {

// Draws the run (the seed taken from the first bytes), starts the test and
// plays the remaining bytes as actions: presses on options or anywhere,
// pointer moves, typed answers, "Наст. питання", timer ticks and long waits,
// a close request. Aborts when a scored question's points are negative or
// above max(mark, 0) by more than 0.001, or when the response outgrows its
// capacity. The sanitizers catch the rest.
void playSession(qd::TestModel& model, std::string_view actions);

} // namespace qdfuzz
