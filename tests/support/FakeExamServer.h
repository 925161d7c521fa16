#pragma once

#include "exam/ExamMessage.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace qd::test {

// A stand-in for the exam-server program, for tests only: it listens on
// 127.0.0.1 (never any other address) on a port the system picks, takes one
// client connection at a time, records every message the client sends and
// answers each with the next scripted step (a grant when the script is
// empty). Messages are framed as the real server must frame them: 163
// bytes, or for a final message up to the trailer behind a checksum that
// checks.
class FakeExamServer : public QObject
{
    Q_OBJECT

public:
    struct Received
    {
        std::string bytes;   // the whole message as it arrived
        ExamMessage fields;  // its 155 bytes of fields
        std::string report;  // a final message's report bytes
        bool checks = false; // checksum and trailer as they must be
        int connection = 0;  // 1 for the first connection accepted
    };

    // What the server does with one received message: write `reply` (any
    // bytes: several replies, a part of one, a damaged one; empty: none),
    // then close the connection if `hangUp`; with `vanish` also every later
    // connection at once (setCloseOnAccept).
    struct Step
    {
        std::string reply;
        bool hangUp = false;
        bool vanish = false;
    };
    static Step verdict(int16_t code, uint8_t accepted = 1);
    static Step raw(std::string bytes) { return Step{std::move(bytes), false}; }
    static Step silence() { return Step{}; }
    static Step hangUp() { return Step{{}, true}; }
    static Step vanish() { return Step{{}, true, true}; }

    explicit FakeExamServer(QObject* parent = nullptr);

    // Listens on 127.0.0.1; false when no port could be had.
    bool listen();
    quint16 port() const;
    // New connections are refused from now on (the current one stays).
    void stopListening();
    // Closes the current connection now.
    void hangUpNow();
    // Writes bytes to the current client now, unasked (a reply's tail).
    void sendNow(const std::string& bytes);

    void push(Step step) { m_script.push_back(std::move(step)); }
    // What answers a message when the script has run out (a grant at first).
    void setFallback(Step step) { m_fallback = std::move(step); }
    // Broken servers. Every connection accepted from now on is closed at
    // once, before anything is read.
    void setCloseOnAccept(bool on) { m_closeOnAccept = on; }
    // Every connection accepted from now on is never read (the client's
    // messages pile up in the connection) and gets `reply` written again
    // and again for as long as the client takes it. Empty: off.
    void setFlood(std::string reply) { m_flood = std::move(reply); }
    // Bytes of the flood handed to the connections so far.
    qint64 floodWritten() const { return m_floodWritten; }

    const std::vector<Received>& received() const { return m_received; }
    int connections() const { return m_connections; }
    bool clientConnected() const { return m_client != nullptr; }

    // A port on 127.0.0.1 where nothing listens (it was free a moment ago).
    static quint16 unusedPort();

signals:
    void messageReceived();
    void connectionAccepted();

private:
    void accept();
    void readClient();
    void frame();
    void floodMore(QTcpSocket* c);

    QTcpServer* m_server = nullptr;
    QTcpSocket* m_client = nullptr;
    std::string m_buffer;
    std::deque<Step> m_script;
    Step m_fallback;
    std::vector<Received> m_received;
    int m_connections = 0;
    bool m_closeOnAccept = false;
    std::string m_flood;
    qint64 m_floodWritten = 0;
};

} // namespace qd::test
