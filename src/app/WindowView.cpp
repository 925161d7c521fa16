#include "app/WindowView.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"

#include <QApplication>

#include <utility>

namespace qd {

WindowView::WindowView(const TestModel& model, MainWindow& form, ResultsWindow& results,
                       const MessageReporter& reporter, std::filesystem::path pictureDir)
    // At the screen's device pixel ratio: text as sharp as the window's own
    // controls on a scaled screen.
    : QuestionScreen(model, form.width(), form.height(), std::move(pictureDir),
                     form.devicePixelRatioF()),
      m_form(form),
      m_results(results),
      m_reporter(reporter)
{
    m_form.setScreen(this);
}

WindowView::~WindowView()
{
    m_form.setScreen(nullptr);
}

void WindowView::message(const std::string& text)
{
    m_reporter.error(text, false);
}

void WindowView::beep()
{
    QApplication::beep();
}

void WindowView::clearNameBox()
{
    m_form.clearNameBox();
}

void WindowView::setWaitTimer(bool running)
{
    m_form.setWaitTimer(running);
}

void WindowView::setQuestionTimer(bool running)
{
    m_form.setQuestionTimer(running);
}

void WindowView::showQuestionScreen()
{
    m_form.showQuestionScreen();
}

int WindowView::displayQuestion(int q)
{
    const int stemTop = QuestionScreen::displayQuestion(q);
    if (picture().isNull()) {
        m_form.hidePicture();
    } else {
        m_form.showPicture(picture(), pictureRect());
    }
    m_form.announceQuestion();
    return stemTop;
}

void WindowView::repaint()
{
    m_form.repaintScreen();
}

void WindowView::setHandCursor(bool hand)
{
    m_form.setHandCursor(hand);
}

void WindowView::setQuestionCount(int n)
{
    m_form.setQuestionCount(n);
}

void WindowView::setQuestionNumber(int n)
{
    m_form.setQuestionNumber(n);
}

void WindowView::setAnswerColour(uint32_t colour)
{
    m_form.setAnswerColour(colour);
}

void WindowView::setScoreText(const std::string& text)
{
    m_form.setScoreText(text);
}

void WindowView::setProgress(int value, int maximum)
{
    m_form.setProgress(value, maximum);
}

void WindowView::setMinutesLeft(int minutes)
{
    m_form.setMinutesLeft(minutes);
}

void WindowView::setAnswerBox(bool shown, bool focus)
{
    m_form.setAnswerBox(shown, focus);
}

void WindowView::showResults(const ResultsSummary& results)
{
    m_form.hideForResults();
    m_results.showResults(results);
}

void WindowView::applyAccommodation(const Accommodation& a)
{
    if (a.quiet) {
        m_form.hideRunningResults();
    }
    m_form.setDisplay(a.textScale, a.highContrast);
    // The strips have their sizes now: the question screen fits what they
    // leave of the window.
    setDisplay(a.textScale, a.highContrast);
    setVisibleArea(m_form.width(), m_form.questionScreenHeight(false),
                   m_form.questionScreenHeight(true));
}

void WindowView::pictureFault(const Fault& fault)
{
    // Fatal like every fault of the run: the box runs its own event loop,
    // where a tick would score a question the student never saw.
    m_form.setWaitTimer(false);
    m_form.setQuestionTimer(false);
    m_reporter.error(fault, true);
}

} // namespace qd
