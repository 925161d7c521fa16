#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "definition/TestRandom.h"

#include <cstdint>
#include <vector>

namespace qd {

// The questions of a run and the order of their options, drawn once at
// start-up from the test random source (seeded from the clock just before).
// The draws are fixed bit for bit: a given seed gives the same run.

// A random ordered sample without repetition: the first `nv` of the `n`
// values of `arr` are replaced by nv draws from them (rnd(n), rnd(n-1), ...,
// each draw taking an entry out of a working copy whose later entries move
// up); entries nv..n-1 are left as they were. Exactly nv draws are made.
// Fault "nv > n in intermix()!\n" when more are asked for than there are.
Status drawSample(int32_t* arr, int n, int nv, TestRandom& random);

// The record indexes of the questions of this run in asking order. Every
// section contributes its share of askCount (rounded half up, at least one; a
// shortfall is made up one question per section in index order), the sections
// stand as blocks, in random order with randomSectionOrder, and inside a
// block the questions are a random sample in random order with
// randomQuestionOrder, else the section's first ones in file order. The
// result holds the sum of the sections' draws, which may exceed askCount: the
// run asks only the first askCount entries.
Status drawQuestions(const TestModel& model, TestRandom& random, std::vector<int32_t>& askingOrder);

// With randomOptionOrder: shuffles the options of every question in record
// order (drawn or not). Types 1 to 3 get a new `displayOrder`, their slots
// re-laid and `correctAnswers` renumbered to shown positions (a value not
// found becomes 0); types 4 and 6 get a new `displayOrder` per column and
// their cells re-laid, their groups stay in file numbering. Typed questions
// (type 5, PictureOnly) are skipped: their typed numbers refer to the file's
// order. Without randomOptionOrder nothing.
Status shuffleOptions(TestModel& model, TestRandom& random);

// Reorders `count` slots so that position i shows the slot that stood at
// perm[i]. Each slot keeps its text, its columns and its height in lines;
// the gaps in lines between one position's end and the next one's start
// stay those of the file; the rectangles are computed again. Also used when
// the student moves an option of an ordering question.
void rearrangeSlots(int count, AnswerSlot* slots, const int32_t* perm, int charWidth,
                    int lineHeight);

// Rewrites `count` 0-based shown positions into 1-based file numbers through
// the permutation `perm` of `n` entries: v becomes perm[v] + 1. Fault
// "Не правильное обращение к функции RestoreNumb()!" for a position outside
// 0..n-1 (values before it are already rewritten).
Status toFileNumbers(int32_t* values, int count, int n, const int32_t* perm);

} // namespace qd
