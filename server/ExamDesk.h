#pragma once

#include "Connections.h"
#include "IncidentLog.h"
#include "Roster.h"
#include "journal/Journal.h"
#include "exam/ExamMessage.h"
#include "results/ResultCheck.h"
#include "run/Clock.h"

#include <QHostAddress>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

// The permission rules beyond the roster.
struct RuleOptions
{
    std::optional<int64_t> from; // local calendar seconds (qd::Clock)
    std::optional<int64_t> until;
    std::vector<std::pair<QHostAddress, int>> allow; // empty: any address
    std::set<std::string> deny;                      // code page 1251 names
    int retakes = 0;
};

// Reads "YYYY-MM-DD HH:MM[:SS]" or "YYYY-MM-DDTHH:MM[:SS]" as local calendar seconds.
std::optional<int64_t> parseLocalTime(const std::string& text);
// Reads a deny list: one name a line, UTF-8 (or code page 1251 when the file
// is not UTF-8); blank lines skipped.
std::set<std::string> parseDenyList(std::string_view file);

// A message as it arrived: its fields, a final message's report, the
// peer's address and the connection it came on (0: none known).
struct Arrival
{
    ExamMessage fields;
    std::string report;
    std::string address;
    uint64_t connection = 0;
};

// The registration rules and the sittings: what the server answers to each
// message, and what goes into the journal (within the server's open batch).
// The journal holds every sitting; nothing of a sitting lives only here, so
// servers sharing a journal apply one set of sittings.
class ExamDesk
{
public:
    ExamDesk(Journal& journal, const Clock& clock, const Roster& roster, RuleOptions options);

    void setOptions(RuleOptions options) { m_options = std::move(options); }
    // The tests the students sit: every final message is scored with them
    // and every progress message held to them. None: nothing is scored.
    void setTests(std::vector<const TestModel*> tests);
    // The connections the messages come on, and this server's name in the
    // journal: a sitting held by a live connection is not taken over.
    void setConnections(Connections* connections, std::string serverName);

    // The verdict for one message: 0 grants (or continues), -1 no permission,
    // -2 not on the roster, -3 sitting elsewhere.
    int16_t handle(const Arrival& a);

    // An incident of the connection (a dropped peer, a message that never
    // completed), in the current batch.
    void incident(const std::string& kind, const Arrival& a, const std::string& detail,
                  const std::string& bytes = {});
    // The incidents' counts (IncidentLog): written within the open batch,
    // and what became of the batch.
    void flushIncidents(bool force = false) { m_incidents.flush(now(), force); }
    bool incidentsPending() const { return m_incidents.pending(); }
    void batchCommitted() { m_incidents.committed(); }
    void batchFailed() { m_incidents.failed(); }

    static bool sameComputer(const Sitting& s, const std::string& computer,
                             const std::string& address);
    // A sitting the examiner let go of its computer (release --move).
    static bool unbound(const Sitting& s) { return s.computer.empty() && s.address.empty(); }

private:
    int16_t admitNew(const Arrival& a, const std::string& student, const std::string& computer,
                     int attempt);
    // The rules for a student's open sitting: its own connection speaks,
    // a live one is not taken over, the same computer continues.
    int16_t toOpenSitting(const Sitting& s, const Arrival& a, const std::string& computer);
    // Applies a progress or final message (or a registration) to an open
    // sitting of this computer.
    int16_t carryOn(const Sitting& s, const Arrival& a, bool registered = true);
    // A registration goes on with an open sitting: the program started
    // again (a resumed run) on its computer, or on the one it was moved to.
    void resumed(const Sitting& s, const Arrival& a, bool moved);
    void finish(const Sitting& s, const Arrival& a, bool registered);
    // Whether the sitting's connection is live: open, with a message within
    // a minute. Another server's sitting counts as live when it was heard
    // from within a minute.
    bool heldLive(const Sitting& s, uint64_t holder) const;
    // An incident in its group (see IncidentLog).
    void note(const std::string& kind, const Arrival& a, const std::string& detail,
              const std::string& group, const std::string& bytes = {});
    // The group of an incident on a sitting.
    static std::string groupOf(const Sitting& s);
    // An incident on the sitting, and the sitting marked with its kind.
    void flagged(const Sitting& s, const Arrival& a, const Finding& f);
    int64_t now() const;

    Journal& m_journal;
    IncidentLog m_incidents{m_journal};
    const Clock& m_clock;
    const Roster& m_roster;
    RuleOptions m_options;
    std::vector<const TestModel*> m_tests;
    std::optional<ProgressLimits> m_limits;
    Connections* m_connections = nullptr;
    std::string m_serverName;
    // Makes `connection` the one that speaks for the student's open sitting
    // `s` (0: none), forgetting what the previous one knew.
    void hold(const Sitting& s, uint64_t connection);
    void unhold(const std::string& student);
    // What the holding connection wrote to its sitting last.
    void remember(const Sitting& s, uint64_t connection, int answered, double score);
    // A progress message on the connection that holds its sitting: one
    // UPDATE by the sitting's key, checked against what the connection
    // last wrote. Nothing when the journal no longer has the sitting open,
    // and the message then takes the whole way.
    std::optional<int16_t> progressOnHolder(const std::string& student, const Arrival& a);

    // The connection that speaks for each open sitting of this server, by
    // student: at most one entry per open sitting.
    std::unordered_map<std::string, uint64_t> m_holders;
    // What each of those connections last wrote to its sitting: a progress
    // message on it needs no look-up.
    struct Held
    {
        std::string student;
        int64_t sitting = 0;
        int answered = 0;
        double score = 0.0;
    };
    std::unordered_map<uint64_t, Held> m_held;
};

} // namespace qd::server
