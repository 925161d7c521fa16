#pragma once

#include "journal/Journal.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace qd::server {

using namespace qd::journal;

// The incidents of the exam server, grouped: the first of a kind from an
// address for a student is stored at once, and the same again within
// kWindowSeconds only counts, as the row's times and last time. Past
// kStudentsPerWindow students of one kind from one address in a window,
// the others share one group. A program that floods the server with
// refused names or empty connections thus adds a few rows a minute, not
// one an attempt, while a lab computer's refusals keep each student's row.
//
// Works inside the server's batches: add() and flush() write within the
// open batch, and committed() or failed() says what became of it.
class IncidentLog
{
public:
    static constexpr int kWindowSeconds = 60;
    // The counts are written at most this often (and at the end of a
    // window).
    static constexpr int kFlushSeconds = 1;
    static constexpr int kStudentsPerWindow = 5;
    // Groups kept at once; beyond it the oldest written ones are let go.
    static constexpr std::size_t kMaxGroups = 20000;
    // Of a message that never completed, the first bytes are kept (its
    // header names the student and computer): enough to see what it was.
    static constexpr std::size_t kKeptBytes = 4096;

    explicit IncidentLog(Journal& journal) : m_journal(journal) {}

    // `group` separates incidents of one kind and address further: the
    // student, or the sitting an incident concerns.
    void add(const Incident& incident, const std::string& group);
    // How often the incident's group came beyond what its row says.
    int unwritten(const Incident& incident, const std::string& group) const;
    // Writes the counts that grew, when kFlushSeconds have passed since the
    // last time (or `force`).
    void flush(int64_t now, bool force = false);
    // Whether a count waits to be written.
    bool pending() const { return !m_dirty.empty(); }
    // The batch was committed, or rolled back.
    void committed();
    void failed();

private:
    struct Group
    {
        int64_t id = 0;
        int64_t first = 0;
        int64_t last = 0;
        int times = 1;
        int written = 1;    // as committed
        int writing = 1;    // as written in the open batch
        bool newRow = true; // inserted in the open batch
    };
    // Lets go of groups whose window has ended and whose count is written.
    void prune(int64_t now);
    static std::string keyOf(const Incident& i, const std::string& group);

    // The group an incident joins: its own, or the one of the others once
    // its address has had kStudentsPerWindow groups of the kind.
    std::string groupKey(const Incident& i, const std::string& group);

    Journal& m_journal;
    std::unordered_map<std::string, Group> m_groups;
    // Groups begun in the current window, by address and kind.
    struct Window
    {
        int64_t start = 0;
        int groups = 0;
    };
    std::unordered_map<std::string, Window> m_windows;
    std::unordered_set<std::string> m_dirty; // times beyond writing
    std::unordered_set<std::string> m_batch; // written in the open batch
    int64_t m_lastFlush = 0;
};

} // namespace qd::server
