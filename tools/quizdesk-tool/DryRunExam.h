#pragma once

// The examination side of a dry run: the check box "Екзаменаційне
// тестування" and what the title page shows of the exam link, whose rules
// are the run host's. The link connects for real to the exam server; its
// events are handled on the real event loop in bounded waits, so that a
// script plays the same way every time; the virtual clock does not move
// meanwhile. The link's own limits (the registration's, the back-off, the
// repeats) run on the machine's clock, as in the program.

#include "exam/ExamLink.h"
#include "host/RunHost.h"
#include "run/SystemClock.h"

#include <functional>

namespace qdtool {

class DryRunView;

class DryRunExam : public qd::TitlePageView
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

    explicit DryRunExam(DryRunView& view) : m_view(view) {}

    // The run host this title page belongs to; set once it exists (it is
    // made with this object as its title page).
    void attach(qd::RunHost& host) { m_host = &host; }
    // The clock of the exam link's own limits.
    const qd::Clock& linkClock() const { return m_linkClock; }

    bool checked() const { return m_checked; }
    // A click on the check box: unless greyed out, it ticks or unticks and
    // the student list is read again (a file that cannot be read is
    // reported). The names only fill the name box's list, which a script
    // does not use.
    void clickExamBox();
    // After the begin button: in examination mode with the start wait
    // running, the run waits for the verdict (or for the link to be given
    // up).
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
    // TitlePageView: the controls' state is the host's, the names are not
    // shown.
    void setTitleControlsEnabled(bool) override {}
    void untickExamBox() override { m_checked = false; }
    void setStudentNames(const std::vector<std::string>&) override {}
    void examLinkUp() override;
    void examLinkRefused(int code) override;
    void message(const std::string& text) override;
    void setResumeLine(const std::string& text) override;

    // Runs the event loop until `done` holds or `timeoutMs` has passed.
    static void runUntil(const std::function<bool()>& done, int timeoutMs);

    DryRunView& m_view;
    qd::SystemClock m_linkClock;
    qd::RunHost* m_host = nullptr;
    bool m_checked = false;
};

} // namespace qdtool
