#include "journal/JournalReports.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "results/ReportReader.h"
#include "results/Rescore.h"

#include <cstdio>
#include <filesystem>
#include <map>

namespace qd::journal {

namespace {

// "sitting 12 (Name).txt": a name that is also a file name, and that shows
// no control character of a name a client sent.
std::string entryName(const Sitting& s)
{
    std::string name = "sitting " + std::to_string(s.id) + " (" + s.student + ").txt";
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || u < 0x20 || u == 0x7f) {
            c = '_';
        }
    }
    return name;
}

// The report with the server's figures in place of the client's: the rows'
// points as the server stored them, and its totals.
Result<ParsedReport> withServerFigures(const ParsedReport& report, const Sitting& s,
                                       const std::vector<AnswerRow>& rows)
{
    const Fault differs{"the journal's answer rows are not those of its report"};
    if (rows.size() != report.rows.size()) {
        return differs;
    }
    RescoredReport server;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].question != report.rows[i].question) {
            return differs;
        }
        server.points.push_back(float(rows[i].points));
    }
    server.score = float(s.score);
    server.scoreText = twoDecimals(double(server.score));
    server.maxScore = s.maxScore;
    server.percent = s.percent;
    server.grade = toCp1251(s.grade);
    return readReport(correctedReport(report, server));
}

} // namespace

bool scoredByServer(const Sitting& s)
{
    // The check names a sitting it could not score (no report it could
    // read, or one of no test given) by those incidents; a sitting without
    // them was scored.
    if (s.state != SittingState::Finished || (s.verified != "yes" && s.verified != "mismatch")) {
        return false;
    }
    const std::string flags = "," + s.flags + ",";
    return flags.find(",foreign-test,") == std::string::npos &&
           flags.find(",unreadable-report,") == std::string::npos;
}

JournalReports::JournalReports(std::unique_ptr<SqlJournal> journal) : m_journal(std::move(journal))
{
}

JournalReports::~JournalReports() = default;

Result<std::vector<SourcedReport>> JournalReports::reports()
{
    auto sittings = m_journal->sittings();
    if (!sittings.ok()) {
        return sittings.fault();
    }
    auto reports = m_journal->finishedReports();
    if (!reports.ok()) {
        return reports.fault();
    }
    std::map<int64_t, const Sitting*> byId;
    bool anyScored = false;
    for (const Sitting& s : sittings.value()) {
        byId[s.id] = &s;
        anyScored = anyScored || scoredByServer(s);
    }
    std::map<int64_t, std::vector<AnswerRow>> rowsOf;
    if (anyScored) {
        auto answers = m_journal->answers();
        if (!answers.ok()) {
            return answers.fault();
        }
        for (AnswerRow& row : answers.value()) {
            rowsOf[row.sitting].push_back(std::move(row));
        }
    }

    std::vector<SourcedReport> out;
    out.reserve(reports.value().size());
    for (const auto& [id, bytes] : reports.value()) {
        const auto it = byId.find(id);
        if (it == byId.end()) {
            // Finished between the two reads: the next reading has it.
            continue;
        }
        const Sitting& s = *it->second;
        SourcedReport entry{entryName(s), Fault{}};
        if (bytes.size() > kMaxReportBytes) {
            entry.report = Fault{"larger than " + std::to_string(kMaxReportBytes) + " bytes"};
        } else {
            entry.report = readReport(bytes);
            if (entry.report.ok() && scoredByServer(s)) {
                entry.report = withServerFigures(entry.report.value(), s, rowsOf[id]);
            }
            // The student is the one the sitting was granted to, whatever
            // name the report carries: a report cannot count as another
            // student's attempt.
            if (entry.report.ok()) {
                entry.report.value().studentName = toCp1251(s.student);
            }
        }
        out.push_back(std::move(entry));
    }
    return out;
}

Result<std::unique_ptr<ReportSource>> openJournalReports(const std::string& location)
{
    // A SQLite file that is not there is a mistake (another folder), not an
    // empty exam: it is not made.
    std::error_code ec;
    if (location.rfind("postgres", 0) != 0 && !std::filesystem::exists(location, ec)) {
        return Fault{"no journal " + location + " here (--db names it)"};
    }
    auto journal = SqlJournal::open(location, {});
    if (!journal.ok()) {
        return journal.fault();
    }
    return std::unique_ptr<ReportSource>(new JournalReports(std::move(journal.value())));
}

} // namespace qd::journal
