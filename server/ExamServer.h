#pragma once

#include "Journal.h"
#include "Rules.h"
#include "exam/MessageFramer.h"
#include "run/Clock.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace qd::server {

// The exam server's connections on one event loop: every client's stream is
// framed, each message decided by the desk inside the current batch, and
// the batch committed once per turn of the loop, before any reply to its
// messages is written. A batch that fails to commit is answered "accepted
// 0" throughout, so the clients send their messages again.
class ExamServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIdleMs = 30000; // a partial message with no further byte
    static constexpr qint64 kReadChunk = 64 * 1024;
    static constexpr int kMaxBatch = 2000; // messages in one transaction
    // Connections held at once; beyond it new ones wait in the kernel's queue.
    static constexpr std::size_t kMaxConnections = 30000;

    ExamServer(Journal& journal, ExamDesk& desk, const Clock& clock, QObject* parent = nullptr);
    ~ExamServer() override;

    // Listens; false with the reason in *error.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    // Takes a listening socket handed over by systemd (LISTEN_FDS).
    bool adopt(int fd, QString* error);
    QHostAddress address() const;
    quint16 port() const;

    // Stops accepting, commits what is pending and writes its replies.
    void stop();
    // Commits the open batch now and writes its replies.
    void commitNow();
    // Drops connections whose partial message has waited kIdleMs, and
    // connections that sent no message at all within kIdleMs of connecting
    // (a client registers at once) (the server runs this every second).
    void sweep();

    std::size_t connectionCount() const { return m_connections.size(); }

signals:
    // A batch was committed (tests wait on it).
    void committed(int messages);
    void journalFault(const QString& message);

private:
    struct Connection
    {
        QTcpSocket* socket = nullptr;
        MessageFramer framer;
        std::string address;
        uint32_t lastByte = 0; // Clock ticks
        uint32_t connectedAt = 0;
        int messages = 0;
    };
    struct Reply
    {
        QPointer<QTcpSocket> socket;
        std::string bytes;
        bool wasGrant = false; // a verdict that a failed commit must not send
    };

    void accept();
    void read(QTcpSocket* socket);
    void gone(QTcpSocket* socket);
    void drop(Connection& c, const std::string& why);
    void resumeIfRoom();
    void ensureBatch();
    void queue(QTcpSocket* socket, std::string bytes, bool verdict);
    Arrival arrival(const Connection& c, const MessageFramer::Frame& f) const;

    Journal& m_journal;
    ExamDesk& m_desk;
    const Clock& m_clock;
    QTcpServer* m_listener = nullptr;
    QTimer* m_sweep = nullptr;
    std::unordered_map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    std::vector<Reply> m_replies;
    bool m_commitQueued = false;
    int m_batchMessages = 0;
};

// The peer's address as the rules compare it (an IPv4 peer on a dual-stack
// socket as plain IPv4).
std::string peerAddress(const QHostAddress& a);

} // namespace qd::server
