#pragma once

#include "definition/TestModel.h"

namespace qd {

// Records where each option's "<" and ">" stand on the question's character
// grid and computes its pixel rectangle. `block` is the question text just
// behind its number mark, `len` the bytes up to (not including) the closing
// "#". Only the brackets that the option parse paired count: a stray ">" in
// the stem or a "<" inside an option shifts nothing.
void placeOptions(Question& q, const char* block, int len, int charWidth, int lineHeight);

// Pixel rectangle of one option from its grid position; a multi-line option
// is widened to its widest line (col2 may grow).
void rect(AnswerSlot& slot, int charWidth, int lineHeight);

} // namespace qd
