#pragma once

#include "definition/TestModel.h"
#include "results/ReportReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// What the exam server makes of the figures a testing computer sends: a
// final message is scored again from its report with the test the students
// sit (through rescoreReport, the scoring of the run itself), and a final
// or a progress message that no client of this program could have sent is
// named. Nothing here refuses anything: what was sent is kept, and each
// finding becomes an incident for the examiner.

// One thing the examiner must see: the incident's tag (score-mismatch,
// foreign-test, unreadable-report, implausible-final, implausible-progress)
// and its explanation in UTF-8.
struct Finding
{
    std::string kind;
    std::string detail;
    bool operator==(const Finding&) const = default;
};

// Whether a sitting's result is the server's own: scored by the server and
// equal to what the client claimed (yes), not confirmed by the server's
// scoring (mismatch), or sat without a test to score it with (not checked).
enum class Verified { Yes, Mismatch, NotChecked };
const char* verifiedName(Verified v);
std::optional<Verified> verifiedFromName(std::string_view name);

// What a final message says of itself: its answered count, the percentage
// and the grade text (code page 1251) of its fields.
struct ClaimedFinal
{
    int answered = 0;
    float percent = 0.0f;
    std::string grade;
};

struct FinalCheck
{
    // The report as read; nullopt when there is none or it does not read.
    std::optional<ParsedReport> report;
    // The client's own figures: the percentage and grade of the message
    // and the points and maximum of its report (0 without one).
    double claimedScore = 0.0;
    int32_t claimedMax = 0;

    // The result: the server's figures when `scored`, else the client's.
    bool scored = false;
    int test = -1; // the index of the test scored with
    double score = 0.0;
    int32_t maxScore = 0;
    int32_t percent = 0;
    std::string grade;          // code page 1251
    std::vector<double> points; // per report row, the server's when scored

    Verified verified = Verified::NotChecked;
    std::vector<Finding> findings;
    // The report's question rows may enter the student x question table:
    // they name each question once, and with a test only its questions.
    bool rowsFit = false;
};

// Checks a final message with the report it carries against the tests the
// students sit (none: the server scores nothing and checks what the
// message and the report say of each other). With one test the report is
// scored with it; with several, with the one whose names it carries and
// whose questions and options it fits (preferring one that confirms the
// claim, as two versions of a test may share their names).
FinalCheck checkFinal(const std::vector<const TestModel*>& tests, const ClaimedFinal& claim,
                      std::string_view report);

// What a progress message may say at most: the points of the best run of
// any of the tests (the largest marks of as many questions as are asked)
// and the questions asked. Nullopt without tests: only what needs no test
// is checked.
struct ProgressLimits
{
    double maxPoints = 0.0;
    int asked = 0;
};
std::optional<ProgressLimits> progressLimits(const std::vector<const TestModel*>& tests);

// A progress message against the sitting's previous one: points and
// answered counts that are negative, go down, or pass the test's limits.
std::vector<Finding> checkProgress(int answeredBefore, double pointsBefore, int answered,
                                   float points, const std::optional<ProgressLimits>& limits);

} // namespace qd
