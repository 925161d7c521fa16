#include "JournalCheck.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "results/ResultCheck.h"

#include <QString>

#include <map>

namespace qd::server {

namespace {

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
    if (!chains.ok()) {
        o.fault = chains.fault().message;
        return o;
    }
    const SqlJournal::ChainCheck& check = chains.value();
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
    if (!sittings.ok()) {
        o.fault = sittings.fault().message;
        return o;
    }
    if (!reports.ok()) {
        o.fault = reports.fault().message;
        return o;
    }
    std::map<int64_t, const Sitting*> byId;
    for (const Sitting& s : sittings.value()) {
        byId[s.id] = &s;
    }
    int scored = 0;
    int unscored = 0;
    for (const auto& [id, report] : reports.value()) {
        const auto it = byId.find(id);
        if (it == byId.end()) {
            ++unscored;
            continue;
        }
        const Sitting& s = *it->second;
        // Scored as the server scored the final message: the test the
        // report names and fits, of two versions the one that confirms
        // what the client claimed (kept beside the result; a sitting
        // stored before the claims were kept, or without a check, holds
        // the client's figures as its result).
        const bool claimKept = s.claimedPercent >= 0 || !s.claimedGrade.empty();
        const ClaimedFinal claim{s.answered, float(claimKept ? s.claimedPercent : s.percent),
                                 toCp1251(claimKept ? s.claimedGrade : s.grade)};
        const FinalCheck again = checkFinal(tests, claim, report);
        if (!again.scored) {
            ++unscored;
            continue;
        }
        ++scored;
        const std::string grade = fromCp1251(again.grade);
        if (twoDecimals(s.score) != twoDecimals(again.score) || s.percent != again.percent ||
            s.grade != grade) {
            o.broken = "sitting " + std::to_string(id) + " (" + s.student +
                       "): the journal holds " + shown(twoDecimals(s.score), s.percent, s.grade) +
                       ", its stored report scores " +
                       shown(twoDecimals(again.score), again.percent, grade);
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

} // namespace qd::server
