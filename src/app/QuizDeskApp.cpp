#include "app/QuizDeskApp.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Cp1251.h"

#include <utility>

namespace qd {

QuizDeskApp::QuizDeskApp(StartedTest run, MainWindow& form, ResultsWindow& results,
                         const MessageReporter& reporter, Clock& clock,
                         const std::filesystem::path& dir)
    : model_(std::move(run.model)),
      form_(form),
      reporter_(reporter),
      view_(*model_, form, results, reporter, dir),
      session_(*model_, std::move(run.state), clock, view_, report_, dir),
      dir_(dir),
      link_(dir, clock)
{
    TestSession* s = &session_;
    connect(&form, &MainWindow::beginClicked, this, &QuizDeskApp::OnClickBegin);
    connect(&form, &MainWindow::examClicked, this, &QuizDeskApp::CB_ExamTestClick);
    connect(&form, &MainWindow::waitTimerTicked, this,
            [this, s] { check(s->OnTimerWaitServer()); });
    connect(&form, &MainWindow::questionTimerTicked, this, [this, s] { check(s->OnTimer()); });
    connect(&form, &MainWindow::readyClicked, this, [this, s] { check(s->OnClickReady()); });
    connect(&form, &MainWindow::mouseMoved, this, [s](int x, int y) { s->OnMouseMove(x, y); });
    connect(&form, &MainWindow::mousePressed, this, [s](int x, int y) { s->OnMouseDown(x, y); });
    connect(&form, &MainWindow::answerTextChanged, this,
            [s](const QString& text) { s->setAnswerText(toCp1251(text.toStdString())); });
    connect(&form, &MainWindow::closeRequested, this, [this, s] {
        if (s->OnCloseMain() == TestSession::CloseReply::EndProgram) {
            emit programEnded();
        }
    });
    connect(&results, &ResultsWindow::closeRequested, this, &QuizDeskApp::programEnded);
    connectExamLink();
}

QuizDeskApp::~QuizDeskApp() = default;

void QuizDeskApp::connectExamLink()
{
    // The session sends the progress and final messages through the link
    // itself and closes it 100 ms after the results; the final message
    // carries the session's report, which the session hands over.
    session_.setExamHooks(&link_);
    TestSession* s = &session_;
    connect(&link_, &ExamLink::linkActiveChanged, this, [s](bool on) { s->setLinkActive(on); });
    connect(&link_, &ExamLink::examPermittedChanged, this,
            [s](bool on) { s->setExamPermitted(on); });
    connect(&link_, &ExamLink::connected, this, [this] { form_.showExamLinkUp(); });
    // Within one event these come in this order: the title page, the box,
    // the message.
    connect(&link_, &ExamLink::returnToTitlePage, this, [this, s] {
        form_.setTitleControlsEnabled(true);
        s->returnToTitlePage();
    });
    connect(&link_, &ExamLink::untickExamBox, this, [this] { form_.untickExamBox(); });
    connect(&link_, &ExamLink::showMessage, this,
            [this](const std::string& text) { reporter_.error(text, false); });
}

void QuizDeskApp::OnClickBegin()
{
    const bool exam = form_.examChecked();
    // In examination mode the session opens the link itself; while it is
    // being opened the title page cannot start another attempt.
    session_.OnClickBegin(form_.studentName(), exam);
    if (exam && session_.phase() == TestSession::Phase::Waiting) {
        form_.setTitleControlsEnabled(false);
    }
}

void QuizDeskApp::CB_ExamTestClick()
{
    // Ticking or unticking, the table is read again and its names replace
    // the list (appending them again on every click made a big table cost
    // seconds and megabytes per click); after a failed read those of the
    // last good one.
    if (Status s = students_.load(dir_)) {
        reporter_.error(*s, false);
    }
    form_.setStudentNames(students_.names());
}

void QuizDeskApp::check(Status fault)
{
    if (!fault) {
        return;
    }
    // The box runs its own event loop: a tick arriving meanwhile must not
    // carry the broken run any further.
    form_.setWaitTimer(false);
    form_.setQuestionTimer(false);
    reporter_.error(*fault, true);
}

} // namespace qd
