#pragma once

#include "journal/SqlJournal.h"
#include "results/ReportSource.h"

#include <memory>
#include <string>

namespace qd::journal {

// Whether a finished sitting's result is the server's own scoring of its
// report (checked, and of a test the server was given), not the figures the
// client claimed.
bool scoredByServer(const Sitting& s);

// The exam server's journal as a source of reports, beside the folder of
// files collected from the lab: every finished sitting that holds a report,
// in the order the sittings were opened. A report is the bytes the
// student's computer sent, read as a file from the lab would be, so that
// the journal and the lab's files give the same figures; where the server
// scored the sitting, its points, totals, percentage and grade are the
// server's (the report as the computer would have written it had it scored
// as the server did), so a forged claim never enters the analysis. An entry
// is named "sitting ID (STUDENT).txt", which also serves as the file name
// of a corrected copy.
class JournalReports : public ReportSource
{
public:
    explicit JournalReports(std::unique_ptr<SqlJournal> journal);
    ~JournalReports() override;

    Result<std::vector<SourcedReport>> reports() override;

private:
    std::unique_ptr<SqlJournal> m_journal;
};

// Opens the journal at `location` (a SQLite file, which must exist, or a
// PostgreSQL URL) for reading its reports.
Result<std::unique_ptr<ReportSource>> openJournalReports(const std::string& location);

} // namespace qd::journal
