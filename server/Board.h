#pragma once

#include "Journal.h"
#include "run/Clock.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <memory>

class QHttpServer;

namespace qd::server {

// The examiner's live board: one page (compiled into the program) that
// polls /api/sittings and /api/incidents every half second, and the exports
// as downloads. It reads the journal through its own connection, so it
// shows what is committed, from every server sharing the journal. Nothing
// is written through HTTP.
class Board : public QObject
{
    Q_OBJECT

public:
    Board(Journal& journal, const Clock& clock, QObject* parent = nullptr);
    ~Board() override;

    // The port it listens on, 0 on failure.
    quint16 listen(const QHostAddress& address, quint16 port);

    // Where /api/journal learns whether the server's journal takes
    // messages (without it, it always does).
    void setJournalHealth(std::function<JournalHealth()> health) { m_health = std::move(health); }

private:
    Journal& m_journal;
    const Clock& m_clock;
    std::unique_ptr<QHttpServer> m_http;
    std::function<JournalHealth()> m_health;
};

} // namespace qd::server
