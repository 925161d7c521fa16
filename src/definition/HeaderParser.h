#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"

namespace qd {

// Windows narrower than this get a smaller test font and line step.
constexpr int kNarrowWindow = 650;

// Reads and checks the twenty settings at the start of the answers text
// (answersText): two texts closed by "#", then eighteen integers, each behind
// its own colon. Labels are never read, only the order of the colons counts.
// Every setting is checked right after it is read; the first fault is
// returned. windowWidth decides the narrow-screen font (applied right after
// the bold flag is read). Fills the settings, sectionStarts and lineHeight.
Status parseHeader(TestModel& m, int windowWidth);

// Reads the two optional settings behind the last answer entry (from
// answersEnd): the keyboard layout and the results directory.
Status parseExtraSettings(TestModel& m);

} // namespace qd
