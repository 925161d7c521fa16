#pragma once

#include "Journal.h"
#include "exam/ExamMessage.h"
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

// The roster: students.dbf, read at the positions the client reads it, plus
// the deletion mark of each record. Names are kept as the client sends them
// (code page 1251 bytes up to the first zero).
class Roster
{
public:
    enum class Entry { Absent, Listed, Deleted };

    // Reads the table; a fault names the file. The previous names stay on
    // failure.
    Status load(const std::filesystem::path& file);
    // From a table's bytes (tests).
    void loadBytes(std::string_view table);
    Entry find(const std::string& cp1251) const;
    std::size_t size() const { return m_names.size(); }

    // What tells a changed file: written in place (time, size) or replaced
    // by a rename (another inode).
    struct Stamp
    {
        int64_t mtimeNs = -1;
        int64_t size = -1;
        uint64_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::filesystem::path& file);

private:
    std::unordered_map<std::string, bool> m_names; // name -> deleted
};

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

// A message as it arrived: its fields, a final message's report and the
// peer's address.
struct Arrival
{
    ExamMessage fields;
    std::string report;
    std::string address;
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

    // The verdict for one message: 0 grants (or continues), -1 no permission,
    // -2 not on the roster, -3 sitting elsewhere.
    int16_t handle(const Arrival& a);

    // An incident of the connection (a dropped peer, a message that never
    // completed), in the current batch.
    void incident(const std::string& kind, const Arrival& a, const std::string& detail,
                  const std::string& bytes = {});

    static bool sameComputer(const Sitting& s, const std::string& computer,
                             const std::string& address);

private:
    int16_t admitNew(const Arrival& a, const std::string& student, const std::string& computer,
                     int attempt);
    // Applies a progress or final message (or a registration) to an open
    // sitting of this computer.
    int16_t carryOn(const Sitting& s, const Arrival& a);
    int64_t now() const;

    Journal& m_journal;
    const Clock& m_clock;
    const Roster& m_roster;
    RuleOptions m_options;
};

} // namespace qd::server
