#include "exam/ExamLink.h"

#include "definition/Cp1251.h"
#include "exam/ServerAddress.h"
#include "exam/ServerReply.h"
#include "results/ReportFile.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace qd {

ExamLink::ExamLink(std::filesystem::path workDir, QObject* parent)
    : QObject(parent),
      m_workDir(std::move(workDir)),
      m_socket(new QTcpSocket(this)),
      m_closeTimer(new QTimer(this))
{
    // As the platform's host name call with a 64-byte buffer: a name that
    // does not fit leaves the field empty.
    const std::string host = toCp1251(QHostInfo::localHostName().toStdString());
    if (host.size() < std::size_t(ExamMessage::kHostNameSize)) {
        m_message.hostName = host;
    }

    connect(m_socket, &QTcpSocket::connected, this, &ExamLink::ClientConnect);
    connect(m_socket, &QTcpSocket::disconnected, this, &ExamLink::ClientDisconnect);
    connect(m_socket, &QTcpSocket::readyRead, this, &ExamLink::ClientRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ExamLink::ClientError);

    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(kCloseDelayMs);
    connect(m_closeTimer, &QTimer::timeout, this, &ExamLink::OnTimerCloseSocket);
}

ExamLink::~ExamLink()
{
    // The socket goes down with this object: no event of it may reach the
    // handlers any more.
    m_socket->disconnect(this);
    // The program may end right after the results (their window closed at
    // once): what is still queued of the final message goes out first,
    // within a bounded wait.
    if (m_socket->bytesToWrite() > 0) {
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            m_socket->waitForBytesWritten(kFlushOnExitMs);
        } else if (m_socket->state() == QAbstractSocket::ClosingState) {
            m_socket->waitForDisconnected(kFlushOnExitMs);
        }
    }
    m_socket->abort();
}

// ---- The session's calls ------------------------------------------------

bool ExamLink::open(const std::string& studentName)
{
    m_message.studentName = studentName;
    if (Status s = ReadServerIP(m_workDir, m_serverAddress)) {
        emit showMessage(s->message);
        emit untickExamBox();
        return false;
    }
    // Every registration waits for its own verdict: a grant on a link that
    // was given up since does not admit the next attempt.
    setExamPermitted(false);
    scheduleConnect();
    return true;
}

void ExamLink::answered(int answeredCount, bool lastRight, float score)
{
    m_message.answeredCount = int16_t(uint16_t(unsigned(answeredCount) & 0xFFFFu));
    m_message.lastRight = lastRight ? 1 : 0;
    m_message.scoreValue = score;
}

void ExamLink::progress(int answeredCount, bool lastRight, float score)
{
    answered(answeredCount, lastRight, score);
    if (!m_linkActive) {
        return;
    }
    m_message.kind = ExamMessage::Progress;
    SendInf(false);
}

void ExamLink::finished(int percent, const std::string& grade)
{
    if (!m_linkActive) {
        return;
    }
    std::string_view report;
    if (m_report != nullptr) {
        const std::string& buf = m_report->sendBuffer();
        const std::size_t length = std::size_t(std::max(m_report->sendLength(), 0));
        if (buf.size() >= std::size_t(ReportFile::kSendHeader) + length) {
            report = std::string_view(buf).substr(std::size_t(ReportFile::kSendHeader), length);
        }
    }
    sendFinal(percent, grade, report);
    // As the results window: the link closes once the message has had its
    // 100 ms to go out.
    startTimerCloseSocket();
}

void ExamLink::sendFinal(int percent, std::string_view grade, std::string_view report)
{
    m_message.kind = ExamMessage::Final;
    m_message.scoreValue = float(percent);
    m_message.gradeText = grade;
    m_sendBuffer = m_message.finalMessage(report);
    SendInf(true);
}

void ExamLink::SendInf(bool withReport)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    if (withReport && m_sendBuffer.empty()) {
        m_sendBuffer = m_message.finalMessage({});
    }
    const bool final = withReport || (m_message.kind == ExamMessage::Final && !m_sendBuffer.empty());
    const std::string bytes = final ? m_sendBuffer : m_message.bytes();
    // The connection queues what the platform does not take at once; the
    // outcome of a send shows only as a socket event.
    m_socket->write(bytes.data(), qint64(bytes.size()));
    m_socket->flush(); // hand the platform what it takes now, without waiting
    ++m_unanswered;
}

void ExamLink::GoToBegin()
{
    emit returnToTitlePage();
    setLinkActive(false);
    m_connectQueued = false;
    m_unanswered = 0;
    m_framer.clear();
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->abort();
    }
}

void ExamLink::startTimerCloseSocket()
{
    m_closeTimer->start();
}

