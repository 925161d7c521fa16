#include "exam/ExamLink.h"

#include "definition/Cp1251.h"
#include "exam/ServerAddress.h"
#include "exam/ServerReply.h"
#include "run/Clock.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace qd {

namespace {

const char* const kNoConnection = "Не вдається встановити зв'язок\n"
                                  "із програмою проведення іспиту!\n";

// Whether tick `t` has reached tick `due` on the wrapping 32-bit count.
bool reached(uint32_t t, uint32_t due)
{
    return int32_t(t - due) >= 0;
}

} // namespace

ExamLink::ExamLink(std::filesystem::path workDir, const Clock& clock, QObject* parent)
    : QObject(parent),
      m_workDir(std::move(workDir)),
      m_clock(clock),
      m_socket(new QTcpSocket(this)),
      m_closeTimer(new QTimer(this)),
      m_wakeTimer(new QTimer(this))
{
    // As the platform's host name call with a 64-byte buffer: a name that
    // does not fit leaves the field empty.
    const std::string host = toCp1251(QHostInfo::localHostName().toStdString());
    if (host.size() < std::size_t(ExamMessage::kHostNameSize)) {
        m_message.hostName = host;
    }

    // The socket stops taking bytes from the platform when this much waits
    // unread: a server that floods the connection is held back by TCP
    // itself instead of growing the client.
    m_socket->setReadBufferSize(kReadBufferSize);
    connect(m_socket, &QTcpSocket::connected, this, &ExamLink::onConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &ExamLink::onDisconnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &ExamLink::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ExamLink::onSocketError);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ExamLink::onBytesWritten);

    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(kCloseDelayMs);
    connect(m_closeTimer, &QTimer::timeout, this, &ExamLink::closeWhenAnswered);
    m_wakeTimer->setInterval(kWakeMs);
    connect(m_wakeTimer, &QTimer::timeout, this, &ExamLink::onWake);
}

ExamLink::~ExamLink()
{
    // The socket goes down with this object: no event of it may reach the
    // handlers any more.
    m_socket->disconnect(this);
    // The program may end right after the results (their window closed at
    // once): what is still queued of the final message goes out first,
    // within a bounded wait.
    if (m_socket->state() == QAbstractSocket::ConnectedState && !m_queued.empty()) {
        m_socket->write(m_queued.data(), qint64(m_queued.size()));
        m_queued.clear();
    }
    if (m_socket->bytesToWrite() > 0) {
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            m_socket->waitForBytesWritten(kFlushOnExitMs);
        } else if (m_socket->state() == QAbstractSocket::ClosingState) {
            m_socket->waitForDisconnected(kFlushOnExitMs);
        }
    }
    m_socket->abort();
}

uint32_t ExamLink::now() const
{
    return m_clock.ticks();
}

std::optional<QHostAddress> ExamLink::usableAddress(std::string_view text)
{
    QHostAddress address;
    if (text.empty() ||
        !address.setAddress(QString::fromLatin1(text.data(), qsizetype(text.size())))) {
        return std::nullopt;
    }
    if (address.isNull() || address.isMulticast() || address.isBroadcast()) {
        return std::nullopt;
    }
    return address;
}

// ---- The session's calls ------------------------------------------------

bool ExamLink::open(const std::string& studentName)
{
    m_message.studentName = studentName;
    if (Status s = readServerAddress(m_workDir, m_serverAddress); !s.ok()) {
        tell(s.fault().cp1251());
        LinkEvent e;
        e.kind = LinkEvent::Kind::AddressUnusable;
        emitEvent(e);
        return false;
    }
    // A numeric address only: the text is never looked up as a host name.
    // One that does not read as an address can never be reached, which the
    // student learns at once, as of a server that refuses.
    const std::optional<QHostAddress> address = usableAddress(m_serverAddress);
    if (!address) {
        tell(toCp1251(kNoConnection));
        return false;
    }
    m_address = *address;
    // Every registration waits for its own verdict: a grant on a link that
    // was given up since does not admit the next attempt.
    setExamPermitted(false);
    newMessage();
    m_damagedInARow = 0;
    m_failedConnections = 0;
    m_registering = now();
    advance(LinkInput::Open);
    scheduleConnect();
    updateWake();
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
    newMessage();
    sendCurrentMessage(false);
}

