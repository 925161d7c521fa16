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
    : m_model(std::move(run.model)),
      m_form(form),
      m_reporter(reporter),
      m_view(*m_model, form, results, reporter, dir),
      m_host(*m_model, std::move(run.state), clock, clock, m_view, *this, dir),
      m_access(m_host.session())
{
    form.setAccessSource(&m_access);
    // A line for everyone sets the title page's text and contrast already;
    // a student's own line takes effect when the test starts.
    const Accommodation everyone = run.accommodations.forStudent("*");
    if (everyone.textScale != 1.0 || everyone.highContrast) {
        form.setDisplay(everyone.textScale, everyone.highContrast);
    }
    m_host.setAccommodations(std::move(run.accommodations));
    m_host.enableResume(std::move(run.undrawn));
    TestSession* s = &m_host.session();
    connect(&form, &MainWindow::nameEdited, this,
            [this] { m_host.nameEntered(m_form.studentName()); });
    connect(&form, &MainWindow::beginClicked, this,
            [this] { m_host.beginClicked(m_form.studentName(), m_form.examChecked()); });
    // The box has ticked or unticked itself already.
    connect(&form, &MainWindow::examClicked, this, [this] { m_host.examBoxClicked(); });
    connect(&form, &MainWindow::waitTimerTicked, this, [s] { s->waitTick(); });
    connect(&form, &MainWindow::questionTimerTicked, this, [this, s] { check(s->questionTick()); });
    connect(&form, &MainWindow::readyClicked, this, [this, s] { check(s->clickNext()); });
    connect(&form, &MainWindow::mouseMoved, this, [s](int x, int y) { s->mouseMove(x, y); });
    connect(&form, &MainWindow::mousePressed, this, [s](int x, int y) { s->mouseDown(x, y); });
    connect(&form, &MainWindow::answerKeyPressed, this,
            [s](int key, bool* answered) { *answered = s->keyPressed(TestSession::Key(key)); });
    connect(&form, &MainWindow::answerTextChanged, this,
            [s](const QString& text) { s->setAnswerText(toCp1251(text.toStdString())); });
    connect(&form, &MainWindow::closeRequested, this, [this, s] {
        if (s->closeMain() == TestSession::CloseReply::EndProgram) {
            emit programEnded();
        }
    });
    connect(&results, &ResultsWindow::closeRequested, this, &QuizDeskApp::programEnded);
}

QuizDeskApp::~QuizDeskApp() = default;

void QuizDeskApp::setTitleControlsEnabled(bool enabled)
{
    m_form.setTitleControlsEnabled(enabled);
}

void QuizDeskApp::untickExamBox()
{
    m_form.untickExamBox();
}

void QuizDeskApp::setStudentNames(const std::vector<std::string>& names)
{
    m_form.setStudentNames(names);
}

void QuizDeskApp::examLinkUp()
{
    m_form.showExamLinkUp();
}

void QuizDeskApp::message(const std::string& text)
{
    m_reporter.error(text, false);
}

void QuizDeskApp::setResumeLine(const std::string& text)
{
    m_form.setResumeLine(text);
}

void QuizDeskApp::check(const Status& status)
{
    if (status.ok()) {
        return;
    }
    // The box runs its own event loop: a tick arriving meanwhile must not
    // carry the broken run any further.
    m_form.setWaitTimer(false);
    m_form.setQuestionTimer(false);
    m_reporter.error(status.fault(), true);
}

} // namespace qd
