#pragma once

#include "Connections.h"
#include "journal/Journal.h"
#include "ExamDesk.h"
#include "exam/MessageFramer.h"
#include "run/Clock.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <deque>
#include <unordered_set>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

// What one server holds for its peers at most (options of serve).
struct ServerLimits
{
    // Connections from one address at once; more are closed as they come.
    std::size_t perAddress = 32;
    // Bytes of incomplete messages held for all connections together; past
    // it the connection holding the most is dropped.
    std::size_t bufferedBytes = std::size_t(64) << 20;
    // A connection with no message for this long is closed (its computer
    // connects again by itself when it has something to say).
    int idleSeconds = 600;
};

// The exam server's connections on one event loop: every client's stream is
// framed and its messages wait in order to be stored. Once per turn of the
// loop the waiting messages are decided by the desk inside one batch, and
// the batch is committed before any reply to its messages is written: a
// reply grants only what its own committed transaction holds. A batch that
// fails to commit is answered "accepted 0" throughout, so the clients send
// their messages again.
//
// When the journal cannot take a batch (another process holds its write
// lock, its database is reconnecting, its file is lost) the messages wait,
// tried again every kRetryMs, and one not stored within kStoreWaitMs is
// answered "accepted 0": the client sends it again, and it is stored once
// when the journal is back. No wait holds the loop longer than kLockWaitMs
// at a time.
class ExamServer : public QObject, public Connections
{
    Q_OBJECT

public:
    // A message must be complete within this long of its first byte, and a
    // connection must bring its first message within this long.
    static constexpr int kIdleMs = 30000;
    static constexpr qint64 kReadChunk = 64 * 1024;
    static constexpr int kMaxBatch = 2000; // messages in one transaction
    // Connections held at once; beyond it new ones wait in the kernel's queue.
    static constexpr std::size_t kMaxConnections = 30000;
    // A message is answered within 2 s: stored, or asked again after this
    // long (the rest is the reply's way back).
    static constexpr int kStoreWaitMs = 1500;
    static constexpr int kRetryMs = 100;
    static constexpr int kLockWaitMs = 50;
    // A batch takes no further message after this long.
    static constexpr int kBatchBudgetMs = 500;
    // An incident of a connection (it has no reply) waits longer.
    static constexpr int kIncidentWaitMs = 60000;
    // Messages waiting at once; beyond it a message is asked again at once.
    static constexpr std::size_t kMaxWaiting = 100000;

    ExamServer(Journal& journal, ExamDesk& desk, const Clock& clock, QObject* parent = nullptr);
    ~ExamServer() override;

    void setLimits(const ServerLimits& limits) { m_limits = limits; }
    // Bytes of incomplete messages held now.
    std::size_t bufferedBytes() const { return m_buffered; }

    // Listens; the reason (UTF-8) when it cannot.
    Status listen(const QHostAddress& address, quint16 port);
    // Takes a listening socket handed over by systemd (LISTEN_FDS).
    Status adopt(int fd);
    QHostAddress address() const;
    quint16 port() const;

    // Stops accepting, commits what is pending and writes its replies.
    void stop();
    // Stores the waiting messages now, as far as the journal lets it, and
    // writes their replies.
    void commitNow();
    // Looks at the journal (its file, its connection); the server runs it
    // every second.
    void watchJournal();
    // Drops connections whose message is not complete kIdleMs after its
    // first byte, however it trickles, and connections that sent no message
    // at all within kIdleMs of connecting (a client registers at once);
    // closes connections idle for the limit's time (the server runs this
    // every second).
    void sweep();

    std::size_t connectionCount() const { return m_connections.size(); }
    // Whether the journal takes messages, as last seen.
    const JournalHealth& journalHealth() const { return m_health; }

    // Connections: open, and a whole message on it within kLiveSeconds.
    bool live(uint64_t connection) const override;
    // Closes it without a word: a newer connection speaks for its sitting.
    void close(uint64_t connection) override;
    bool closedForIdleness(uint64_t connection) const override;

signals:
    // A batch was committed (tests wait on it).
    void committed(int messages);
    void journalFault(const QString& message);
    // The journal stopped taking writes, or took them again (Ready).
    void journalHealthChanged(const JournalHealth& health);
    // A batch committed again after batches that could not.
    void journalRestored();

private:
    struct Connection
    {
        QTcpSocket* socket = nullptr;
        MessageFramer framer;
        std::string address;
        uint32_t lastByte = 0; // Clock ticks
        uint32_t connectedAt = 0;
        uint32_t lastMessage = 0;  // Clock ticks of the last whole message
        uint32_t partialSince = 0; // Clock ticks of the incomplete message's first byte
        std::size_t buffered = 0;  // what the framer holds, as counted in m_buffered
        uint64_t id = 0;
        int messages = 0;
    };
    struct Reply
    {
        QPointer<QTcpSocket> socket;
        std::string bytes;
        bool wasGrant = false; // a verdict that a failed commit must not send
    };
    // A message waiting to be stored, or an incident of a connection.
    struct Waiting
    {
        QPointer<QTcpSocket> socket; // null for an incident
        Arrival arrival;
        std::string incident; // the incident's kind; empty for a message
        std::string detail;
        std::string bytes;
        uint32_t since = 0; // Clock ticks
    };

    void accept();
    void read(QTcpSocket* socket);
    void gone(QTcpSocket* socket);
    void drop(Connection& c, const std::string& why);
    // Past the limit of buffered bytes: the connections holding the most
    // are dropped until it holds again. False when `c` itself was.
    bool shed(const Connection& c);
    // Forgets a connection and lets it go (its socket deleted later).
    void release(QTcpSocket* socket, bool abort);
    void resumeIfRoom();
    void scheduleStore();
    void store();
    // Answers "accepted 0" to the messages that waited too long.
    void expire();
    void setHealth(const JournalHealth& health);
    void askAgain(QTcpSocket* socket);
    void queueIncident(const std::string& kind, const Arrival& a, const std::string& detail,
                       const std::string& bytes = {});
    Arrival arrival(const Connection& c, const MessageFramer::Frame& f) const;

    Journal& m_journal;
    ExamDesk& m_desk;
    const Clock& m_clock;
    QTcpServer* m_listener = nullptr;
    QTimer* m_sweep = nullptr;
    QTimer* m_retry = nullptr;
    QTimer* m_watch = nullptr;
    std::unordered_map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    std::deque<Waiting> m_waiting;
    bool m_storeQueued = false;
    JournalHealth m_health;
    bool m_failing = false; // the last batch could not begin or commit
    std::unordered_map<uint64_t, QTcpSocket*> m_byId;
    uint64_t m_lastId = 0;
    ServerLimits m_limits;
    std::unordered_map<std::string, std::size_t> m_perAddress;
    std::size_t m_buffered = 0;
    // Connections closed for idleness (bounded: forgotten in bulk).
    std::unordered_set<uint64_t> m_idleClosed;
    bool m_flushDue = false;
};

// The peer's address as the rules compare it (an IPv4 peer on a dual-stack
// socket as plain IPv4).
std::string peerAddress(const QHostAddress& a);

} // namespace qd::server
