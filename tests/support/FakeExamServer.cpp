#include "FakeExamServer.h"

#include "exam/Crc32.h"
#include "exam/ServerReply.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstring>

namespace qd::test {

namespace {

const char kTrailer[4] = {char(0xE9), char(0xC3), char(0x17), char(0x5A)};

} // namespace

FakeExamServer::Step FakeExamServer::verdict(int16_t code, uint8_t accepted)
{
    return Step{ServerReply::encode(accepted, code), false};
}

FakeExamServer::FakeExamServer(QObject* parent)
    : QObject(parent),
      m_server(new QTcpServer(this)),
      m_fallback(verdict(0))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakeExamServer::accept);
}

bool FakeExamServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 FakeExamServer::port() const
{
    return m_server->serverPort();
}

void FakeExamServer::stopListening()
{
    m_server->close();
}

void FakeExamServer::hangUpNow()
{
    if (m_client != nullptr) {
        QTcpSocket* c = m_client;
        m_client = nullptr;
        m_buffer.clear();
        c->disconnect(this);
        c->disconnectFromHost();
        c->deleteLater();
    }
}

void FakeExamServer::sendNow(const std::string& bytes)
{
    if (m_client != nullptr) {
        m_client->write(bytes.data(), qint64(bytes.size()));
    }
}

quint16 FakeExamServer::unusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void FakeExamServer::accept()
{
    while (QTcpSocket* c = m_server->nextPendingConnection()) {
        // One client at a time, as one testing computer.
        hangUpNow();
        ++m_connections;
        emit connectionAccepted();
        if (m_closeOnAccept) {
            c->abort();
            c->deleteLater();
            continue;
        }
        if (!m_flood.empty()) {
            // Never read: the socket takes one byte from the platform and
            // no more, so what the client sends stays in the connection.
            c->setReadBufferSize(1);
            connect(c, &QTcpSocket::bytesWritten, this, [this, c] { floodMore(c); });
            connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
            floodMore(c);
            continue;
        }
        m_client = c;
        connect(c, &QTcpSocket::readyRead, this, &FakeExamServer::readClient);
        connect(c, &QTcpSocket::disconnected, this, [this, c] {
            if (m_client == c) {
                m_client = nullptr;
                m_buffer.clear();
            }
            c->deleteLater();
        });
    }
}

void FakeExamServer::floodMore(QTcpSocket* c)
{
    // Keeps about 64 KiB of replies queued: the flood goes as fast as the
    // client takes it, and no faster.
    constexpr qint64 kChunk = 64 * 1024;
    while (c->state() == QAbstractSocket::ConnectedState && c->bytesToWrite() < kChunk) {
        std::string chunk;
        while (qint64(chunk.size()) < kChunk) {
            chunk += m_flood;
        }
        c->write(chunk.data(), qint64(chunk.size()));
        m_floodWritten += qint64(chunk.size());
    }
}

void FakeExamServer::readClient()
{
    if (m_client == nullptr) {
        return;
    }
    const QByteArray data = m_client->readAll();
    m_buffer.append(data.constData(), std::size_t(data.size()));
    frame();
}

void FakeExamServer::frame()
{
    while (m_client != nullptr && m_buffer.size() >= std::size_t(ExamMessage::kLength)) {
        const ExamMessage fields = ExamMessage::fromHeader(m_buffer);
        std::size_t length = 0;
        if (fields.kind != ExamMessage::Final) {
            length = ExamMessage::kLength;
        } else {
            // The final message carries no length: it ends at a trailer behind
            // a checksum that makes everything before the trailer check to 0.
            for (std::size_t end = ExamMessage::kLength; end <= m_buffer.size(); ++end) {
                if (std::memcmp(m_buffer.data() + end - 4, kTrailer, 4) == 0 &&
                    Crc32(m_buffer.data(), end - 4) == 0) {
                    length = end;
                    break;
                }
            }
            if (length == 0) {
                return; // the rest is still on its way
            }
        }
        Received r;
        r.bytes = m_buffer.substr(0, length);
        r.fields = fields;
        if (fields.kind == ExamMessage::Final) {
            r.report = r.bytes.substr(ExamMessage::kHeader, length - ExamMessage::kLength);
        }
        r.checks = Crc32(r.bytes.data(), length - 4) == 0 &&
                   std::memcmp(r.bytes.data() + length - 4, kTrailer, 4) == 0;
        r.connection = m_connections;
        m_buffer.erase(0, length);
        m_received.push_back(std::move(r));

        Step step = m_fallback;
        if (!m_script.empty()) {
            step = std::move(m_script.front());
            m_script.pop_front();
        }
        if (!step.reply.empty()) {
            m_client->write(step.reply.data(), qint64(step.reply.size()));
        }
        if (step.vanish) {
            m_closeOnAccept = true;
        }
        if (step.hangUp) {
            hangUpNow();
        }
        emit messageReceived();
    }
}

} // namespace qd::test
