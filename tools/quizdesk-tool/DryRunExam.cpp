#include "DryRunExam.h"

#include "DryRunView.h"
#include "ToolSupport.h"

#include "run/TestSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace qdtool {

DryRunExam::DryRunExam(const std::filesystem::path& workDir, quint16 port, qd::TestSession& session,
                       DryRunView& view)
    : m_session(session), m_view(view), m_workDir(workDir), m_link(workDir, m_linkClock)
{
    m_link.setPort(port);
    m_session.setExamHooks(&m_link);

    using qd::ExamLink;
    QObject::connect(&m_link, &ExamLink::linkActiveChanged,
                     [this](bool on) { m_session.setLinkActive(on); });
    QObject::connect(&m_link, &ExamLink::examPermittedChanged,
                     [this](bool on) { m_session.setExamPermitted(on); });
    QObject::connect(&m_link, &ExamLink::connected, [] { writeOut("connected\n"); });
    QObject::connect(&m_link, &ExamLink::refused,
                     [](int code) { writeOut("refused " + QByteArray::number(code) + '\n'); });
    QObject::connect(&m_link, &ExamLink::returnToTitlePage, [this] {
        m_controlsEnabled = true;
        m_session.returnToTitlePage();
    });
    QObject::connect(&m_link, &ExamLink::untickExamBox, [this] { m_checked = false; });
    QObject::connect(&m_link, &ExamLink::showMessage,
                     [this](const std::string& text) { m_view.message(text); });
}

void DryRunExam::CB_ExamTestClick()
{
    if (!m_controlsEnabled) {
        return; // the box is greyed out while the link is being opened
    }
    m_checked = !m_checked;
    if (qd::Status s = m_students.load(m_workDir)) {
        m_view.message(s->message);
    }
}

void DryRunExam::afterBegin()
{
    if (!m_checked || m_session.phase() != qd::TestSession::Phase::Waiting) {
        return;
    }
    m_controlsEnabled = false;
    // Until the verdict or the link's giving up (its own time limit).
    runUntil([this] { return m_link.examPermitted() || m_link.idle(); }, kVerdictWaitMs);
}

void DryRunExam::settle()
{
    runUntil([this] { return !m_link.awaitingReply(); }, kReplyWaitMs);
}

void DryRunExam::finish()
{
    runUntil([this] { return m_link.idle(); }, kCloseWaitMs);
}

void DryRunExam::processPending()
{
    QCoreApplication::processEvents();
}

void DryRunExam::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Socket events wake the loop; the short timer only bounds how late the
    // condition and the deadline are looked at.
    QTimer poll;
    poll.start(5);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace qdtool
