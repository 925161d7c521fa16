#pragma once

// What the after-exam commands (stats, rescore, results) share: the test in
// DIR, loaded as the program loads it, and the students' reports from a
// source (--reports FOLDER; the exam server's journal, --db, will be a
// second ReportSource), with the reports that cannot be used named on
// stderr and set aside.

#include "ToolSupport.h"

#include "definition/TestModel.h"
#include "results/ReportSource.h"

#include <QCommandLineOption>

#include <memory>
#include <optional>
#include <vector>

namespace qdtool {

struct ExamReports
{
    std::unique_ptr<qd::TestModel> model;
    // Every report that is of this test, in the source's order.
    std::vector<qd::SourcedReport> reports;

    const qd::ParsedReport& report(std::size_t i) const
    {
        return std::get<qd::ParsedReport>(reports[i].report);
    }
    // The finished ones (a report cut short has no percentage or grade).
    std::vector<const qd::ParsedReport*> finished() const;
};

// Adds DIR and the load options, --reports FOLDER and --db FILE.
void addReportsOptions(QCommandLineParser& parser);

// Loads the test and reads the reports. Files that are not reports, or are
// reports of another test, are named on stderr ("quizdesk-tool: NAME:
// skipped: WHY") and left out. On a fault of the test, the folder or the
// command line, prints it and returns the exit code in *exit.
std::optional<ExamReports> loadExamReports(const CommandLine& cl, int* exit);

// The folder of --reports (empty with --db).
QString reportsFolder(const QCommandLineParser& parser);

} // namespace qdtool
