#include "ExamServer.h"

#include "definition/Cp1251.h"
#include "exam/ServerReply.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace qd::server {

std::string peerAddress(const QHostAddress& a)
{
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    if (ok) {
        return QHostAddress(v4).toString().toStdString();
    }
    return a.toString().toStdString();
}

ExamServer::ExamServer(Journal& journal, ExamDesk& desk, const Clock& clock, QObject* parent)
    : QObject(parent),
      m_journal(journal),
      m_desk(desk),
      m_clock(clock),
      m_listener(new QTcpServer(this)),
      m_sweep(new QTimer(this)),
      m_retry(new QTimer(this)),
      m_watch(new QTimer(this))
{
    // The one thread waits for a lock no longer than this at a time; the
    // messages wait in m_waiting instead, and the loop goes on.
    if (Status f = m_journal.limitWaits(kLockWaitMs); !f.ok()) {
        emit journalFault(QString::fromStdString(f.fault().message));
    }
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &ExamServer::store);
    connect(m_watch, &QTimer::timeout, this, &ExamServer::watchJournal);
    m_watch->start(1000);
    // The kernel's queue of connections not yet accepted: a whole campus
    // may connect at once.
    m_listener->setMaxPendingConnections(10000);
    connect(m_listener, &QTcpServer::newConnection, this, &ExamServer::accept);
    // Out of descriptors: stop taking connections for a moment rather than
    // spin on a queue that cannot be served.
    connect(m_listener, &QTcpServer::acceptError, this, [this] {
        m_listener->pauseAccepting();
        QTimer::singleShot(1000, this, [this] {
            if (m_listener->isListening()) {
                m_listener->resumeAccepting();
            }
        });
    });
    connect(m_sweep, &QTimer::timeout, this, &ExamServer::sweep);
    m_sweep->start(1000);
}

ExamServer::~ExamServer()
{
    for (auto& [socket, c] : m_connections) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

Status ExamServer::listen(const QHostAddress& address, quint16 port)
{
    // Connections the kernel completes before they are accepted: a lab (or
    // a benchmark of thousands) connecting at once must not overflow it.
    m_listener->setListenBacklogSize(4096);
    if (!m_listener->listen(address, port)) {
        QString error = m_listener->errorString();
        if (m_listener->serverError() == QAbstractSocket::SocketAccessError) {
            error += QStringLiteral(
                "\nA port below 1024 needs a right that this user lacks. Grant it to the "
                "program once (sudo setcap cap_net_bind_service=+ep quizdesk-examd), or start "
                "it through its socket unit (systemd/quizdesk-examd.socket), or choose --port "
                "above 1023 (the clients always use 1023).");
        }
        return Fault{error.toStdString()};
    }
    return {};
}

Status ExamServer::adopt(int fd)
{
    if (!m_listener->setSocketDescriptor(fd)) {
        return Fault{m_listener->errorString().toStdString()};
    }
    return {};
}

QHostAddress ExamServer::address() const
{
    return m_listener->serverAddress();
}

quint16 ExamServer::port() const
{
    return m_listener->serverPort();
}

void ExamServer::accept()
{
    while (m_connections.size() < kMaxConnections) {
        QTcpSocket* s = m_listener->nextPendingConnection();
        if (s == nullptr) {
            break;
        }
        std::string address = peerAddress(s->peerAddress());
        std::size_t& fromAddress = m_perAddress[address];
        if (fromAddress >= m_limits.perAddress) {
            // One computer needs one connection (two while it reconnects):
            // a program holding many is refused more.
            Arrival a;
            a.address = address;
            queueIncident("too-many-connections", a,
                          std::to_string(fromAddress) + " connections from the address already");
            s->abort();
            s->deleteLater();
            continue;
        }
        ++fromAddress;
        auto c = std::make_unique<Connection>();
        c->socket = s;
        c->address = std::move(address);
        c->lastByte = m_clock.ticks();
        c->connectedAt = c->lastByte;
        c->id = ++m_lastId;
        m_byId.emplace(c->id, s);
        // Qt reads no more than this ahead of the framer: a flood waits in
        // the kernel, not in this process.
        s->setReadBufferSize(kReadChunk);
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { gone(s); });
        m_connections.emplace(s, std::move(c));
    }
    if (m_connections.size() >= kMaxConnections) {
        m_listener->pauseAccepting();
    }
}

