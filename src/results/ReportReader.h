#pragma once

#include "definition/Fault.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qd {

// Reading back the results reports that ReportFile writes (their layout is
// in ReportRows.h): the examiner's
// analysis of a folder of them, and any program that receives a report's
// bytes (the exam server gets them inside the final message). The reader
// works on the bytes alone (code page 1251), so both can share it.

// One line of a scored question.
struct ReportRow
{
    int32_t question = 0;   // the question's number in the test file
    std::string pointsText; // the points as written ("%.2f")
    double points = 0.0;
    std::string answer; // the answer column as written, without its LF
};

struct ParsedReport
{
    // The date line.
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    std::string subjectName;
    std::string testName;  // without the directory line
    std::string directory; // the directory the test ran from (between the brackets)
    std::string studentName;
    // The grading criteria: thresholds of Задовільно, Добре, Відмінно in
    // seconds (byTime) or percent.
    bool byTime = false;
    int32_t criteria[3] = {0, 0, 0};
    bool headerComplete = false; // the heading line of the question rows was read
    std::string header;          // the bytes of the header as written (rows 1 to 10)

    std::vector<ReportRow> rows; // in asking order

    // The closing rows. Without them (the program was killed during the
    // test, or the file was cut) the report is unfinished: its rows are
    // those read up to the last whole line.
    bool finished = false;
    std::string scoreText; // as written ("%.2f")
    double score = 0.0;
    int32_t maxScore = 0;
    int32_t percent = 0;
    int32_t minutes = 0;
    int32_t seconds = 0;
    std::string grade; // code page 1251, as written
    // The accommodations the run applied, in the file's own words
    // ("time=2; quiet"), from the line after the grade; empty for none.
    std::string accommodations;

    uint32_t elapsedSeconds() const { return uint32_t(minutes) * 60u + uint32_t(seconds); }
};

// A report's bytes larger than this are not taken for a report: the largest
// test (5000 questions, answer columns of 127 bytes) writes well under 1 MB.
constexpr std::size_t kMaxReportBytes = 8u << 20;

// Parses a report. A file that does not begin like a report, or whose lines
// stop following the report's layout, is a fault naming the line (1-based)
// and what was expected there; a report that merely stops early is read as
// far as it goes and comes back unfinished.
Result<ParsedReport> readReport(std::string_view bytes);

// The answer column by the question's type (the report does not name the
// type; the test does):
//  - types 1 and 2: "%2d," per chosen option, its number in the test file,
//    in the order chosen (choiceNumbers); typed from a picture, the numbers
//    read from the box;
//  - type 3 with the mouse: "%d," per filled place, the option's number in
//    the file or 0 for an empty place (choiceNumbers reads it too);
//  - types 4 and 6 with the mouse: per row of the first column " L:" with
//    the row's label, then "%d," per matched cell (type 4) or per further
//    column, 0 for none (type 6) (matchingRows);
//  - type 5, and types 3, 4 and 6 typed from a picture: the typed text.

// The numbers of a "%d," list. Nullopt when the column is not such a list.
std::optional<std::vector<int32_t>> choiceNumbers(std::string_view answer);

// One row of a matching: its label and its numbers.
struct MatchingRow
{
    char label = 0;
    std::vector<int32_t> numbers;
    bool operator==(const MatchingRow&) const = default;
};

// The rows of a matching column, in the order written. Nullopt when the
// column is not one.
std::optional<std::vector<MatchingRow>> matchingRows(std::string_view answer);

} // namespace qd
