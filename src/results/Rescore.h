#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "results/ReportReader.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace qd {

// Scoring a report's answers again with a (corrected) test: every answer
// column is turned back into the response the window would have held and
// scored by scoreQuestion, the very function the window calls, in the report's
// asking order, so the float totals add up as they did in the run.
//
// The model must be as loaded, before a run's draws: option and cell orders
// as in the test file, which is how the report numbers them.
//
// What a report keeps decides what can be rescored exactly. Typed answers,
// choices and matchings are written whole; an ordering answered with the
// mouse keeps the count of filled places but not where a gap stood, and a
// matching answered with the mouse keeps no row whose group expected
// nothing; an answer column cut at 127 bytes keeps what it shows. Those
// are rescored from what the report holds.

struct RescoredReport
{
    std::vector<float> points; // per row of the report
    float score = 0.0f;
    std::string scoreText; // "%.2f"
    int32_t maxScore = 0;
    int32_t percent = 0;
    std::string grade;          // code page 1251
    std::vector<int32_t> wrong; // numbers of the questions not fully right, ascending
};

// Rescores the rows of `report`. A row that does not fit the test (its
// question is not in it, or its answer column cannot be an answer to that
// question) is a fault naming the question. An unfinished report gets the
// points of its rows and totals over them; its grade is "Тест не
// завершено!".
Result<RescoredReport> rescoreReport(const TestModel& model, const ParsedReport& report);

// True when the points, the percentage or the grade differ from the report's.
bool rescoreChanges(const ParsedReport& report, const RescoredReport& rescored);

// The report as the program would have written it with the corrected test:
// the header as it was, every row with its new points and its answer column
// as written, and the closing rows with the new totals (an unfinished report
// stays without them).
std::string correctedReport(const ParsedReport& report, const RescoredReport& rescored);

} // namespace qd
