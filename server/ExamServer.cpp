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
      m_sweep(new QTimer(this))
{
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

bool ExamServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    // Connections the kernel completes before they are accepted: a lab (or
    // a benchmark of thousands) connecting at once must not overflow it.
    m_listener->setListenBacklogSize(4096);
    if (!m_listener->listen(address, port)) {
        *error = m_listener->errorString();
        if (m_listener->serverError() == QAbstractSocket::SocketAccessError) {
            *error += QStringLiteral(
                "\nA port below 1024 needs a right that this user lacks. Grant it to the "
                "program once (sudo setcap cap_net_bind_service=+ep quizdesk-examd), or start "
                "it through its socket unit (systemd/quizdesk-examd.socket), or choose --port "
                "above 1023 (the clients always use 1023).");
        }
        return false;
    }
    return true;
}

bool ExamServer::adopt(int fd, QString* error)
{
    if (!m_listener->setSocketDescriptor(fd)) {
        *error = m_listener->errorString();
        return false;
    }
    return true;
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
        auto c = std::make_unique<Connection>();
        c->socket = s;
        c->address = peerAddress(s->peerAddress());
        c->lastByte = m_clock.ticks();
        c->connectedAt = c->lastByte;
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

void ExamServer::ensureBatch()
{
    if (!m_journal.inBatch()) {
        if (Status f = m_journal.begin()) {
            emit journalFault(QString::fromStdString(f->message));
            return;
        }
        m_batchMessages = 0;
    }
    if (!m_commitQueued) {
        m_commitQueued = true;
        QTimer::singleShot(0, this, &ExamServer::commitNow);
    }
}

void ExamServer::queue(QTcpSocket* socket, std::string bytes, bool verdict)
{
    m_replies.push_back(Reply{socket, std::move(bytes), verdict});
}

Arrival ExamServer::arrival(const Connection& c, const MessageFramer::Frame& f) const
{
    Arrival a;
    a.fields = f.fields;
    a.report = f.report;
    a.address = c.address;
    return a;
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
    c.framer.append(std::string_view(data.constData(), std::size_t(data.size())));
    while (auto f = c.framer.next()) {
        ensureBatch();
        ++c.messages;
        switch (f->type) {
        case MessageFramer::Frame::Message: {
            const int16_t code = m_desk.handle(arrival(c, *f));
            queue(socket, ServerReply::encode(1, code), true);
            ++m_batchMessages;
            break;
        }
        case MessageFramer::Frame::Damaged:
            // Asked again: the client resends its message as it stands.
            queue(socket, ServerReply::encode(0, 0), false);
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
    if (m_batchMessages >= kMaxBatch) {
        commitNow();
    }
    // More may wait in Qt's buffer; it is read on the next turn.
    if (socket->bytesAvailable() > 0) {
        QTimer::singleShot(0, socket, [this, socket] { read(socket); });
    }
}

void ExamServer::drop(Connection& c, const std::string& why)
{
    ensureBatch();
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
        bytes = std::string(c.framer.pendingBytes());
    }
    m_desk.incident("dropped", a, why, bytes);
    QTcpSocket* s = c.socket;
    m_connections.erase(s);
    resumeIfRoom();
    s->disconnect(this);
    s->abort();
    s->deleteLater();
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
        ensureBatch();
        Arrival a;
        a.address = c.address;
        m_desk.incident("dropped", a, "a connection without a message");
    }
    m_connections.erase(it);
    resumeIfRoom();
    socket->disconnect(this);
    socket->deleteLater();
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
    std::vector<Connection*> idle;
    std::vector<Connection*> mute;
    for (auto& [socket, c] : m_connections) {
        if (c->framer.pending() > 0 && uint32_t(now - c->lastByte) >= uint32_t(kIdleMs)) {
            idle.push_back(c.get());
        } else if (c->messages == 0 && c->framer.pending() == 0 &&
                   uint32_t(now - c->connectedAt) >= uint32_t(kIdleMs)) {
            mute.push_back(c.get());
        }
    }
    for (Connection* c : idle) {
        drop(*c, "a partial message and no further byte for 30 s");
    }
    for (Connection* c : mute) {
        drop(*c, "no message within 30 s of connecting");
    }
}

void ExamServer::commitNow()
{
    m_commitQueued = false;
    bool ok = true;
    if (m_journal.inBatch()) {
        if (Status f = m_journal.commit()) {
            ok = false;
            emit journalFault(QString::fromStdString(f->message));
        }
    } else if (!m_replies.empty()) {
        // The batch could not even begin: nothing was stored.
        ok = false;
    }
    std::vector<Reply> replies;
    replies.swap(m_replies);
    const std::string again = ServerReply::encode(0, 0);
    for (const Reply& r : replies) {
        if (r.socket.isNull() || r.socket->state() != QAbstractSocket::ConnectedState) {
            continue;
        }
        // Nothing of a failed batch was stored: every message of it is
        // asked again instead of answered.
        const std::string& bytes = ok || !r.wasGrant ? r.bytes : again;
        // Seven bytes in one write: the client takes one receive event as
        // one reply.
        r.socket->write(bytes.data(), qint64(bytes.size()));
    }
    const int n = m_batchMessages;
    m_batchMessages = 0;
    if (ok) {
        emit committed(n);
    }
}

void ExamServer::stop()
{
    m_listener->close();
    commitNow();
    for (auto& [socket, c] : m_connections) {
        socket->flush();
    }
}

} // namespace qd::server
