#include "DryRunExam.h"

#include "DryRunView.h"
#include "ToolSupport.h"

#include "run/TestSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace qdtool {

void DryRunExam::clickExamBox()
{
    if (m_host->examBoxClicked()) {
        m_checked = !m_checked;
    }
}

void DryRunExam::afterBegin()
{
    if (m_host->session().phase() != qd::TestSession::Phase::Waiting) {
        return;
    }
    // Until the verdict or the link's giving up (its own time limit). The
    // link decides, not the box: a resumed run keeps the mode it began in.
    const qd::ExamLink& link = m_host->examLink();
    runUntil([&link] { return link.examPermitted() || link.idle(); }, kVerdictWaitMs);
}

void DryRunExam::examLinkUp()
{
    writeOut("connected\n");
}

void DryRunExam::examLinkRefused(int code)
{
    writeOut("refused " + QByteArray::number(code) + '\n');
}

void DryRunExam::setResumeLine(const std::string& text)
{
    if (!text.empty()) {
        writeOut("title " + messageLine(text) + '\n');
    }
}

void DryRunExam::message(const std::string& text)
{
    m_view.message(text);
}

void DryRunExam::settle()
{
    const qd::ExamLink& link = m_host->examLink();
    runUntil([&link] { return !link.awaitingReply(); }, kReplyWaitMs);
}

void DryRunExam::finish()
{
    const qd::ExamLink& link = m_host->examLink();
    runUntil([&link] { return link.idle(); }, kCloseWaitMs);
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
