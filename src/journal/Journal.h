#pragma once

#include "definition/Fault.h"

#include <cstdint>
#include <optional>
#include <variant>
#include <string>
#include <vector>

namespace qd::journal {

// Times in the journal are local calendar seconds (qd::Clock's
// calendarSeconds): the exam, its window and the exports all speak the lab's
// local time.

// Stopped: closed by the examiner during the test (`stop`), with what it
// had; it counts as sat.
enum class SittingState { Open, Finished, Released, Stopped };

const char* stateName(SittingState s);

// One granted examination of one student on one computer.
struct Sitting
{
    bool operator==(const Sitting&) const = default;

    int64_t id = 0;
    std::string student;  // UTF-8, as the client sent it
    std::string computer; // the client's host name, UTF-8
    std::string address;  // the peer's address
    std::string server;   // the server (lab) that opened it
    SittingState state = SittingState::Open;
    int answered = 0;
    bool lastRight = false;
    // The result: points so far while open; once finished the server's
    // own figures when it scored the report (see `verified`), else the
    // client's.
    double score = 0.0;
    int percent = -1;  // finished
    std::string grade; // finished: the grade text, UTF-8
    int maxScore = -1; // finished: the maximum of the points, -1 unknown
    int64_t started = 0;
    int64_t lastSeen = 0;
    int64_t finished = 0; // 0 while open
    bool hasReport = false;
    // What the client claimed in its final message and report, kept
    // beside the result.
    int claimedPercent = -1;
    std::string claimedGrade;
    double claimedScore = 0.0;
    // Finished: "yes", "mismatch" or "not checked" (empty before the
    // server checked results).
    std::string verified;
    // The incidents raised on the sitting (score-mismatch, ...), comma
    // separated, each once.
    std::string flags;
};

// What the server's check of a final message adds to the sitting (the
// result itself goes in with finish()).
struct FinalClaim
{
    int maxScore = -1;
    int percent = -1;
    std::string grade; // UTF-8
    double score = 0.0;
    std::string verified;
};

// A question row of a finished sitting's report.
struct AnswerRow
{
    int64_t sitting = 0;
    int question = 0;
    double points = 0.0;
    std::string answer; // the raw answer column, UTF-8
};

// A refusal or an odd event.
struct Incident
{
    bool operator==(const Incident&) const = default;

    int64_t id = 0;
    int64_t at = 0;
    std::string server;
    std::string kind; // a short tag: not-on-roster, no-permission, ...
    std::string student;
    std::string computer;
    std::string address;
    std::string detail; // UTF-8, for the examiner
    std::string bytes;  // a message that never completed, as it came
    // The same kind from the same address within a short while is one
    // incident: how many times it came, and when it came last.
    int times = 1;
    int64_t lastAt = 0; // 0: only at `at`
};

// Whether the journal takes writes now, and why not (for the log and the
// board).
struct JournalHealth
{
    enum class State {
        Ready,
        Reconnecting, // the database went away: connecting again, with backoff
        Lost,         // the journal file is gone, replaced or cannot be written
    };
    State state = State::Ready;
    std::string detail;
    bool operator==(const JournalHealth&) const = default;
};

// Where sittings, reports and incidents are kept. Writes are grouped: the
// server opens a batch, applies a turn's worth of events and commits it
// before any reply to them leaves. A failed statement fails the batch: its
// commit rolls everything back and reports the fault, and no reply claims
// what was not stored.
class Journal
{
public:
    virtual ~Journal() = default;

    virtual Status begin() = 0;
    virtual Status commit() = 0;
    virtual void rollback() = 0;
    virtual bool inBatch() const = 0;

