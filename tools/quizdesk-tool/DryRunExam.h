#pragma once

// The examination side of a dry run: the check box "Екзаменаційне
// тестування" with its student list, the title page's two controls, and the
// exam link itself, which connects for real to the exam server. Its events
// are handled on the real event loop in bounded waits, so that a script
// plays the same way every time; the virtual clock does not move meanwhile.
// The link's own limits (the registration's, the back-off, the repeats) run
// on the machine's clock, as in the program.

#include "exam/ExamLink.h"
#include "exam/StudentList.h"
#include "run/SystemClock.h"

#include <QtGlobal>

#include <filesystem>
#include <functional>

namespace qd {
class TestSession;
} // namespace qd

namespace qdtool {

class DryRunView;

class DryRunExam
{
public:
    // After "Почати тестування" the run waits for the verdict or for the
    // link to give up, which it does within its own limit; after the
    // results, for the final message's answer or its giving up. The margin
    // only keeps a broken link from hanging the run. The reply to a message
    // during the test is waited for kReplyWaitMs at most.
    static constexpr int kVerdictWaitMs = int(qd::ExamLink::kGiveUpMs) + 5000;
    static constexpr int kReplyWaitMs = 5000;
    static constexpr int kCloseWaitMs = int(qd::ExamLink::kGiveUpMs) + 5000;

    // `workDir` holds students.dbf and IPaddress.txt.
    DryRunExam(const std::filesystem::path& workDir, quint16 port, qd::TestSession& session,
               DryRunView& view);

    bool checked() const { return m_checked; }
    // CB_ExamTest and BeginTest: disabled while the link is being opened,
    // enabled again when it is given up.
    bool titleControlsEnabled() const { return m_controlsEnabled; }
    // A click on the check box: it ticks or unticks, and students.dbf is
    // read again (a file that cannot be read is reported). The names only
    // fill the name box's list, which a script does not use.
    void CB_ExamTestClick();
    // After the begin button: in examination mode with the start wait
    // running, the title page's controls are disabled and the run waits for
    // the verdict (or for the link to be given up).
    void afterBegin();
    // After every script line: while a message is on its way (a reconnection
    // included), lets its reply be handled.
    void settle();
    // Before the program ends after the results: the final message goes out
    // and the link closes, as the results window lets it.
    void finish();
    // Events that came in between (a late verdict).
    static void processPending();

private:
    // Runs the event loop until `done` holds or `timeoutMs` has passed.
    static void runUntil(const std::function<bool()>& done, int timeoutMs);

    qd::TestSession& m_session;
    DryRunView& m_view;
    std::filesystem::path m_workDir;
    qd::SystemClock m_linkClock;
    qd::ExamLink m_link;
    qd::StudentList m_students;
    bool m_checked = false;
    bool m_controlsEnabled = true;
};

} // namespace qdtool
