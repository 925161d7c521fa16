#pragma once

#include "definition/TestModel.h"

namespace qdfuzz {

// What the run and the screen index by, for any model the loader accepts:
// counts within their capacities and every stored count backed by as many
// stored entries. Returns the first broken invariant's description, or null.
const char* brokenInvariant(const qd::TestModel& model);

} // namespace qdfuzz
