#include "app/QuizDeskApp.h"

#include "app/MainWindow.h"
#include "app/MessageReporter.h"
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
      host_(*model_, std::move(run.state), clock, clock, view_, *this, dir),
      access_(host_.session())
{
    form.setAccessSource(&access_);
    // A line for everyone sets the title page's text and contrast already;
    // a student's own line takes effect when the test starts.
    const Accommodation everyone = run.accommodations.forStudent("*");
    if (everyone.textScale != 1.0 || everyone.highContrast) {
        form.setDisplay(everyone.textScale, everyone.highContrast);
    }
    host_.setAccommodations(std::move(run.accommodations));
    TestSession* s = &host_.session();
    connect(&form, &MainWindow::beginClicked, this,
            [this] { host_.beginClicked(form_.studentName(), form_.examChecked()); });
    // The box has ticked or unticked itself already.
    connect(&form, &MainWindow::examClicked, this, [this] { host_.examBoxClicked(); });
    connect(&form, &MainWindow::waitTimerTicked, this, [s] { s->OnTimerWaitServer(); });
    connect(&form, &MainWindow::questionTimerTicked, this, [this, s] { check(s->OnTimer()); });
    connect(&form, &MainWindow::readyClicked, this, [this, s] { check(s->OnClickReady()); });
    connect(&form, &MainWindow::mouseMoved, this, [s](int x, int y) { s->OnMouseMove(x, y); });
    connect(&form, &MainWindow::mousePressed, this, [s](int x, int y) { s->OnMouseDown(x, y); });
    connect(&form, &MainWindow::answerKeyPressed, this,
            [s](int key, bool* answered) { *answered = s->OnKey(TestSession::Key(key)); });
    connect(&form, &MainWindow::answerTextChanged, this,
            [s](const QString& text) { s->setAnswerText(toCp1251(text.toStdString())); });
    connect(&form, &MainWindow::closeRequested, this, [this, s] {
        if (s->OnCloseMain() == TestSession::CloseReply::EndProgram) {
            emit programEnded();
        }
    });
    connect(&results, &ResultsWindow::closeRequested, this, &QuizDeskApp::programEnded);
}

QuizDeskApp::~QuizDeskApp() = default;

void QuizDeskApp::setTitleControlsEnabled(bool enabled)
{
    form_.setTitleControlsEnabled(enabled);
}

void QuizDeskApp::untickExamBox()
{
    form_.untickExamBox();
}

void QuizDeskApp::setStudentNames(const std::vector<std::string>& names)
{
    form_.setStudentNames(names);
}

void QuizDeskApp::examLinkUp()
{
    form_.showExamLinkUp();
}

void QuizDeskApp::message(const std::string& text)
{
    reporter_.error(text, false);
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
