#pragma once

#include "exam/ExamMessage.h"
#include "exam/ReplyFramer.h"
#include "run/ExamHooks.h"

#include <QAbstractSocket>
#include <QObject>

#include <filesystem>
#include <string>
#include <string_view>

class QTcpSocket;
class QTimer;

namespace qd {

class ReportFile;

// The link to the exam server in examination mode: one non-blocking TCP
// connection driven by the caller's event loop, the message sent on it and
// the two flags the start wait looks at. It holds no widget: the window and
// the examiner's dry run connect to its signals and carry out what it asks
// (messages, the title page, the check box).
//
// Life of a link: open() reads IPaddress.txt and starts connecting; the
// connect event sets linkActive and sends the current message (the
// registration at first); a reply grants (examPermitted), asks again or
// refuses (back to the title page). A connection that ends while linkActive
// is set is opened again at once and the current message sent again. A
// refused connection drops the link with a message; other socket errors
// pass silently and the start wait goes on. After the results,
// startTimerCloseSocket() closes the link 100 ms later, once the final
// message has been handed to the connection.
class ExamLink : public QObject, public ExamHooks
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 1023;
    static constexpr int kCloseDelayMs = 100;
    static constexpr int kFlushOnExitMs = 2000;

    // `workDir` holds IPaddress.txt. The message's host name is taken from
    // the platform here, once (all zero when it does not fit its field).
    explicit ExamLink(std::filesystem::path workDir, QObject* parent = nullptr);
    ~ExamLink() override;

    // The server's port (tests use an ephemeral one); set before open().
    void setPort(quint16 port) { m_port = port; }
    // The report whose send buffer the final message carries. Without one
    // (or while its buffer is not loaded) the final message has no report.
    void setReport(const ReportFile* report) { m_report = report; }
    void setHostName(std::string_view cp1251) { m_message.hostName = cp1251; }

    // ---- What the test session calls (ExamHooks) ----
    // "Почати тестування" in examination mode with a name: the name goes
    // into the message, IPaddress.txt is read and the connection started;
    // its outcome arrives later as events. False when the address could not
    // be read (the message is shown and the box unticked through the
    // signals).
    bool open(const std::string& studentName) override;
    void answered(int answeredCount, bool lastRight, float score) override;
    // Sends the progress message while the link is active.
    void progress(int answeredCount, bool lastRight, float score) override;
    // While the link is active: sends the final message with the report and
    // starts the closing timer (startTimerCloseSocket).
    void finished(int percent, const std::string& grade) override;

    // The final message from the report's bytes themselves (no closing).
    void sendFinal(int percent, std::string_view grade, std::string_view report);

    // Hands the current message (withReport: the final message) to the
    // connection; nothing while it is not established. Once the final
    // message has been built every message sent is the final one: a server
    // that asks again gets the report again, not an empty final message.
    void SendInf(bool withReport);
    // Drops the link: asks for the title page (returnToTitlePage), clears
    // linkActive, closes the socket.
    void GoToBegin();
    // The results window's closing timer: OnTimerCloseSocket after 100 ms.
    void startTimerCloseSocket();
    void OnTimerCloseSocket();

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

signals:
    // The connect event: linkActive is set and the message sent. The window
    // colours the status strip (GroupBox1) aqua.
    void connected();
    void linkActiveChanged(bool active);
    void examPermittedChanged(bool permitted);
    // A refusal by the server (-1, -2, -3), before its consequences.
    void refused(int code);
    // GoToBegin: enable CB_ExamTest and BeginTest, stop the start wait.
    void returnToTitlePage();
    void untickExamBox();
    // A non-fatal message box (code page 1251).
    void showMessage(const std::string& text);

private:
    void ClientConnect();
    void ClientDisconnect();
    void ClientRead();
    void ClientError(QAbstractSocket::SocketError error);

    void scheduleConnect();
    void connectNow();
    // False when the rest of what has been received must be dropped.
    bool handleRecord(const std::string& record);
    void setLinkActive(bool on);
    void setExamPermitted(bool on);

    std::filesystem::path m_workDir;
    quint16 m_port = kPort;
    const ReportFile* m_report = nullptr;
    QTcpSocket* m_socket = nullptr;
    QTimer* m_closeTimer = nullptr;

    ExamMessage m_message;
    std::string m_serverAddress;
    std::string m_sendBuffer;
    ReplyFramer m_framer;
    bool m_linkActive = false;
    bool m_examPermitted = false;
    bool m_connectQueued = false;
    bool m_reading = false;
    int m_unanswered = 0; // messages on this connection not yet answered
};

} // namespace qd
