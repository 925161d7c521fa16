#pragma once

#include "journal/Journal.h"

#include "definition/TestModel.h"
#include "results/ResultCheck.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

// Bringing the report files collected from the lab computers into the
// journal, so that the journal holds every result: a sitting whose final
// message never reached the server (the network failed, the examiner
// stopped it) is completed from the lab's copy, and a report the server
// never saw becomes a sitting of its own. A file is matched to the
// journal by the student's name in it:
//  - the journal holds the same bytes for the student: nothing is stored;
//  - the student's sitting is open and silent (no message for a minute):
//    it is finished with the file;
//  - the journal holds other reports of the student: the file is stored as
//    another attempt, and the incident report-differs says so;
//  - the journal has no sitting of the student: the file is stored as one.
// Each file is stored in its own transaction. Files that are not reports,
// or stop before their totals, are skipped. With tests given, each report
// is checked as the server checks a final message (checkFinal: the test
// it names and fits, of two versions the one that confirms its figures):
// a report of no test given, or that does not fit its test, is refused;
// one that fits is stored with the server's own figures beside its claim,
// and what the check finds is raised as incidents on the sitting.

enum class ImportOutcome {
    Stored,    // a new sitting
    Completed, // an open sitting finished with the file
    AlreadyThere,
    Differs, // stored as another attempt, report-differs raised
    Skipped, // not a report, or unfinished
    Refused, // does not fit the test, or the student is sitting now
    Failed,  // the journal did not store it
};

struct ImportedReport
{
    std::string file; // relative to the folder
    ImportOutcome outcome = ImportOutcome::Skipped;
    int64_t sitting = 0; // the sitting stored or completed
    std::string detail;  // UTF-8: why, for the examiner
};

struct ImportOptions
{
    std::vector<const TestModel*> tests; // check every report when given
    int64_t now = 0;                     // calendar seconds
};

// Imports the files (paths under `folder`, as ReportFolder::files lists
// them), one outcome a file in their order.
std::vector<ImportedReport> importReports(Journal& journal, const std::filesystem::path& folder,
                                          const std::vector<std::filesystem::path>& files,
                                          const ImportOptions& options);

// "stored as sitting 12", "already in the journal", ...: one line a file.
std::string importLine(const ImportedReport& r);

} // namespace qd::server
