#include "app/QuizDeskApp.h"

#include "app/MessageReporter.h"
#include "app/TForm1.h"
#include "app/TFormRez.h"
#include "definition/Cp1251.h"

#include <utility>

namespace qd {

QuizDeskApp::QuizDeskApp(StartedTest run, TForm1& form, TFormRez& results,
                         const MessageReporter& reporter, Clock& clock,
                         const std::filesystem::path& dir)
    : model_(std::move(run.model)),
      form_(form),
      reporter_(reporter),
      view_(*model_, form, results, reporter, dir),
      session_(*model_, std::move(run.state), clock, view_, report_, dir)
{
    TestSession* s = &session_;
    connect(&form, &TForm1::beginClicked, this,
            [this, s] { s->OnClickBegin(form_.studentName(), form_.examChecked()); });
    connect(&form, &TForm1::waitTimerTicked, this, [this, s] { check(s->OnTimerWaitServer()); });
    connect(&form, &TForm1::questionTimerTicked, this, [this, s] { check(s->OnTimer()); });
    connect(&form, &TForm1::readyClicked, this, [this, s] { check(s->OnClickReady()); });
    connect(&form, &TForm1::mouseMoved, this, [s](int x, int y) { s->OnMouseMove(x, y); });
    connect(&form, &TForm1::mousePressed, this, [s](int x, int y) { s->OnMouseDown(x, y); });
    connect(&form, &TForm1::answerTextChanged, this,
            [s](const QString& text) { s->setAnswerText(toCp1251(text.toStdString())); });
    connect(&form, &TForm1::closeRequested, this, [this, s] {
        if (s->OnCloseMain() == TestSession::CloseReply::EndProgram) {
            emit programEnded();
        }
    });
    connect(&results, &TFormRez::closeRequested, this, &QuizDeskApp::programEnded);
}

QuizDeskApp::~QuizDeskApp() = default;

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
