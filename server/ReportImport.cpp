#include "ReportImport.h"

#include "Exports.h"

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

// The question rows, with the server's points when it scored the report.
std::vector<AnswerRow> rowsOf(int64_t sitting, const ParsedReport& r, const FinalCheck* check)
{
    std::vector<AnswerRow> rows;
    rows.reserve(r.rows.size());
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        const ReportRow& row = r.rows[i];
        const double points = check && i < check->points.size() ? check->points[i] : row.points;
        rows.push_back(AnswerRow{sitting, row.question, std::isfinite(points) ? points : 0.0,
                                 fromCp1251(row.answer)});
    }
    return rows;
}

// The report checked as the server checks a final message that carries it,
// its own figures taken for the claim; the fault says why it cannot be
// stored with these tests.
Result<FinalCheck> checked(const std::vector<const TestModel*>& tests, const std::string& bytes,
                           const ParsedReport& r)
{
    FinalCheck c =
        checkFinal(tests, ClaimedFinal{int(r.rows.size()), float(r.percent), r.grade}, bytes);
    if (!c.scored) {
        std::string why = "fits no test given";
        for (const Finding& f : c.findings) {
            if (f.kind == "foreign-test" || f.kind == "unreadable-report") {
                why = f.detail;
            }
        }
        return Fault{why};
    }
    if (auto unfit = reportUnfit(*tests[std::size_t(c.test)], r)) {
        return Fault{*unfit};
    }
    return c;
}

// Whether the last question answered earned its whole mark (by the
// server's points when it scored the report).
bool lastRight(const ParsedReport& r, const TestModel* test, const FinalCheck* check)
{
    if (r.rows.empty() || test == nullptr) {
        return false;
    }
    const ReportRow& last = r.rows.back();
    if (last.question < 1 || last.question > test->questionCount) {
        return false;
    }
    const double points =
        check && check->points.size() == r.rows.size() ? check->points.back() : last.points;
    return std::fabs(points - test->questions[std::size_t(last.question - 1)].mark) < 0.001;
}

// One file in its own transaction.
ImportedReport importOne(Journal& journal, const std::string& bytes, const ParsedReport& r,
                         const FinalCheck* check, ImportedReport out, const ImportOptions& options)
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
    if (Status f = journal.begin(); !f.ok()) {
        out.outcome = ImportOutcome::Failed;
        out.detail = f.fault().message;
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
    const TestModel* test = check ? options.tests[std::size_t(check->test)] : nullptr;
    const double score = check ? check->score : r.score;
    journal.finish(id, int(r.rows.size()), lastRight(r, test, check),
                   check ? check->percent : r.percent,
                   std::isfinite(score) ? std::optional<double>(score) : std::nullopt,
                   fromCp1251(check ? check->grade : r.grade), bytes, rowsOf(id, r, check), ended);
    if (check) {
        FinalClaim claim;
        claim.maxScore = check->maxScore;
        claim.percent = r.percent;
        claim.grade = fromCp1251(r.grade);
        claim.score = std::isfinite(check->claimedScore) ? check->claimedScore : 0.0;
        claim.verified = verifiedName(check->verified);
        journal.recordClaim(id, claim, options.now);
        for (const Finding& f : check->findings) {
            journal.flag(id, f.kind, options.now);
            Incident i;
            i.at = options.now;
            i.kind = f.kind;
            i.student = student;
            i.computer = "(lab file)";
            i.detail = out.file + ": " + f.detail;
            journal.addIncident(i);
        }
    }
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
    if (Status f = journal.commit(); !f.ok()) {
        out.outcome = ImportOutcome::Failed;
        out.detail = f.fault().message;
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
        const auto bytes = readFileBounded(file, kMaxReportBytes);
        if (!bytes.ok()) {
            r.detail = "cannot be read: " + bytes.fault().message;
            out.push_back(std::move(r));
            continue;
        }
        auto parsed = readReport(bytes.value());
        if (!parsed.ok()) {
            r.detail = parsed.fault().utf8();
            out.push_back(std::move(r));
            continue;
        }
        const ParsedReport& report = parsed.value();
        if (!report.finished) {
            r.detail = "the report stops before its totals";
        } else if (fromCp1251(report.studentName).find_first_not_of(' ') == std::string::npos) {
            r.detail = "the report names no student";
        }
        std::optional<FinalCheck> check;
        if (r.detail.empty() && !options.tests.empty()) {
            auto fit = checked(options.tests, bytes.value(), report);
            if (fit.ok()) {
                check = std::move(fit).value();
            } else {
                r.detail = fit.fault().message;
                r.outcome = ImportOutcome::Refused;
            }
        }
        if (!r.detail.empty()) {
            out.push_back(std::move(r));
            continue;
        }
        out.push_back(importOne(journal, bytes.value(), report, check ? &*check : nullptr,
                                std::move(r), options));
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
