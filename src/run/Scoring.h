#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qd {

class ReportFile;

// Scoring of a finished question. Points are 32-bit floats; a question is
// fully right when its points differ from its mark by less than 0.001.

// The report text of a question (ans_text) holds at most this many bytes.
constexpr std::size_t kAnsTextCapacity = 127;

// Appends one entry of a report text ("12," or " A:3,") to `text` whole, or
// not at all when it would pass kAnsTextCapacity; once an entry has been
// dropped (`full` set) nothing more is appended, so the text is always a
// clean prefix of the whole answer.
void appendEntry(std::string& text, std::string_view entry, bool& full);

// True when the question is answered in the typing box rather than with the
// mouse: a typed text (type 5) or a picture-only question (graph 2).
bool answerTyped(const Question& q);

// Scores question st.cur_q from the current response and does the
// bookkeeping: clears ans_text and, when the question is answered by typing,
// takes `typed` (the answer box's text, code page 1251) into it; picks the
// rule of the question's type; records negative (or NaN) points as 0; sets
// st.answer_colour (green 0x8000 when fully right, else red 0xFF and the
// question's number appended to st.nrighta); adds to st.score and
// st.max_score; writes the question's report line through `report`.
// Fatal faults: "Переполнение буфера для Edit->Text!" for a typed text of
// 128 characters or more, "Тип вопроса %d задан не верно!" for an unknown
// type; nothing is counted then. `points` (optional) receives the points.
Status scoreQuestion(const TestModel& model, RunState& st, std::string_view typed,
                     ReportFile& report, float* points = nullptr);

// The rules by type. Each reads question st.cur_q and the response in `st`
// (ans_text already holds the typed text) and sets `points`, which may be
// negative: surplus entries cost a unit each.

// Types 1 and 2: unit = mark / nrans; each pick that is a correct option
// earns a unit. With graph 2 the picks are first read from ans_text as
// 1-based option numbers of the file (picks, n_picks rewritten; an
// unreadable list leaves n_picks negative and earns nothing).
Status scoreChoice(const TestModel& model, RunState& st, float& points);

// Type 3: each position holding the expected option earns mark / nrans.
// With graph 2 order3 is read from ans_text; with the mouse the positions
// the student filled are those whose col3 is red (255), the others count
// as empty (0), and ans_text is rebuilt for the report as "%d," per filled
// position with the option's file number (0 for an empty one). ans_text
// holds at most 127 bytes: entries that do not fit are dropped whole.
Status scoreOrdering(const TestModel& model, RunState& st, float& points);

// Type 5: ans_text without blanks, lowered by the code page's rules, equal
// byte for byte to tans earns the mark, anything else 0.
Status scoreTypedText(const TestModel& model, RunState& st, float& points);

// After the test time has run out when a question ended: every question
// from position n_done to nq_ask - 1 adds its mark to max_score and nothing
// to score, gets no report line and no entry in nrighta; they are counted in
// st.n_unasked and n_done becomes nq_ask.
void skip_unasked(const TestModel& model, RunState& st);

} // namespace qd
