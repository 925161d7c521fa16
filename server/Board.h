#pragma once

#include "BoardAccess.h"
#include "BoardRows.h"
#include "Exports.h"
#include "journal/Journal.h"
#include "run/Clock.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <unordered_map>

class QHttpServerRequest;
class QHttpServerResponse;
class QTimer;

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

class BoardHttp;
class BoardListener;

// A test the server scores with, as the board shows it.
struct BoardTest
{
    std::string name;  // UTF-8
    int questions = 0; // asked in one sitting
    int minutes = 0;   // for the whole test; 0 without a limit
};

// The examiner's live board: one page (compiled into the program) that asks
// /api/sittings and /api/incidents for what changed, and the exports as
// downloads. It reads the journal through its own connection, so it shows
// what is committed, from every server sharing the journal. The one write
// is the examiner's stop of a sitting (POST /api/stop).
//
// Both tables are kept ready (BoardRows): a request never reads the
// journal for them. They are read again within kRebuildMs of a commit of
// the exam server (counted by watchCommits), within kLookMs of any other
// writer's commit that the journal can report (changeMark), and every
// kForeignMs where it cannot (PostgreSQL: other servers, the commands).
// In between, only the time-dependent state of a sitting (silent) is
// looked at again, once a second.
//
// Every request passes the access check first (BoardAccess: the Host header,
// the token where one is asked for): a request that fails it gets 401 (or
// 421 for a wrong Host) with an empty body, whatever its path. Every answer
// carries a Content-Security-Policy that allows only the board's own script
// and style (no inline script), forbids framing, and nosniff; the page puts
// every value in as text.
class Board : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRebuildMs = 200;
    static constexpr int kLookMs = 1000;
    static constexpr int kForeignMs = 2000;
    // The incidents the board shows: the latest.
    static constexpr int kIncidentWindow = 500;

    // `verifying`: the server scores the results itself (--test); the page
    // says so, or says in one line that the results are not verified.
    Board(Journal& journal, const Clock& clock, BoardAccess access = {}, bool verifying = false,
          QObject* parent = nullptr);
    ~Board() override;

    // The port it listens on, 0 on failure.
    quint16 listen(const QHostAddress& address, quint16 port);

    // The URL to open (with the token when one is asked for); valid after
    // listen.
    std::string url() const { return m_access.url(); }

    // Where /api/journal learns whether the server's journal takes
    // messages (without it, it always does).
    void setJournalHealth(std::function<JournalHealth()> health) { m_health = std::move(health); }
    // Where the exports learn each sitting's test and the questions'
    // maxima (without it, those cells stay empty).
    void setGradebook(std::function<Result<Gradebook>()> source)
    {
        m_gradebook = std::move(source);
    }
    // The tests the server scores with (GET /api/tests).
    void setTests(std::vector<BoardTest> tests) { m_tests = std::move(tests); }
    // The exam server's count of commits, bumped on its own thread.
    void watchCommits(const std::atomic<uint64_t>* commits) { m_commits = commits; }

    // Reads both tables from the journal now; false (the tables kept as
    // they were) when the journal cannot be read.
    bool refresh();

    // The answer to one request, headers included: the whole board as one
    // function, which the HTTP server calls.
    QHttpServerResponse answer(const QHttpServerRequest& request);

    BoardListener& listener() { return *m_listener; }

private:
    QHttpServerResponse route(const QHttpServerRequest& request);
    QHttpServerResponse table(const QHttpServerRequest& request, const BoardRows& rows,
                              const char* key);
    QHttpServerResponse stop(const QHttpServerRequest& request);
    QHttpServerResponse page(const QHttpServerRequest& request);
    void tick();
    // Renders the sittings whose row or time-dependent state changed.
    void restate(int64_t now);

    Journal& m_journal;
    const Clock& m_clock;
    BoardAccess m_access;
    bool m_verifying = false;
    BoardListener* m_listener = nullptr;
    std::unique_ptr<BoardHttp> m_http;
    std::function<JournalHealth()> m_health;
    std::function<Result<Gradebook>()> m_gradebook;
    std::vector<BoardTest> m_tests;

    BoardRows m_sittings;
    BoardRows m_incidents;
    struct Known
    {
        Sitting sitting;
        std::string state; // stateKey when last rendered
        QByteArray json;
    };
    std::vector<int64_t> m_order;
    std::unordered_map<int64_t, Known> m_known;
    bool m_built = false;
    std::string m_readFault;

    QTimer* m_timer = nullptr;
    const std::atomic<uint64_t>* m_commits = nullptr;
    uint64_t m_seenCommits = 0;
    std::optional<int64_t> m_mark;
    bool m_dirty = false; // the board itself wrote (a stop)
    QElapsedTimer m_sinceBuild;
    QElapsedTimer m_sinceLook;
};

// The board's language for a request's Accept-Language: "en" when the
// browser prefers English to Ukrainian, "uk" otherwise.
const char* boardLanguage(const QByteArray& acceptLanguage);

} // namespace qd::server
