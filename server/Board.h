#pragma once

#include "BoardAccess.h"
#include "Exports.h"
#include "journal/Journal.h"
#include "run/Clock.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <memory>

class QHttpServerRequest;
class QHttpServerResponse;

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

class BoardHttp;

// The examiner's live board: one page (compiled into the program) that
// polls /api/sittings and /api/incidents every half second, and the exports
// as downloads. It reads the journal through its own connection, so it
// shows what is committed, from every server sharing the journal. The one
// write is the examiner's stop of a sitting (POST /api/stop).
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

    // The answer to one request, headers included: the whole board as one
    // function, which the HTTP server calls.
    QHttpServerResponse answer(const QHttpServerRequest& request);

private:
    QHttpServerResponse route(const QHttpServerRequest& request);
    QHttpServerResponse stop(const QHttpServerRequest& request);

    Journal& m_journal;
    const Clock& m_clock;
    BoardAccess m_access;
    bool m_verifying = false;
    std::unique_ptr<BoardHttp> m_http;
    std::function<JournalHealth()> m_health;
    std::function<Result<Gradebook>()> m_gradebook;
};

} // namespace qd::server