void ExamLink::finished(int percent, const std::string& grade, std::string_view report)
{
    if (!m_linkActive) {
        return;
    }
    sendFinal(percent, grade, report);
    // The final message is kept (sent again on a new connection, repeated
    // when asked) until the server answers it, for kGiveUpMs at most; a
    // student whose report never reached the server is told so.
    m_finalPending = now();
    // As the results window: the link closes once the message has had its
    // 100 ms to go out (and has been answered).
    closeAfterDelay();
    updateWake();
}

void ExamLink::sendFinal(int percent, std::string_view grade, std::string_view report)
{
    m_message.kind = ExamMessage::Final;
    m_message.scoreValue = float(percent);
    m_message.gradeText = grade;
    m_sendBuffer = m_message.finalMessage(report);
    advance(LinkInput::FinalSent);
    newMessage();
    sendCurrentMessage(true);
}

void ExamLink::newMessage()
{
    ++m_messageNo;
    m_lastResend.reset();
    // A repeat put off for the old message is not due any more; what was
    // left unread for it is read now (nothing else would wake the reading:
    // the socket has stopped taking bytes).
    if (m_resendAt) {
        m_resendAt.reset();
        QMetaObject::invokeMethod(this, &ExamLink::onReadyRead, Qt::QueuedConnection);
    }
}

void ExamLink::sendCurrentMessage(bool withReport)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    if (withReport && m_sendBuffer.empty()) {
        m_sendBuffer = m_message.finalMessage({});
    }
    const bool final =
        withReport || (m_message.kind == ExamMessage::Final && !m_sendBuffer.empty());
    std::string bytes = final ? m_sendBuffer : m_message.bytes();
    // A server that does not read must not make the client queue a message
    // per reply: while the connection still holds bytes, one message waits
    // behind them, and a later one replaces it (the one behind is never
    // older than the current message).
    if (m_socket->bytesToWrite() > 0) {
        if (m_queued.empty()) {
            ++m_unanswered;
        }
        m_queued = std::move(bytes);
        return;
    }
    // The outcome of a send shows only as a socket event.
    m_socket->write(bytes.data(), qint64(bytes.size()));
    m_socket->flush(); // hand the platform what it takes now, without waiting
    ++m_unanswered;
}

void ExamLink::onBytesWritten()
{
    if (m_queued.empty() || m_socket->bytesToWrite() > 0 ||
        m_socket->state() != QAbstractSocket::ConnectedState) {
        return;
    }
    const std::string bytes = std::move(m_queued);
    m_queued.clear();
    m_socket->write(bytes.data(), qint64(bytes.size()));
    m_socket->flush();
}

qint64 ExamLink::sendQueueBytes() const
{
    return m_socket->bytesToWrite() + qint64(m_queued.size());
}

void ExamLink::dropLink(int refusedCode, bool studentRefused)
{
    advance(LinkInput::Dropped);
    LinkEvent e;
    e.kind = LinkEvent::Kind::Dropped;
    e.refusedCode = refusedCode;
    e.studentRefused = studentRefused;
    emitEvent(e);
    setLinkActive(false);
    m_connectQueued = false;
    m_unanswered = 0;
    m_framer.clear();
    m_queued.clear();
    m_registering.reset();
    m_finalPending.reset();
    m_connecting.reset();
    m_reconnectAt.reset();
    m_resendAt.reset();
    m_closeTimer->stop();
    m_closeDue = false;
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_socket->abort();
    }
    updateWake();
}

void ExamLink::giveUp()
{
    dropLink();
    tell(toCp1251(kNoConnection));
}

void ExamLink::closeAfterDelay()
{
    m_closeTimer->start();
}

void ExamLink::closeWhenAnswered()
{
    m_closeTimer->stop();
    m_closeDue = true;
    // The final message still unanswered keeps the link until its answer
    // or until it is given up.
    if (!m_finalPending) {
        closeNow();
    }
}

