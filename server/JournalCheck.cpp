#include "JournalCheck.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "results/ReportReader.h"
#include "results/Rescore.h"

#include <QString>

#include <map>

namespace qd::server {

namespace {

std::string points(double v)
{
    return QString::number(v, 'f', 2).toStdString();
}

// The stored result of a sitting as it reads, and as its report scores.
std::string shown(const std::string& score, int percent, const std::string& grade)
{
    return score + " points, " + std::to_string(percent) + " %, " + grade;
}

} // namespace

JournalCheckOutcome checkJournal(SqlJournal& journal, const std::vector<const TestModel*>& tests)
{
    JournalCheckOutcome o;
    auto chains = journal.verifyChains();
    if (const auto* f = std::get_if<Fault>(&chains)) {
        o.fault = f->message;
        return o;
    }
    const SqlJournal::ChainCheck& check = std::get<SqlJournal::ChainCheck>(chains);
    if (check.broken) {
        o.broken = *check.broken;
        return o;
    }
    for (const auto& c : check.chains) {
        o.out += "chain " + (c.name.empty() ? std::string("(no server)") : c.name) + ": " +
                 std::to_string(c.events) + " events, last value " + c.head + "\n";
    }
    if (tests.empty()) {
        o.out += "the journal holds (results not scored again: no --test)\n";
        return o;
    }

    auto sittings = journal.sittings();
    auto reports = journal.finishedReports();
    if (const auto* f = std::get_if<Fault>(&sittings)) {
        o.fault = f->message;
        return o;
    }
    if (const auto* f = std::get_if<Fault>(&reports)) {
        o.fault = f->message;
        return o;
    }
    std::map<int64_t, const Sitting*> byId;
    for (const Sitting& s : std::get<std::vector<Sitting>>(sittings)) {
        byId[s.id] = &s;
    }
    int scored = 0;
    int unscored = 0;
    for (const auto& [id, report] :
         std::get<std::vector<std::pair<int64_t, std::string>>>(reports)) {
        const auto it = byId.find(id);
        const auto parsed = readReport(report);
        const auto* r = std::get_if<ParsedReport>(&parsed);
        if (it == byId.end() || r == nullptr) {
            ++unscored;
            continue;
        }
        // The first test the report fits scores it.
        std::optional<RescoredReport> again;
        for (const TestModel* t : tests) {
            auto x = rescoreReport(*t, *r);

            if (auto* ok = std::get_if<RescoredReport>(&x)) {
                again = std::move(*ok);
                break;
            }
        }
        if (!again) {
            ++unscored;
            continue;
        }
        ++scored;
        const Sitting& s = *it->second;
        const std::string grade = fromCp1251(again->grade);
        if (points(s.score) != again->scoreText || s.percent != again->percent ||
            s.grade != grade) {
            o.broken = "sitting " + std::to_string(id) + " (" + s.student +
                       "): the journal holds " + shown(points(s.score), s.percent, s.grade) +
                       ", its stored report scores " +
                       shown(again->scoreText, again->percent, grade);
            return o;
        }
    }
    o.out += std::to_string(scored) + " finished sitting(s) scored again from their reports: as "
                                      "stored";
    if (unscored > 0) {
        o.out += " (" + std::to_string(unscored) + " report(s) fit no test given: not scored)";
    }
    o.out += "\nthe journal holds\n";
    return o;
}

Result<std::vector<std::unique_ptr<TestModel>>> loadTests(const std::vector<std::string>& dirs)
{
    std::vector<std::unique_ptr<TestModel>> out;
    for (const std::string& dir : dirs) {
        // The character width only places options on the screen; it never
        // changes a fault or a score.
        auto loaded = loadTestDir(dir, WindowGeometry{}, [](int, bool) { return 8; });
        if (auto* f = std::get_if<Fault>(&loaded)) {
            return Fault{"the test in " + dir + ": " + fromCp1251(f->message)};
        }
        out.push_back(std::move(std::get<std::unique_ptr<TestModel>>(loaded)));
    }
    return out;
}

} // namespace qd::server
