#include "BoardListener.h"

#include <QTcpSocket>
#include <QTimer>

namespace qd::server {

BoardListener::BoardListener(QObject* parent) : QTcpServer(parent), m_sweep(new QTimer(this))
{
    m_clock.start();
    connect(m_sweep, &QTimer::timeout, this, &BoardListener::sweep);
    m_sweep->start(250);
}

BoardListener::~BoardListener()
{
    for (auto& [socket, guard] : m_guards) {
        socket->disconnect(this);
    }
}

void BoardListener::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (m_guards.size() >= m_limits.connections) {
        // The one quiet the longest makes room: a flood of connections
        // cannot keep the examiner's browser out for long.
        auto oldest = m_guards.begin();
        for (auto it = m_guards.begin(); it != m_guards.end(); ++it) {
            if (it->second.since < oldest->second.since) {
                oldest = it;
            }
        }
        shut(oldest->first);
    }
    // Qt reads no more than this from the kernel at a time.
    socket->setReadBufferSize(m_limits.bodyBytes);
    const qint64 now = m_clock.elapsed();
    m_guards.emplace(socket, Guard{0, 0, 0, true, false, now, now});
    // Connected before the HTTP server's own handler: the bytes are
    // counted here before it reads them.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { arrived(socket); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
        const auto it = m_guards.find(socket);
        if (it != m_guards.end()) {
            it->second.progress = m_clock.elapsed();
        }
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_guards.erase(socket); });
    // QTcpServer announces it (newConnection) once this returns.
    addPendingConnection(socket);
}

void BoardListener::arrived(QTcpSocket* socket)
{
    const auto it = m_guards.find(socket);
    if (it == m_guards.end()) {
        return;
    }
    Guard& g = it->second;
    const qint64 available = socket->bytesAvailable();
    if (available <= 0) {
        return;
    }
    if (!g.asking) {
        g.asking = true;
        g.since = m_clock.elapsed();
    }
    qint64 left = available;
    if (g.inHead) {
        // Only the head is looked at byte by byte, and never beyond its bound.
        const QByteArray bytes = socket->peek(std::min(available, m_limits.headBytes - g.head + 1));
        qsizetype k = 0;
        for (; k < bytes.size() && g.inHead; ++k) {
            g.tail = (g.tail << 8) | static_cast<unsigned char>(bytes[k]);
            ++g.head;
            g.inHead = g.tail != 0x0d0a0d0a;
        }
        left -= k;
        if (g.inHead && g.head > m_limits.headBytes) {
            shutSoon(socket);
            return;
        }
    }
    g.body += left;
    if (g.body > m_limits.bodyBytes) {
        shutSoon(socket);
    }
}

void BoardListener::answered(QTcpSocket* socket)
{
    const auto it = m_guards.find(socket);
    if (it == m_guards.end()) {
        return;
    }
    Guard& g = it->second;
    g.head = 0;
    g.body = 0;
    g.tail = 0;
    g.inHead = true;
    g.asking = false;
    g.since = m_clock.elapsed();
    g.progress = g.since;
}

void BoardListener::sweep()
{
    const qint64 now = m_clock.elapsed();
    std::vector<QTcpSocket*> late;
    for (const auto& [socket, g] : m_guards) {
        const bool slowRequest = g.asking && now - g.since > m_limits.requestMs;
        // An answer the peer does not take within the same time.
        const bool slowReader = socket->bytesToWrite() > 0 && now - g.progress > m_limits.requestMs;
        const bool idle =
            !g.asking && socket->bytesToWrite() == 0 && now - g.since > m_limits.idleMs;
        if (slowRequest || slowReader || idle) {
            late.push_back(socket);
        }
    }
    for (QTcpSocket* socket : late) {
        shut(socket);
    }
}

void BoardListener::shut(QTcpSocket* socket)
{
    if (m_guards.count(socket) == 0) {
        return; // closed already
    }
    ++m_closed;
    forget(socket);
    socket->abort();
}

void BoardListener::shutSoon(QTcpSocket* socket)
{
    // After the HTTP server's own handler of this read has run: it reads
    // what arrived (one bounded read) and finds the socket closed later.
    QTimer::singleShot(0, socket, [this, socket] { shut(socket); });
}

void BoardListener::forget(QTcpSocket* socket)
{
    if (m_guards.erase(socket) > 0) {
        socket->disconnect(this);
        socket->deleteLater();
    }
}

} // namespace qd::server