void ExamServer::scheduleStore()
{
    if (!m_storeQueued) {
        m_storeQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_storeQueued = false;
            store();
        });
    }
}

void ExamServer::askAgain(QTcpSocket* socket)
{
    if (socket != nullptr && socket->state() == QAbstractSocket::ConnectedState) {
        const std::string again = ServerReply::encode(0, 0);
        socket->write(again.data(), qint64(again.size()));
    }
}

void ExamServer::queueIncident(const std::string& kind, const Arrival& a, const std::string& detail,
                               const std::string& bytes)
{
    Waiting w;
    w.arrival = a;
    w.incident = kind;
    w.detail = detail;
    w.bytes = bytes;
    w.since = m_clock.ticks();
    m_waiting.push_back(std::move(w));
    scheduleStore();
}

Arrival ExamServer::arrival(const Connection& c, const MessageFramer::Frame& f) const
{
    Arrival a;
    a.fields = f.fields;
    a.report = f.report;
    a.address = c.address;
    a.connection = c.id;
    return a;
}

void ExamServer::setHealth(const JournalHealth& health)
{
    if (health == m_health) {
        return;
    }
    m_health = health;
    emit journalHealthChanged(health);
}

void ExamServer::watchJournal()
{
    if (m_journal.inBatch()) {
        return;
    }
    setHealth(m_journal.watch());
    if (m_health.state == JournalHealth::State::Ready && !m_waiting.empty()) {
        scheduleStore();
    }
}

void ExamServer::expire()
{
    const uint32_t now = m_clock.ticks();
    std::deque<Waiting> kept;
    for (Waiting& w : m_waiting) {
        const uint32_t waited = now - w.since;
        if (w.incident.empty() && waited >= uint32_t(kStoreWaitMs)) {
            // Not stored, so not granted: the client sends it again.
            askAgain(w.socket);
        } else if (!w.incident.empty() && waited >= uint32_t(kIncidentWaitMs)) {
            emit journalFault(QString::fromStdString(
                "an incident could not be stored: " + w.incident + " " + w.detail));
        } else {
            kept.push_back(std::move(w));
        }
    }
    m_waiting.swap(kept);
}

void ExamServer::store()
{
    if (m_waiting.empty() && !(m_flushDue && m_desk.incidentsPending())) {
        return;
    }
    if (!m_journal.inBatch()) {
        if (Status f = m_journal.begin(); !f.ok()) {
            setHealth(m_journal.health());
            if (!m_failing) {
                m_failing = true;
                emit journalFault(QString::fromStdString(f.fault().message));
            }
            expire();
            if (!m_waiting.empty() && !m_retry->isActive()) {
                m_retry->start(kRetryMs);
            }
            return;
        }
    }
    // The batch: the waiting messages in their order, as many as fit.
    const uint32_t started = m_clock.ticks();
    std::vector<Reply> replies;
    std::vector<Waiting> incidents;
    int messages = 0;
    while (!m_waiting.empty() && messages < kMaxBatch &&
           uint32_t(m_clock.ticks() - started) < uint32_t(kBatchBudgetMs)) {
        Waiting w = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (!w.incident.empty()) {
            m_desk.incident(w.incident, w.arrival, w.detail, w.bytes);
            incidents.push_back(std::move(w));
            continue;
        }
        if (w.socket.isNull()) {
            continue; // its connection is gone; the client sends it again
        }
        const int16_t code = m_desk.handle(w.arrival);
        replies.push_back(Reply{w.socket, ServerReply::encode(1, code), true});
        ++messages;
    }
    m_desk.flushIncidents(m_flushDue);
    m_flushDue = false;
    bool ok = true;
    if (Status f = m_journal.commit(); !f.ok()) {
        ok = false;
        m_desk.batchFailed();
        emit journalFault(QString::fromStdString(f.fault().message));
        // The incidents were not stored either: they wait again.
        for (auto it = incidents.rbegin(); it != incidents.rend(); ++it) {
            m_waiting.push_front(std::move(*it));
        }
    }
    if (ok) {
        m_desk.batchCommitted();
    }
    if (ok && m_failing) {
        m_failing = false;
        setHealth(m_journal.health());
        emit journalRestored();
    }
    const std::string again = ServerReply::encode(0, 0);
    for (const Reply& r : replies) {
        if (r.socket.isNull() || r.socket->state() != QAbstractSocket::ConnectedState) {
            continue;
        }
        // Nothing of a failed batch was stored: every message of it is
        // asked again instead of answered.
        const std::string& bytes = ok ? r.bytes : again;
        // Seven bytes in one write: the client takes one receive event as
        // one reply.
        r.socket->write(bytes.data(), qint64(bytes.size()));
    }
    if (ok) {
        emit committed(messages);
    }
    if (!m_waiting.empty()) {
        if (ok) {
            scheduleStore();
        } else {
            expire();
            if (!m_retry->isActive()) {
                m_retry->start(kRetryMs);
            }
        }
    }
}

