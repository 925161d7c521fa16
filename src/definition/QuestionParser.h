#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"

#include <cstdint>

namespace qd {

// Builds the question records from the questions text (questionsText) and the
// answer entries behind the header of the answers text (answersText): for
// every question in turn its stem, options, layout, columns, correct answers
// and points. Needs the header, lineHeight and charWidth. windowBottom (the
// window's top plus its height) is where a type-5 question's answer area
// starts: off-screen. Sets answersEnd behind the last entry. Returns the
// first fault.
Status parseQuestions(TestModel& m, int windowBottom);

// Puts the options of matching question q (number n, types 4 and 6) into
// columns by their horizontal place on the grid and fills col and columnCount.
Status sortIntoColumns(Question& q, int n);

// Index of the smallest (or, with `largest`, the largest) of the first
// `count` values among the indexes not listed in used[0 .. nused-1]; ties go
// to the lowest index; -1 when every index is used.
int indexOfExtreme(const int32_t* values, int count, bool largest, int nused, const int32_t* used);

} // namespace qd
