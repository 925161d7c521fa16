#pragma once

#include "exam/ExamMessage.h"
#include "exam/LinkStates.h"
#include "exam/ReplyFramer.h"
#include "run/ExamHooks.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QMetaType>
#include <QObject>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

class QTcpSocket;
class QTimer;

namespace qd {

class Clock;

// What happens to the exam link, for whoever drives the title page.
struct LinkEvent
{
    enum class Kind {
        Connected,       // a connection is up and the current message sent
        Dropped,         // the link is abandoned: refused, unreachable, given up
        AddressUnusable, // IPaddress.txt could not be read
        Notice,          // something to tell the student (`text`)
    };
    Kind kind = Kind::Notice;
    // Dropped by a refusal: the server's code (-1, -2, -3), else 0; and
    // whether it refuses this student the examination altogether (no
    // permission, or a sitting already in progress).
    int refusedCode = 0;
    bool studentRefused = false;
    std::string text; // Notice: code page 1251
};

// The link to the exam server in examination mode: one non-blocking TCP
// connection driven by the caller's event loop, the message sent on it and
// the two flags the start wait looks at. It holds no widget: it tells what
// happens to it as link events (LinkEvent), and the run host decides what
// the title page makes of them.
//
// Life of a link (its states and their changes: LinkStates.h): open() reads
// IPaddress.txt and starts connecting; the connect event sets linkActive
// and sends the current message (the registration at first); a reply
// grants (examPermitted), asks again or refuses (the link is dropped). A
// connection that ends while linkActive is set is opened again and the
// current message sent again. A refused connection drops the link; other
// socket errors pass silently and the connection is tried again. After the
// results, closeAfterDelay() closes the link 100 ms later, once the server
// has answered the final message.
//
// A hostile or broken server must not trap the student, burn the CPU or eat
// the memory, so every way of waiting is bounded (times on the injected
// clock):
// - an address that is not a numeric one is refused at once, with the
//   message of a refused connection;
// - the registration has kGiveUpMs to be granted, the final message as long
//   to be answered; then the link is given up with that message;
// - a connection that ends before anything checked on it is opened again at
//   once the first time, then after a delay that doubles up to
//   kBackoffMaxMs; one connection attempt lasts kConnectLimitMs at most;
// - a reply asking again (or not checking) repeats the message at once the
//   first time, then at most every kResendGapMs; meanwhile nothing more is
//   read, so a flooding server is held back by the connection itself;
// - the box about a faulty reply is shown once per message, and
//   kDamagedLimit faulty replies in a row give the link up;
// - at most one message waits behind the one being written: a repeat
//   replaces it;
// - the link's notices are never stacked: one raised while another is
//   being shown follows it.
class ExamLink : public QObject, public ExamHooks
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = kExamPort;
    static constexpr int kCloseDelayMs = 100;
    static constexpr int kFlushOnExitMs = 2000;
    static constexpr uint32_t kGiveUpMs = 10000;
    static constexpr uint32_t kConnectLimitMs = 5000;
    static constexpr uint32_t kResendGapMs = 250;
    static constexpr uint32_t kBackoffFirstMs = 250;
    static constexpr uint32_t kBackoffMaxMs = 4000;
    static constexpr int kDamagedLimit = 10;
    // How often the link looks at the clock while something is due.
    static constexpr int kWakeMs = 25;
    // What the socket holds of received bytes before it stops reading.
    static constexpr qint64 kReadBufferSize = 4096;

    // `workDir` holds IPaddress.txt; `clock` times the link's limits and
    // must outlive it. The message's host name is taken from the platform
    // here, once (all zero when it does not fit its field).
    ExamLink(std::filesystem::path workDir, const Clock& clock, QObject* parent = nullptr);
    ~ExamLink() override;

    // The server's port (tests use an ephemeral one); set before open().
    void setPort(quint16 port) { m_port = port; }
    void setHostName(std::string_view cp1251) { m_message.hostName = cp1251; }

    // ---- What the test session calls (ExamHooks) ----
    // "Почати тестування" in examination mode with a name: the name goes
    // into the message, IPaddress.txt is read and the connection started;
    // its outcome arrives later as events. False when the address could not
    // be read or used (told as an event).
    bool open(const std::string& studentName) override;
    void answered(int answeredCount, bool lastRight, float score) override;
    bool acknowledged() const override { return m_linkActive && !awaitingReply(); }
    // Sends the progress message while the link is active.
    void progress(int answeredCount, bool lastRight, float score) override;
    // While the link is active: sends the final message with the report and
    // starts the closing timer (closeAfterDelay). Unanswered after
    // kGiveUpMs, the link is given up as an unreachable one (the report
    // stays on disk).
    void finished(int percent, const std::string& grade, std::string_view report) override;