void ExamServer::read(QTcpSocket* socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end()) {
        return;
    }
    Connection& c = *it->second;
    // One bounded piece per event: a peer with much to say waits for the
    // next turn, and the others are served meanwhile.
    const qint64 room = qint64(c.framer.room());
    const QByteArray data = socket->read(std::min(room, kReadChunk));
    if (data.isEmpty()) {
        return;
    }
    c.lastByte = m_clock.ticks();
    if (c.framer.pending() == 0) {
        c.partialSince = c.lastByte;
    }
    c.framer.append(std::string_view(data.constData(), std::size_t(data.size())));
    bool framed = false;
    while (auto f = c.framer.next()) {
        ++c.messages;
        framed = true;
        switch (f->type) {
        case MessageFramer::Frame::Message:
            c.lastMessage = m_clock.ticks();
            if (m_waiting.size() >= kMaxWaiting) {
                askAgain(socket);
                break;
            }
            m_waiting.push_back(Waiting{socket, arrival(c, *f), {}, {}, {}, m_clock.ticks()});
            scheduleStore();
            break;
        case MessageFramer::Frame::Damaged:
            // Asked again: the client resends its message as it stands.
            askAgain(socket);
            break;
        case MessageFramer::Frame::ForeignKind:
            drop(c, "a message of kind " + std::to_string(f->fields.kind));
            return;
        case MessageFramer::Frame::TooManyDamaged:
            drop(c,
                 std::to_string(MessageFramer::kMaxDamagedInARow) + " damaged messages in a row");
            return;
        case MessageFramer::Frame::TooLong:
            drop(c, "1 MiB without a complete message");
            return;
        }
    }
    // What is left after whole messages began with this read.
    if (framed) {
        c.partialSince = c.lastByte;
    }
    m_buffered = m_buffered - c.buffered + c.framer.pending();
    c.buffered = c.framer.pending();
    if (m_buffered > m_limits.bufferedBytes && !shed(c)) {
        return;
    }
    // More may wait in Qt's buffer; it is read on the next turn.
    if (socket->bytesAvailable() > 0) {
        QTimer::singleShot(0, socket, [this, socket] { read(socket); });
    }
}

void ExamServer::drop(Connection& c, const std::string& why)
{
    Arrival a;
    a.address = c.address;
    const auto kind = c.framer.pendingKind();
    std::string bytes;
    if (c.framer.pending() >= std::size_t(ExamMessage::kHeader)) {
        a.fields = ExamMessage::fromHeader(c.framer.pendingBytes());
    }
    // A final message that never completed is kept: the examiner may still
    // want what arrived (the report itself stays on the student's computer).
    if (kind && *kind == ExamMessage::Final) {
        bytes = std::string(c.framer.pendingBytes().substr(0, IncidentLog::kKeptBytes));
    }
    queueIncident("dropped", a, why, bytes);
    release(c.socket, true);
}

void ExamServer::release(QTcpSocket* socket, bool abort)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end()) {
        return;
    }
    const Connection& c = *it->second;
    m_byId.erase(c.id);
    m_buffered -= c.buffered;
    if (const auto from = m_perAddress.find(c.address); from != m_perAddress.end()) {
        if (--from->second == 0) {
            m_perAddress.erase(from);
        }
    }
    m_connections.erase(it);
    resumeIfRoom();
    socket->disconnect(this);
    if (abort) {
        socket->abort();
    }
    socket->deleteLater();
}

