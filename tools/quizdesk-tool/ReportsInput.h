#pragma once

// What the after-exam commands (stats, rescore, results) share: the test in
// DIR, loaded as the program loads it, and the students' reports from a
// source: --reports FOLDER (the files collected from the lab computers) or
// --db DB (the exam server's journal), with the reports that cannot be used
// named on stderr and set aside.

#include "ToolSupport.h"

#include "definition/TestModel.h"
#include "results/ReportSelection.h"
#include "results/ReportSource.h"

#include <QCommandLineOption>

#include <memory>
#include <optional>
#include <vector>

namespace qdtool {

// stats and results count one attempt per student; rescore goes through
// every report.
enum class ReportsUse {
    Analysis,
    Rescore,
};

struct ExamReports
{
    std::unique_ptr<qd::TestModel> model;
    // Rescore: every report of this test, in the source's order.
    std::vector<qd::SourcedReport> reports;
    // Analysis: what is counted and what is listed apart.
    qd::ReportSelection selection;

    const qd::ParsedReport& report(std::size_t i) const
    {
        return std::get<qd::ParsedReport>(reports[i].report);
    }
};

// Adds DIR and the load options, --reports FOLDER and --db DB; for the
// analysis also --attempt and --rescore.
void addReportsOptions(QCommandLineParser& parser, ReportsUse use);

// Loads the test and reads the reports. Files that are not reports are
// named on stderr ("quizdesk-tool: NAME: skipped: WHY") and left out.
// Reports that do not fit the test are named ("NAME: refused: WHY"): the
// analysis then gives nothing and exits 1 (unless --rescore scored them
// against the test); rescore goes on with the others and sets *refused.
// On a fault of the test, the source or the command line, prints it and
// returns the exit code in *exit.
std::optional<ExamReports> loadExamReports(const CommandLine& cl, ReportsUse use, int* exit,
                                           int* refused = nullptr);

// The rule of --attempt (latest when not given; checked by loadExamReports).
qd::AttemptRule attemptRule(const QCommandLineParser& parser);

// The folder of --reports (empty with --db).
QString reportsFolder(const QCommandLineParser& parser);

} // namespace qdtool
