#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qd {

class ReportSink;

// Scoring of a finished question. Points are 32-bit floats; a question is
// fully right when its points differ from its mark by less than 0.001.

// The report text of a question (answerText) holds at most this many bytes.
constexpr std::size_t kAnsTextCapacity = 127;

// Appends one entry of a report text ("12," or " A:3,") to `text` whole, or
// not at all when it would pass kAnsTextCapacity; once an entry has been
// dropped (`full` set) nothing more is appended, so the text is always a
// clean prefix of the whole answer.
void appendEntry(std::string& text, std::string_view entry, bool& full);

// Scores question st.currentQuestion from the current response and does the
// bookkeeping: clears answerText and, when the question is answered by typing,
// takes `typed` (the answer box's text, code page 1251) into it; picks the
// rule of the question's type; records negative (or NaN) points as 0; sets
// st.answerColour (green 0x8000 when fully right, else red 0xFF and the
// question's number appended to st.wrongQuestions); adds to st.score and
// st.maxScore; writes the question's report line through `report`.
// Fatal faults: "Переполнение буфера для Edit->Text!" for a typed text of
// 128 characters or more, "Тип вопроса %d задан не верно!" for an unknown
// type; nothing is counted then. Gives the points counted.
Result<float> scoreQuestion(const TestModel& model, RunState& st, std::string_view typed,
                            ReportSink& report);

// The rules by type. Each reads question st.currentQuestion and the response
// in `st` (answerText already holds the typed text) and gives the points,
// which may be negative: surplus entries cost a unit each.

// Types 1 and 2: unit = mark / correctCount; each pick that is a correct
// option earns a unit. For a picture-only question the picks are first read
// from answerText as 1-based option numbers of the file (picks, pickCount
// rewritten; an unreadable list leaves pickCount negative and earns nothing).
float scoreChoice(const TestModel& model, RunState& st);

// Type 3: each position holding the expected option earns mark /
// correctCount. For a picture-only question ordering is read from answerText;
// with the mouse the positions the student filled are those marked in
// st.placed, the others count as empty (0), and answerText is rebuilt for the
// report as "%d," per filled position with the option's file number (0 for an
// empty one). answerText holds at most 127 bytes: entries that do not fit are
// dropped whole.
float scoreOrdering(const TestModel& model, RunState& st);

// Type 5: answerText without blanks, lowered by the code page's rules, equal
// byte for byte to expectedText earns the mark, anything else 0. A question
// with several accepted spellings (type 7 in the file) earns it for any one.
Result<float> scoreTypedText(const TestModel& model, RunState& st);

// After the test time has run out when a question ended: every question from
// position finishedCount to askCount - 1 adds its mark to maxScore and
// nothing to score, gets no report line and no entry in wrongQuestions; they
// are counted in st.unaskedCount and finishedCount becomes askCount.
void skipUnasked(const TestModel& model, RunState& st);

} // namespace qd