bool ExamServer::live(uint64_t connection) const
{
    const auto it = m_byId.find(connection);
    if (it == m_byId.end()) {
        return false;
    }
    const Connection& c = *m_connections.at(it->second);
    return c.messages > 0 && c.socket->state() == QAbstractSocket::ConnectedState &&
           uint32_t(m_clock.ticks() - c.lastMessage) < uint32_t(kLiveSeconds) * 1000u;
}

void ExamServer::close(uint64_t connection)
{
    const auto it = m_byId.find(connection);
    if (it != m_byId.end()) {
        QTcpSocket* s = it->second;
        // What it was sent already still leaves; nothing more is read.
        s->flush();
        release(s, true);
    }
}

void ExamServer::gone(QTcpSocket* socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end()) {
        return;
    }
    Connection& c = *it->second;
    if (c.framer.pending() > 0) {
        drop(c, "the connection ended in the middle of a message");
        return;
    }
    if (c.messages == 0) {
        // A connection that said nothing at all (a port scan, a probe).
        Arrival a;
        a.address = c.address;
        queueIncident("dropped", a, "a connection without a message");
    }
    release(socket, false);
}

void ExamServer::resumeIfRoom()
{
    if (m_connections.size() < kMaxConnections && m_listener->isListening()) {
        m_listener->resumeAccepting();
    }
}

void ExamServer::sweep()
{
    const uint32_t now = m_clock.ticks();
    std::vector<Connection*> slow;
    std::vector<Connection*> mute;
    std::vector<Connection*> idle;
    const uint32_t idleMs = uint32_t(std::max(m_limits.idleSeconds, 1)) * 1000u;
    for (auto& [socket, c] : m_connections) {
        if (c->framer.pending() > 0) {
            if (uint32_t(now - c->partialSince) >= uint32_t(kIdleMs)) {
                slow.push_back(c.get());
            }
        } else if (c->messages == 0) {
            if (uint32_t(now - c->connectedAt) >= uint32_t(kIdleMs)) {
                mute.push_back(c.get());
            }
        } else if (uint32_t(now - c->lastMessage) >= idleMs) {
            idle.push_back(c.get());
        }
    }
    for (Connection* c : slow) {
        drop(*c, "a message not complete 30 s after its first byte");
    }
    for (Connection* c : mute) {
        drop(*c, "no message within 30 s of connecting");
    }
    if (m_idleClosed.size() > 100000) {
        m_idleClosed.clear();
    }
    for (Connection* c : idle) {
        // Nothing is lost: the client connects again and sends its current
        // message when it has one.
        m_idleClosed.insert(c->id);
        QTcpSocket* s = c->socket;
        s->disconnectFromHost();
        release(s, false);
    }
    // The incidents' counts reach the journal even when no message comes.
    if (m_desk.incidentsPending()) {
        m_flushDue = true;
        scheduleStore();
    }
}

bool ExamServer::closedForIdleness(uint64_t connection) const
{
    return m_idleClosed.count(connection) != 0;
}

bool ExamServer::shed(const Connection& current)
{
    bool currentKept = true;
    while (m_buffered > m_limits.bufferedBytes && !m_connections.empty()) {
        Connection* most = nullptr;
        for (auto& [socket, c] : m_connections) {
            if (most == nullptr || c->buffered > most->buffered) {
                most = c.get();
            }
        }
        if (most == nullptr || most->buffered == 0) {
            break;
        }
        currentKept = currentKept && most != &current;
        drop(*most, "the server's buffers are full and this connection held the most");
    }
    return currentKept;
}

void ExamServer::commitNow()
{
    m_flushDue = true;
    store();
}

void ExamServer::stop()
{
    m_listener->close();
    m_flushDue = true;
    store();
    // What could not be stored is asked again: the client sends it to the
    // server that comes next.
    for (Waiting& w : m_waiting) {
        askAgain(w.socket);
    }
    m_waiting.clear();
    for (auto& [socket, c] : m_connections) {
        socket->flush();
    }
}

} // namespace qd::server
