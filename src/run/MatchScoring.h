#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

namespace qd {

// Scoring of the matching questions (types 4 and 6) with partial credit and
// penalties for surplus answers. The points may come out negative;
// scoreQuestion records them as 0 and does all the bookkeeping. These
// functions rewrite the response of the mouse (matchingPicks, columnPicks)
// into file numbers in place.

// Type 4. For a picture-only question the typed text in answerText
// ("A1,3;B2", blanks ignored) is scored group by group; otherwise the mouse
// response matchingPicks is (scoreMatchingByMouse).
Result<float> scoreMatching(const TestModel& model, RunState& st);

// Type 4 by mouse: matchingPicks (per shown row of the first column a count
// and the shown rows of the second column). Appends " %c:" and "%d," per pick
// to answerText for the report, in shown row order with file numbers; the
// text stops growing, at a whole entry, before it would pass 127 bytes (a
// row's label goes together with its first number). Fault of toFileNumbers
// for a pick outside the second column.
Result<float> scoreMatchingByMouse(const TestModel& model, RunState& st);

// Type 6. For a picture-only question the typed keys in answerText
// ("A21;B10", blanks ignored) are compared with sans; otherwise the mouse
// response columnPicks is (scoreMatchingColumnsByMouse).
Result<float> scoreMatchingColumns(const TestModel& model, RunState& st);

// Type 6 by mouse: columnPicks (per shown row of the first column the shown row
// chosen in each further column, -1 none). Appends " %c:" and one "%d," per
// further column for every row whose group has numbers, bounded like
// scoreMatchingByMouse.
Result<float> scoreMatchingColumnsByMouse(const TestModel& model, RunState& st);

} // namespace qd
