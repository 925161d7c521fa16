#pragma once

#include <QElapsedTimer>
#include <QTcpServer>

#include <cstdint>
#include <unordered_map>

class QTcpSocket;
class QTimer;

namespace qd::server {

// The board's listening socket, in front of the HTTP server, which takes
// whatever a client sends and holds it. Here each connection is bounded:
// the head of a request (up to its empty line) and its body have a size
// they may not pass, a request must arrive whole, and an answer must be
// taken, within a time, a connection with nothing asked is closed after
// another, and only so many are held (a new one beyond that pushes out the
// one quiet the longest). A connection over a bound is closed without an
// answer. The bounds are Limits; docs/guide.md gives them.
class BoardListener : public QTcpServer
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 headBytes = 16 * 1024;
        // The board takes no body beyond a stop's empty one.
        qint64 bodyBytes = 64 * 1024;
        int requestMs = 10000;
        int idleMs = 30000;
        std::size_t connections = 64;
    };

    explicit BoardListener(QObject* parent = nullptr);
    // Tests shorten the times.
    void setLimits(const Limits& limits) { m_limits = limits; }
    const Limits& limits() const { return m_limits; }
    ~BoardListener() override;

    // The HTTP server has read a whole request on `socket` and answers it.
    void answered(QTcpSocket* socket);

    std::size_t connectionCount() const { return m_guards.size(); }
    // Connections closed for passing a bound, since the start (tests, log).
    uint64_t closedCount() const { return m_closed; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Guard
    {
        qint64 head = 0;     // bytes of the request's head so far
        qint64 body = 0;     // bytes after it
        uint32_t tail = 0;   // the last four bytes, to find "\r\n\r\n"
        bool inHead = true;  // the empty line not seen yet
        bool asking = false; // a request begun and not yet answered
        qint64 since = 0;    // when the request began, or the last answer
        qint64 progress = 0; // the last time the peer took answer bytes
    };
    void arrived(QTcpSocket* socket);
    void sweep();
    void shut(QTcpSocket* socket);
    void shutSoon(QTcpSocket* socket);
    void forget(QTcpSocket* socket);

    std::unordered_map<QTcpSocket*, Guard> m_guards;
    QElapsedTimer m_clock;
    QTimer* m_sweep = nullptr;
    Limits m_limits;
    uint64_t m_closed = 0;
};

} // namespace qd::server
