#pragma once

// A journal in memory for the framing fuzzer: the same interface as the SQL
// one, with the one-open-sitting rule kept by hand, so that the registration
// rules run on every message without a database per input.

#include "journal/Journal.h"

#include <map>

namespace qdfuzz {

using namespace qd::journal;

class MemoryJournal : public Journal
{
public:
    qd::Status begin() override
    {
        m_batch = true;
        return {};
    }
    qd::Status commit() override
    {
        m_batch = false;
        return {};
    }
    void rollback() override { m_batch = false; }
    bool inBatch() const override { return m_batch; }

    std::optional<Sitting> openSitting(const std::string& student) override
    {
        for (const auto& [id, s] : m_sittings) {
            if (s.student == student && s.state == SittingState::Open) {
                return s;
            }
        }
        return std::nullopt;
    }
    std::optional<Sitting> latestSitting(const std::string& student) override
    {
        std::optional<Sitting> last;
        for (const auto& [id, s] : m_sittings) {
            if (s.student == student) {
                last = s;
            }
        }
        return last;
    }
    std::vector<Sitting> openOnComputer(const std::string& computer,
                                        const std::string& address) override
    {
        std::vector<Sitting> out;
        for (const auto& [id, s] : m_sittings) {
            if (s.computer == computer && s.address == address && s.state == SittingState::Open) {
                out.push_back(s);
            }
        }
        return out;
    }
    int finishedCount(const std::string& student) override
    {
        int n = 0;
        for (const auto& [id, s] : m_sittings) {
            n += s.student == student &&
                 (s.state == SittingState::Finished || s.state == SittingState::Stopped);
        }
        return n;
    }
    std::optional<int64_t> insertSitting(const Sitting& s) override
    {
        if (openSitting(s.student)) {
            return std::nullopt;
        }
        Sitting copy = s;
        copy.id = ++m_lastId;
        m_sittings[copy.id] = copy;
        return copy.id;
    }
    bool progress(int64_t id, int answered, bool lastRight, double score, int64_t now,
                  const std::string&) override
    {
        Sitting& s = m_sittings.at(id);
        if (s.state != SittingState::Open) {
            return false;
        }
        s.answered = answered;
        s.lastRight = lastRight;
        s.score = score;
        s.lastSeen = now;
        return true;
    }
    void touch(int64_t id, int64_t now, const std::string&) override
    {
        m_sittings.at(id).lastSeen = now;
    }
    void finish(int64_t id, int answered, bool, int percent, std::optional<double> score,
                const std::string& grade, const std::string& report,
                const std::vector<AnswerRow>& rows, int64_t now) override
    {
        Sitting& s = m_sittings.at(id);
        if (s.state != SittingState::Open) {
            std::abort(); // a closed sitting is never finished again
        }
        s.state = SittingState::Finished;
        s.answered = answered;
        s.percent = percent;
        if (score) {
            s.score = *score;
        }
        s.grade = grade;
        s.finished = now;
        s.hasReport = true;
        m_reports[id] = report;
        m_rows += rows.size();
    }
    void recordClaim(int64_t id, const FinalClaim& c, int64_t) override
    {
        Sitting& s = m_sittings.at(id);
        s.maxScore = c.maxScore;
        s.claimedPercent = c.percent;
        s.claimedGrade = c.grade;
        s.claimedScore = c.score;
        s.verified = c.verified;
    }
    void flag(int64_t id, const std::string& kind, int64_t) override
    {
        std::string& f = m_sittings.at(id).flags;
        if (("," + f + ",").find("," + kind + ",") == std::string::npos) {
            f += (f.empty() ? "" : ",") + kind;
        }
    }
    void rebind(int64_t id, const std::string& computer, const std::string& address,
                int64_t now) override
    {
        Sitting& s = m_sittings.at(id);
        s.computer = computer;
        s.address = address;
        s.lastSeen = now;
    }
    std::optional<int64_t> addIncident(const Incident&) override { return int64_t(++m_incidents); }
    void repeatIncident(int64_t, int, int64_t) override {}
    int incidentCount(const std::string&, const std::string&, int64_t) override { return 0; }
    qd::Result<bool> move(const std::string& student, int64_t) override
    {
        for (auto& [id, s] : m_sittings) {
            if (s.student == student && s.state == SittingState::Open) {
                s.computer.clear();
                s.address.clear();
                return true;
            }
        }
        return false;
    }
    qd::Result<bool> release(const std::string& student, int64_t now) override
    {
        return close(student, SittingState::Released, now);
    }
    qd::Result<bool> stop(const std::string& student, int64_t now) override
    {
        return close(student, SittingState::Stopped, now);
    }
    bool close(const std::string& student, SittingState state, int64_t now)
    {
        for (auto& [id, s] : m_sittings) {
            if (s.student == student && s.state == SittingState::Open) {
                s.state = state;
                s.finished = now;
                return true;
            }
        }
        return false;
    }
    qd::Result<std::vector<Sitting>> sittings() override { return std::vector<Sitting>{}; }
    qd::Result<std::vector<Incident>> incidents(int) override { return std::vector<Incident>{}; }
    qd::Result<std::vector<std::string>> reports(const std::string&) override
    {
        return std::vector<std::string>{};
    }
    qd::Result<std::vector<AnswerRow>> answers() override { return std::vector<AnswerRow>{}; }

    std::size_t size() const { return m_sittings.size(); }

private:
    bool m_batch = false;
    int64_t m_lastId = 0;
    std::map<int64_t, Sitting> m_sittings;
    std::map<int64_t, std::string> m_reports;
    std::size_t m_rows = 0;
    std::size_t m_incidents = 0;
};

} // namespace qdfuzz