void ExamLink::closeNow()
{
    advance(LinkInput::Closed);
    m_closeDue = false;
    setLinkActive(false);
    m_connectQueued = false;
    m_registering.reset();
    m_finalPending.reset();
    m_connecting.reset();
    m_reconnectAt.reset();
    m_resendAt.reset();
    updateWake();
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
    // A repeat that is due shortly: its reply is on its way too. (A
    // connection put off by the back-off is not: the link waits on its own.)
    if (m_linkActive && m_resendAt && state == QAbstractSocket::ConnectedState) {
        return true;
    }
    return m_linkActive && state == QAbstractSocket::ConnectedState && m_unanswered > 0;
}

bool ExamLink::idle() const
{
    return !m_linkActive && !m_connectQueued && !m_reconnectAt && !m_registering &&
           m_socket->state() == QAbstractSocket::UnconnectedState;
}

// ---- Time -----------------------------------------------------------------

void ExamLink::updateWake()
{
    const bool due = m_registering || m_finalPending || m_connecting || m_reconnectAt || m_resendAt;
    if (due && !m_wakeTimer->isActive()) {
        m_wakeTimer->start();
    } else if (!due && m_wakeTimer->isActive()) {
        m_wakeTimer->stop();
    }
}

void ExamLink::onWake()
{
    const uint32_t t = now();
    if ((m_registering && t - *m_registering >= kGiveUpMs) ||
        (m_finalPending && t - *m_finalPending >= kGiveUpMs)) {
        giveUp();
        return;
    }
    if (m_connecting && m_socket->state() != QAbstractSocket::ConnectedState &&
        t - *m_connecting >= kConnectLimitMs) {
        // An attempt that neither succeeds nor fails (packets dropped on
        // the way) counts as a failed one.
        m_connecting.reset();
        m_socket->abort();
        connectionLost();
    }
    if (m_reconnectAt && reached(t, *m_reconnectAt)) {
        m_reconnectAt.reset();
        m_connectQueued = true;
        connectNow();
    }
    if (m_resendAt && reached(t, *m_resendAt)) {
        resendNow();
    }
    updateWake();
}

// ---- Connection -------------------------------------------------------------

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

void ExamLink::scheduleReconnect()
{
    // At once after a connection that worked; after one that brought
    // nothing new, later and later, so that a server that accepts and
    // closes at once costs a few attempts a second at first and then one
    // every few seconds.
    const int failed = m_failedConnections;
    m_failedConnections = std::min(failed + 1, 16);
    if (failed == 0) {
        scheduleConnect();
        return;
    }
    const uint32_t delay =
        std::min<uint32_t>(kBackoffFirstMs << std::min(failed - 1, 8), kBackoffMaxMs);
    m_reconnectAt = now() + delay;
    updateWake();
}

void ExamLink::connectNow()
{
    if (!m_connectQueued) {
        return; // given up meanwhile
    }
    m_connectQueued = false;
    if (!(m_linkActive || m_registering) ||
        m_socket->state() != QAbstractSocket::UnconnectedState) {
        return;
    }
    m_connecting = now();
    updateWake();
    m_socket->connectToHost(m_address, m_port);
}

void ExamLink::connectionLost()
{
    m_connecting.reset();
    advance(LinkInput::Lost);
    // Only while the link is wanted, and once per loss (the error and the
    // disconnect event may both report it).
    if (!(m_linkActive || m_registering) || m_connectQueued || m_reconnectAt) {
        updateWake();
        return;
    }
    scheduleReconnect();
}

void ExamLink::onConnected()
{
    m_connecting.reset();
    m_framer.clear();
    m_queued.clear();
    m_unanswered = 0;
    m_resendAt.reset(); // the message goes now
    advance(LinkInput::Connected);
    setLinkActive(true);
    // The registration, or on a new connection during the test the current
    // message (the final one with its report once it has been built).
    sendCurrentMessage(false);
    updateWake();
    LinkEvent e;
    e.kind = LinkEvent::Kind::Connected;
    emitEvent(e);
}

void ExamLink::onDisconnected()
{
    m_framer.clear();
    m_queued.clear();
    m_unanswered = 0;
    m_resendAt.reset();
    connectionLost();
}

void ExamLink::onSocketError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::ConnectionRefusedError) {
        dropLink();
        tell(toCp1251(kNoConnection));
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        return; // the disconnect event follows
    }
    // Another fault: the attempt or the connection may be over. Looked at
    // once the socket has settled; the connection is tried again (the start
    // wait and the limits go on).
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_socket->state() == QAbstractSocket::UnconnectedState) {
                connectionLost();
            }
        },
        Qt::QueuedConnection);
}

