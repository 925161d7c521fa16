#include "ReportImport.h"

#include "Views.h"

#include "definition/Cp1251.h"
#include "results/ReportReader.h"
#include "results/ReportSelection.h"
#include "results/ReportSource.h"

#include <algorithm>
#include <cmath>

namespace qd::server {

namespace {

// A sitting with a message within this is someone testing right now.
constexpr int64_t kLiveSeconds = kSilentAfterSeconds;

std::vector<AnswerRow> rowsOf(int64_t sitting, const ParsedReport& r)
{
    std::vector<AnswerRow> rows;
    rows.reserve(r.rows.size());
    for (const ReportRow& row : r.rows) {
        rows.push_back(AnswerRow{sitting, row.question,
                                 std::isfinite(row.points) ? row.points : 0.0,
                                 fromCp1251(row.answer)});
    }
    return rows;
}

bool lastRight(const ParsedReport& r, const TestModel* test)
{
    if (r.rows.empty() || test == nullptr) {
        return false;
    }
    const ReportRow& last = r.rows.back();
    if (last.question < 1 || last.question > test->questionCount) {
        return false;
    }
    return std::fabs(last.points - test->questions[std::size_t(last.question - 1)].mark) < 0.001;
}

// One file in its own transaction.
ImportedReport importOne(Journal& journal, const std::string& bytes, const ParsedReport& r,
                         ImportedReport out, const ImportOptions& options)
{
    const std::string student = fromCp1251(r.studentName);
    auto known = journal.reports(student);
    if (!known.ok()) {
        out.outcome = ImportOutcome::Failed;
        out.detail = known.fault().message;
        return out;
    }
    if (std::find(known.value().begin(), known.value().end(), bytes) != known.value().end()) {
        out.outcome = ImportOutcome::AlreadyThere;
        return out;
    }
    const auto open = journal.openSitting(student);
    if (open && options.now - open->lastSeen <= kLiveSeconds) {
        out.outcome = ImportOutcome::Refused;
        out.detail = student + " is sitting now (a message " +
                     std::to_string(options.now - open->lastSeen) +
                     " s ago): bring the file in after the sitting ends";
        return out;
    }
    if (Status f = journal.begin()) {
        out.outcome = ImportOutcome::Failed;
        out.detail = f->message;
        return out;
    }
    int64_t id = 0;
    if (open) {
        id = open->id;
        out.outcome = ImportOutcome::Completed;
    } else {
        // The sitting as the report tells it: begun at its date line, ended
        // after its time.
        Sitting s;
        s.student = student;
        s.computer = "(lab file)";
        s.address = "";
        s.started = reportTime(r);
        s.lastSeen = s.started + r.elapsedSeconds();
        const auto inserted = journal.insertSitting(s);
        if (!inserted) {
            journal.rollback();
            out.outcome = ImportOutcome::Failed;
            out.detail = "the journal did not take a new sitting of " + student;
            return out;
        }
        id = *inserted;
        out.outcome = known.value().empty() ? ImportOutcome::Stored : ImportOutcome::Differs;
    }
    const int64_t ended = open ? options.now : reportTime(r) + r.elapsedSeconds();
    journal.finish(id, int(r.rows.size()), lastRight(r, options.test), r.percent,
                   std::isfinite(r.score) ? std::optional<double>(r.score) : std::nullopt,
                   fromCp1251(r.grade), bytes, rowsOf(id, r), ended);
    if (out.outcome == ImportOutcome::Differs) {
        Incident i;
        i.at = options.now;
        i.kind = "report-differs";
        i.student = student;
        i.computer = "(lab file)";
        i.detail = out.file + " differs from the journal's report" +
                   (known.value().size() > 1 ? "s" : "") + " of " + student +
                   ": stored as another attempt (sitting " + std::to_string(id) + ")";
        journal.addIncident(i);
    }
    if (Status f = journal.commit()) {
        out.outcome = ImportOutcome::Failed;
        out.detail = f->message;
        return out;
    }
    out.sitting = id;
    return out;
}

} // namespace

std::vector<ImportedReport> importReports(Journal& journal, const std::filesystem::path& folder,
                                          const std::vector<std::filesystem::path>& files,
                                          const ImportOptions& options)
{
    std::vector<ImportedReport> out;
    out.reserve(files.size());
    for (const std::filesystem::path& file : files) {
        ImportedReport r;
        r.file = file.lexically_relative(folder).string();
        std::string error;
        const auto bytes = readFileBounded(file, kMaxReportBytes, &error);
        if (!bytes) {
            r.detail = "cannot be read: " + error;
            out.push_back(std::move(r));
            continue;
        }
        auto parsed = readReport(*bytes);
        if (!parsed.ok()) {
            r.detail = fromCp1251(parsed.fault().message);
            out.push_back(std::move(r));
            continue;
        }
        const ParsedReport& report = parsed.value();
        if (!report.finished) {
            r.detail = "the report stops before its totals";
        } else if (fromCp1251(report.studentName).find_first_not_of(' ') == std::string::npos) {
            r.detail = "the report names no student";
        } else if (options.test) {
            if (auto unfit = reportUnfit(*options.test, report)) {
                r.outcome = ImportOutcome::Refused;
                r.detail = *unfit;
            }
        }
        if (!r.detail.empty()) {
            out.push_back(std::move(r));
            continue;
        }
        out.push_back(importOne(journal, *bytes, report, std::move(r), options));
    }
    return out;
}

std::string importLine(const ImportedReport& r)
{
    const std::string id = std::to_string(r.sitting);
    switch (r.outcome) {
    case ImportOutcome::Stored:
        return r.file + ": stored as sitting " + id;
    case ImportOutcome::Completed:
        return r.file + ": completed sitting " + id;
    case ImportOutcome::AlreadyThere:
        return r.file + ": already in the journal";
    case ImportOutcome::Differs:
        return r.file + ": differs from the journal's copy: stored as sitting " + id +
               " (report-differs)";
    case ImportOutcome::Skipped:
        return r.file + ": skipped: " + r.detail;
    case ImportOutcome::Refused:
        return r.file + ": refused: " + r.detail;
    case ImportOutcome::Failed:
        return r.file + ": not stored: " + r.detail;
    }
    return r.file;
}

} // namespace qd::server
