#pragma once

#include "definition/TestModel.h"
#include "results/ReportReader.h"
#include "results/ReportSource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Which of the reports of an exam the analysis counts. A student may have
// several (a retake, a report brought in from the lab beside the server's);
// the analysis takes one attempt per student, by a rule the examiner picks.
// A sitting closed before any question was answered is no score at all: it
// is listed apart ("not sat") and enters no figure. A report that does not
// fit the test given is refused rather than counted (points over a
// question's mark would make a facility over 100 %), unless it is scored
// against the test first.

enum class AttemptRule {
    Latest, // the latest finished attempt (the default)
    Best,   // the highest percentage; of equal ones the latest
    First,  // the first finished attempt
};

// "latest", "best", "first"; nullopt for anything else.
std::optional<AttemptRule> attemptRuleNamed(std::string_view name);
const char* attemptRuleName(AttemptRule rule);

// A finished report with no question answered: not sat.
bool notSat(const ParsedReport& report);

// The report's date line as seconds of a proleptic calendar: the order of
// a student's attempts.
int64_t reportTime(const ParsedReport& report);

// Why a report cannot be counted with this test as it stands: a header cut
// short, another discipline or test name, a question the test does not
// have or one named twice, a percentage outside 0 to 100, a question's
// points below 0 or over its mark, or an answer that cannot be one to its
// question (an option it does not have). Nullopt: it fits.
std::optional<std::string> reportUnfit(const TestModel& model, const ParsedReport& report);

// Only what no rescoring can mend: a header cut short, another test, a
// question not in the test or twice, an answer that cannot be one to its
// question.
std::optional<std::string> reportForeign(const TestModel& model, const ParsedReport& report);

// The report with its points, totals, percentage and grade as the test
// scores them (the engine's own scoring); a fault when it cannot be scored.
Result<ParsedReport> scoredAgainst(const TestModel& model, const ParsedReport& report);

struct NamedReport
{
    std::string name; // where it came from (UTF-8)
    ParsedReport report;
};

struct Refusal
{
    std::string name; // where it came from (UTF-8)
    std::string why;  // UTF-8 (the engine's messages converted)
};

struct RepeatedStudent
{
    std::string student; // code page 1251, as in the reports
    int reports = 0;     // finished and sat
    std::string taken;   // the name of the report counted
};

struct ReportSelection
{
    // One finished, sat report per student, in the order of the source.
    std::vector<NamedReport> counted;
    // Students whose every finished report answers no question (their
    // latest such report), and who have no other.
    std::vector<NamedReport> notSat;
    // Reports that stop before their totals (not counted).
    std::vector<NamedReport> unfinished;
    // Students with more than one finished, sat report.
    std::vector<RepeatedStudent> repeated;
    // Entries that are no report at all (named, set aside).
    std::vector<Refusal> unreadable;
    // Reports that do not fit the test: with any of them the analysis must
    // not be given (the caller refuses), unless they were rescored.
    std::vector<Refusal> refused;

    std::vector<const ParsedReport*> countedReports() const;
};

struct SelectionOptions
{
    AttemptRule rule = AttemptRule::Latest;
    // Score every report against the test first, so that one made with
    // another key is counted with this test's.
    bool rescore = false;
};

// Sorts a source's reports into the above.
ReportSelection selectReports(const TestModel& model, std::vector<SourcedReport> reports,
                              const SelectionOptions& options);

} // namespace qd