    // The final message from the report's bytes themselves (no closing).
    void sendFinal(int percent, std::string_view grade, std::string_view report);

    // The results window's closing: closeWhenAnswered() after 100 ms.
    void closeAfterDelay();
    // Closes the link now, or, while the final message waits for its
    // answer, lets the answer close it.
    void closeWhenAnswered();

    LinkState state() const { return m_state; }
    // Registered, and every message sent on the connection has had its
    // answer: nothing of the run is waiting to reach the server.
    bool registeredAndAcknowledged() const;
    bool linkActive() const { return m_linkActive; }
    bool examPermitted() const { return m_examPermitted; }
    const ExamMessage& message() const { return m_message; }
    const std::string& serverAddress() const { return m_serverAddress; }
    // The last final message built (empty before the results).
    const std::string& sendBuffer() const { return m_sendBuffer; }
    // Something is on its way: a connection being opened, or a message on
    // the established link whose reply has not been handled yet.
    bool awaitingReply() const;
    // No link, no connection, nothing pending.
    bool idle() const;
    // A repeat of the message is put off until its turn (kResendGapMs).
    bool repeatPending() const { return m_resendAt.has_value(); }
    // Bytes waiting to go out: what the connection still holds and the
    // message queued behind it.
    qint64 sendQueueBytes() const;
    // The address text is one the link can connect to: a numeric address,
    // neither multicast nor broadcast (never looked up as a name).
    static std::optional<QHostAddress> usableAddress(std::string_view text);

signals:
    void linkActiveChanged(bool active);
    void examPermittedChanged(bool permitted);
    // What happens to the link, in the order it happens.
    void linkEvent(const qd::LinkEvent& event);

private:
    // Hands the current message (withReport: the final message) to the
    // connection; nothing while it is not established. Once the final
    // message has been built every message sent is the final one: a server
    // that asks again gets the report again, not an empty final message.
    void sendCurrentMessage(bool withReport);
    // Drops the link (LinkEvent::Dropped, with the refusal that caused it):
    // clears linkActive, closes the socket.
    void dropLink(int refusedCode = 0, bool studentRefused = false);
    // Looks at the clock: the limits, a delayed connection attempt, a
    // delayed repeat. A timer calls it every kWakeMs while anything is due.
    void onWake();

    void onConnected();
    void onDisconnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onBytesWritten();
    void advance(LinkInput input);
    void emitEvent(const LinkEvent& event);

    uint32_t now() const;
    void scheduleConnect();
    void scheduleReconnect();
    void connectNow();
    void connectionLost();
    void requestResend();
    void resendNow();
    void newMessage();
    void closeNow();
    void giveUp();
    // A notice for the student (LinkEvent::Notice), never stacked.
    void tell(const std::string& text);
    void updateWake();
    bool mayRead() const;
    // False when the rest of what has been received must be dropped.
    bool handleRecord(const std::string& record);
    void setLinkActive(bool on);
    void setExamPermitted(bool on);

    std::filesystem::path m_workDir;
    const Clock& m_clock;
    quint16 m_port = kPort;
    QTcpSocket* m_socket = nullptr;
    QTimer* m_closeTimer = nullptr;
    QTimer* m_wakeTimer = nullptr;

    ExamMessage m_message;
    std::string m_serverAddress;
    QHostAddress m_address;
    std::string m_sendBuffer;
    std::string m_queued; // the message waiting behind the one being written
    ReplyFramer m_framer;
    LinkState m_state = LinkState::Idle;
    bool m_linkActive = false;
    bool m_examPermitted = false;
    bool m_connectQueued = false;
    bool m_reading = false;
    int m_unanswered = 0; // messages on this connection not yet answered

    // Limits, as clock ticks when the wait began.
    std::optional<uint32_t> m_registering;  // open() until the grant
    std::optional<uint32_t> m_finalPending; // the final message until answered
    std::optional<uint32_t> m_connecting;   // the current connection attempt
    std::optional<uint32_t> m_reconnectAt;  // a delayed connection attempt
    std::optional<uint32_t> m_resendAt;     // a delayed repeat
    bool m_closeDue = false;                // the results' closing time has come
    int m_failedConnections = 0;            // in a row, with nothing that checked
    std::optional<uint32_t> m_lastResend;   // of the current message
    int m_damagedInARow = 0;
    uint64_t m_messageNo = 0;     // counts the messages (not their repeats)
    uint64_t m_answeredNo = 0;    // the message that got its first verdict
    uint64_t m_faultShownFor = 0; // the message whose faulty reply was told
    bool m_telling = false;
    std::optional<std::string> m_tellLater;
};

} // namespace qd

Q_DECLARE_METATYPE(qd::LinkEvent)