// ---- Replies ----------------------------------------------------------------

void ExamLink::requestResend()
{
    // The first repeat of a message goes at once, later ones at most every
    // kResendGapMs: a server that answers every message with a reply that
    // asks again (or does not check) gets a few messages a second.
    const uint32_t t = now();
    if (!m_lastResend || t - *m_lastResend >= kResendGapMs) {
        resendNow();
        return;
    }
    if (!m_resendAt) {
        m_resendAt = *m_lastResend + kResendGapMs;
        updateWake();
    }
}

void ExamLink::resendNow()
{
    m_resendAt.reset();
    m_lastResend = now();
    sendCurrentMessage(false);
    updateWake();
    // What came meanwhile was left unread.
    onReadyRead();
}

bool ExamLink::mayRead() const
{
    // While a repeat is put off nothing more is read: what the server sends
    // meanwhile stays with the connection, which stops it when full.
    return m_linkActive && !m_resendAt && m_socket->state() == QAbstractSocket::ConnectedState;
}

void ExamLink::onReadyRead()
{
    // A message box shown from a handler runs its own event loop; bytes that
    // arrive meanwhile are read by the loop below when it resumes.
    if (m_reading) {
        return;
    }
    m_reading = true;
    char chunk[ReplyFramer::kRead];
    while (mayRead() && m_socket->bytesAvailable() > 0) {
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
        // A server that only ever sends damage is given up, as one that
        // cannot be reached.
        if (++m_damagedInARow >= kDamagedLimit) {
            giveUp();
            return false;
        }
        requestResend();
        // Whatever came with a reply that does not check may be out of step
        // with the record boundaries: it is dropped, and the reply to the
        // repeated message starts afresh.
        m_framer.clear();
        m_socket->skip(m_socket->bytesAvailable());
        // Once per message: the repeats of one message tell nothing new.
        if (m_faultShownFor != m_messageNo) {
            m_faultShownFor = m_messageNo;
            tell(a.message);
        }
        return false;
    }
    m_damagedInARow = 0;
    if (a.resend) {
        requestResend();
        return true;
    }
    // A verdict. The first one on a message shows the link works: a
    // connection lost after it is opened again at once.
    if (m_answeredNo != m_messageNo) {
        m_answeredNo = m_messageNo;
        m_failedConnections = 0;
    }
    if (m_finalPending && m_message.kind == ExamMessage::Final) {
        m_finalPending.reset();
        advance(LinkInput::FinalAnswered);
        updateWake();
        if (m_closeDue && !a.goToBegin) {
            closeNow();
            return false;
        }
    }
    if (a.permit) {
        advance(LinkInput::Granted);
        m_registering.reset();
        updateWake();
        setExamPermitted(true);
        return true;
    }
    if (a.goToBegin) {
        dropLink(a.refusedCode, a.untickExamBox);
        tell(a.message);
        return false;
    }
    return true; // a code below -3 means nothing
}

void ExamLink::tell(const std::string& text)
{
    // The window shows a message in a modal box that runs its own event
    // loop, in which the link goes on (a limit may pass, a reply come). A
    // message asked for meanwhile follows the one shown instead of opening
    // a box over it; of several, the last tells how things stand.
    if (m_telling) {
        m_tellLater = text;
        return;
    }
    m_telling = true;
    LinkEvent e;
    e.kind = LinkEvent::Kind::Notice;
    e.text = text;
    emitEvent(e);
    while (m_tellLater) {
        e.text = std::move(*m_tellLater);
        m_tellLater.reset();
        emitEvent(e);
    }
    m_telling = false;
}

void ExamLink::advance(LinkInput input)
{
    if (const std::optional<LinkState> next = nextLinkState(m_state, input)) {
        m_state = *next;
    }
}

void ExamLink::emitEvent(const LinkEvent& event)
{
    emit linkEvent(event);
}

bool ExamLink::registeredAndAcknowledged() const
{
    return m_state == LinkState::Registered && m_unanswered == 0 && m_queued.empty() &&
           !m_resendAt && m_socket->state() == QAbstractSocket::ConnectedState &&
           m_socket->bytesToWrite() == 0;
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