    // Bounds every wait of a statement for a lock (another process holding
    // the SQLite write lock, a PostgreSQL row lock) to `ms`, so that the
    // server's one thread is never held longer.
    virtual Status limitWaits(int /*ms*/) { return {}; }
    // Looks at what the journal stands on (its file; its connection), which
    // the server does every second; begin() fails at once while it is not
    // Ready.
    virtual JournalHealth watch() { return {}; }
    virtual JournalHealth health() const { return {}; }
    // A number that changes whenever another connection (this process's
    // other connection, another server, a command) has committed since it
    // was last asked; nullopt when the journal cannot tell cheaply, and
    // the reader must look again by itself.
    virtual std::optional<int64_t> changeMark() { return std::nullopt; }

    // The student's open sitting.
    virtual std::optional<Sitting> openSitting(const std::string& student) = 0;
    // The student's latest sitting, open or closed.
    virtual std::optional<Sitting> latestSitting(const std::string& student) = 0;
    // Open sittings on a computer (host name and address).
    virtual std::vector<Sitting> openOnComputer(const std::string& computer,
                                                const std::string& address) = 0;
    // Sittings that count as sat: finished, or stopped by the examiner.
    virtual int finishedCount(const std::string& student) = 0;

    // Opens a sitting; nullopt when the student has an open sitting already
    // (the journal's own constraint decides, so that servers sharing the
    // journal cannot both open one) or the statement failed.
    virtual std::optional<int64_t> insertSitting(const Sitting& s) = 0;
    // A progress message on an open sitting; false when the sitting is no
    // longer open (closed by the examiner or another server) or the
    // statement failed, and nothing was written.
    virtual bool progress(int64_t id, int answered, bool lastRight, double score, int64_t now,
                          const std::string& address) = 0;
    virtual void touch(int64_t id, int64_t now, const std::string& address) = 0;
    // A sitting the examiner let go of its computer (move) is taken by the
    // computer `computer` at `address`, from which the student goes on.
    virtual void rebind(int64_t id, const std::string& computer, const std::string& address,
                        int64_t now) = 0;
    // Closes an open sitting as finished with its report (raw bytes, code
    // page 1251) and the report's question rows. `score` is the report's
    // total; without one (no report, or one that does not read) the points
    // of the last progress message stay.
    virtual void finish(int64_t id, int answered, bool lastRight, int percent,
                        std::optional<double> score, const std::string& grade,
                        const std::string& report, const std::vector<AnswerRow>& rows,
                        int64_t now) = 0;
    // The client's claim and the verdict of a sitting just finished.
    virtual void recordClaim(int64_t id, const FinalClaim& claim, int64_t now) = 0;
    // Marks a sitting with an incident's kind (kept once).
    virtual void flag(int64_t id, const std::string& kind, int64_t now) = 0;
    // Stores the incident; its row's id, nothing when the statement failed.
    virtual std::optional<int64_t> addIncident(const Incident& incident) = 0;
    // The incident came again: `times` in all, the last at `lastAt`.
    virtual void repeatIncident(int64_t id, int times, int64_t lastAt) = 0;
    // How many incidents of `kind` the student has had since `since`
    // (repetitions counted).
    virtual int incidentCount(const std::string& kind, const std::string& student,
                              int64_t since) = 0;

    // Outside the server's batches (the commands): closes the student's open
    // sitting as released; false when there is none.
    virtual Result<bool> release(const std::string& student, int64_t now) = 0;
    // The examiner stops the student's open sitting: closed as stopped with
    // what it had; false when there is none.
    virtual Result<bool> stop(const std::string& student, int64_t now) = 0;
    // The examiner lets the student's open sitting go on on another
    // computer: it stays open but is no longer bound to the computer it
    // was granted to, and the next registration of the student, from any
    // computer, takes it (rebind). False when there is none.
    virtual Result<bool> move(const std::string& student, int64_t now) = 0;

    // Reading, for the board and the commands.
    virtual Result<std::vector<Sitting>> sittings() = 0;
    virtual Result<std::vector<Incident>> incidents(int limit) = 0;
    // The reports of a student's finished sittings, oldest first.
    virtual Result<std::vector<std::string>> reports(const std::string& student) = 0;
    virtual Result<std::vector<AnswerRow>> answers() = 0;
};

} // namespace qd::journal
