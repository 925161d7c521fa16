// quizdesk-examd import-reports: the reports of a folder (a lab without
// the network) stored in the journal as if they had arrived.

#include "Commands.h"

#include "ExamTests.h"
#include "ReportImport.h"

#include "definition/TerminalText.h"
#include "results/ReportSource.h"
#include "run/SystemClock.h"

#include <QHostInfo>

#include <map>
#include <string>
#include <vector>

namespace qd::server {

int runImportReports(const CommandLine& args, QCoreApplication&)
{
    const std::vector<std::string> positional = args.positional();
    if (positional.size() != 1) {
        return usage(tr("import-reports takes one FOLDER"));
    }
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(args.testDirs()), tests)) {
        return 1;
    }
    ReportFolder folder(positional[0]);
    auto files = folder.files();
    if (!files.ok()) {
        sayFault(files.fault().message);
        return 1;
    }
    auto journal = openJournal(args, QHostInfo::localHostName().toStdString(), true);
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    const auto results = importReports(*journal, folder.folder(), files.value(),
                                       {modelsOf(tests), int64_t(clock.calendarSeconds())});
    std::map<ImportOutcome, int> counts;
    std::string out;
    bool failed = false;
    for (const ImportedReport& r : results) {
        counts[r.outcome] += 1;
        out += terminalSafe(importLine(r)) + "\n";
        failed =
            failed || r.outcome == ImportOutcome::Refused || r.outcome == ImportOutcome::Failed;
    }
    out += std::to_string(counts[ImportOutcome::Stored] + counts[ImportOutcome::Differs]) +
           " stored (" + std::to_string(counts[ImportOutcome::Differs]) + " as another attempt), " +
           std::to_string(counts[ImportOutcome::Completed]) + " completed, " +
           std::to_string(counts[ImportOutcome::AlreadyThere]) + " already there, " +
           std::to_string(counts[ImportOutcome::Skipped]) + " skipped, " +
           std::to_string(counts[ImportOutcome::Refused] + counts[ImportOutcome::Failed]) +
           " not stored\n";
    return writeAll(out, {}) && !failed ? 0 : 1;
}

} // namespace qd::server
