// quizdesk-examd export: the sittings (or with --matrix every answer) as
// CSV or a workbook.

#include "Commands.h"

#include "ExamTests.h"
#include "Exports.h"

#include "definition/Cp1251.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace qd::server {

int runExport(const CommandLine& args, QCoreApplication&)
{
    const std::string format = args.value("format", "csv");
    if (format != "csv" && format != "csv-1251" && format != "xlsx") {
        return usage(tr("--format takes csv, csv-1251 or xlsx"));
    }
    const std::string out = args.value("o");
    if (format == "xlsx" && (out.empty() || out == "-")) {
        return usage(tr("xlsx needs -o FILE"));
    }
    // With the tests, the table of points gets each question's maximum.
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(args.testDirs()), tests)) {
        return 1;
    }
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    std::vector<Sitting> s;
    std::vector<AnswerRow> answers;
    std::vector<std::pair<int64_t, std::string>> reports;
    const bool matrix = args.has("matrix");
    if (!take(journal->sittings(), s) || (matrix && !take(journal->answers(), answers)) ||
        !take(journal->finishedReports(), reports)) {
        return 1;
    }
    const Gradebook gradebook = gradebookOf(reports, modelsOf(tests));
    if (format == "xlsx") {
        // The workbook library writes only to a file of its own: it is made
        // in a private temporary file and then written whole like the others.
        const auto book = xlsxBytes(s, answers, matrix, gradebook);
        if (!book.ok()) {
            sayFault(book.fault().message);
            return 1;
        }
        return writeAll(book.value(), out) ? 0 : 1;
    }
    const char sep = format == "csv" ? ',' : ';';
    std::string text =
        matrix ? matrixCsv(s, answers, sep, gradebook) : sittingsCsv(s, sep, gradebook);
    if (format == "csv-1251") {
        text = toCp1251(text);
    }
    return writeAll(text, out) ? 0 : 1;
}

} // namespace qd::server