void ExamLink::OnTimerCloseSocket()
{
    m_closeTimer->stop();
    setLinkActive(false);
    m_connectQueued = false;
    // A graceful close: what is still queued (the final message) goes out
    // first.
    m_socket->disconnectFromHost();
}

bool ExamLink::awaitingReply() const
{
    const auto state = m_socket->state();
    if (m_connectQueued || state == QAbstractSocket::HostLookupState ||
        state == QAbstractSocket::ConnectingState) {
        return true;
    }
    return m_linkActive && state == QAbstractSocket::ConnectedState && m_unanswered > 0;
}

bool ExamLink::idle() const
{
    return !m_linkActive && !m_connectQueued &&
           m_socket->state() == QAbstractSocket::UnconnectedState;
}

// ---- Socket events --------------------------------------------------------

void ExamLink::scheduleConnect()
{
    if (m_connectQueued) {
        return;
    }
    // Opening returns at once and the outcome arrives as an event, even when
    // the platform knows it at once: the caller finishes its click first.
    // (A disconnect handler may not reopen the socket inside the event
    // either: the socket is still being taken down.)
    m_connectQueued = true;
    QMetaObject::invokeMethod(this, &ExamLink::connectNow, Qt::QueuedConnection);
}

void ExamLink::connectNow()
{
    if (!m_connectQueued) {
        return; // given up meanwhile
    }
    m_connectQueued = false;
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        return;
    }
    // A numeric address only: the text is never looked up as a host name.
    // One that does not read as an address fails like any other socket
    // error: silently, the start wait goes on.
    QHostAddress address;
    if (!address.setAddress(QString::fromLatin1(m_serverAddress.data(),
                                                qsizetype(m_serverAddress.size())))) {
        return;
    }
    m_socket->connectToHost(address, m_port);
}

void ExamLink::ClientConnect()
{
    m_framer.clear();
    m_unanswered = 0;
    setLinkActive(true);
    // The registration, or on a new connection during the test the current
    // message (the final one with its report once it has been built).
    SendInf(false);
    emit connected();
}

void ExamLink::ClientDisconnect()
{
    m_framer.clear();
    m_unanswered = 0;
    if (m_linkActive) {
        scheduleConnect();
    }
}

void ExamLink::ClientError(QAbstractSocket::SocketError error)
{
    if (error != QAbstractSocket::ConnectionRefusedError) {
        return; // the connection may come yet; the start wait goes on
    }
    GoToBegin();
    emit showMessage(toCp1251("Не вдається встановити зв'язок\n"
                              "із програмою проведення іспиту!\n"));
}

void ExamLink::ClientRead()
{
    // A message box shown from a handler runs its own event loop; bytes that
    // arrive meanwhile are read by the loop below when it resumes.
    if (m_reading) {
        return;
    }
    m_reading = true;
    char chunk[ReplyFramer::kRead];
    while (m_linkActive && m_socket->state() == QAbstractSocket::ConnectedState &&
           m_socket->bytesAvailable() > 0) {
        const qint64 n = m_socket->read(chunk, qint64(std::min(sizeof chunk, m_framer.room())));
        if (n <= 0) {
            break;
        }
        m_framer.append(std::string_view(chunk, std::size_t(n)));
        while (const auto record = m_framer.next()) {
            if (!handleRecord(*record)) {
                break;
            }
        }
    }
    m_reading = false;
}

bool ExamLink::handleRecord(const std::string& record)
{
    const ReplyAction a = handleReply(record, m_message.studentName);
    m_unanswered = std::max(m_unanswered - 1, 0);
    if (a.badChecksum) {
        SendInf(false);
        // Whatever came with a reply that does not check may be out of step
        // with the record boundaries: it is dropped, and the reply to the
        // repeated message starts afresh.
        m_framer.clear();
        m_socket->skip(m_socket->bytesAvailable());
        emit showMessage(a.message);
        return false;
    }
    if (a.resend) {
        SendInf(false);
        return true;
    }
    if (a.permit) {
        setExamPermitted(true);
        return true;
    }
    if (a.goToBegin) {
        emit refused(a.refusedCode);
        GoToBegin();
        if (a.untickExamBox) {
            emit untickExamBox();
        }
        emit showMessage(a.message);
        return false;
    }
    return true; // a code below -3 means nothing
}

void ExamLink::setLinkActive(bool on)
{
    if (m_linkActive != on) {
        m_linkActive = on;
        emit linkActiveChanged(on);
    }
}

void ExamLink::setExamPermitted(bool on)
{
    if (m_examPermitted != on) {
        m_examPermitted = on;
        emit examPermittedChanged(on);
    }
}

} // namespace qd
