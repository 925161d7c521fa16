#include "app/WindowView.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"

#include <QApplication>

#include <utility>

namespace qd {

WindowView::WindowView(const TestModel& model, MainWindow& form, ResultsWindow& results,
                       const MessageReporter& reporter, std::filesystem::path pictureDir)
    : QuestionScreen(model, form.width(), form.height(), std::move(pictureDir)),
      form_(form),
      results_(results),
      reporter_(reporter)
{
    form_.setScreen(this);
}

WindowView::~WindowView()
{
    form_.setScreen(nullptr);
}

void WindowView::message(const std::string& text)
{
    reporter_.error(text, false);
}

void WindowView::beep()
{
    QApplication::beep();
}

void WindowView::clearNameBox()
{
    form_.clearNameBox();
}

void WindowView::setWaitTimer(bool running)
{
    form_.setWaitTimer(running);
}

void WindowView::setQuestionTimer(bool running)
{
    form_.setQuestionTimer(running);
}

void WindowView::showQuestionScreen()
{
    form_.showQuestionScreen();
}

int WindowView::displayQuestion(int q)
{
    const int stemTop = QuestionScreen::displayQuestion(q);
    if (picture().isNull()) {
        form_.hidePicture();
    } else {
        form_.showPicture(picture(), pictureRect());
    }
    return stemTop;
}

void WindowView::repaint()
{
    form_.repaintScreen();
}

void WindowView::setHandCursor(bool hand)
{
    form_.setHandCursor(hand);
}

void WindowView::setQuestionCount(int n)
{
    form_.setQuestionCount(n);
}

void WindowView::setQuestionNumber(int n)
{
    form_.setQuestionNumber(n);
}

void WindowView::setAnswerColour(uint32_t colour)
{
    form_.setAnswerColour(colour);
}

void WindowView::setScoreText(const std::string& text)
{
    form_.setScoreText(text);
}

void WindowView::setProgress(int value, int maximum)
{
    form_.setProgress(value, maximum);
}

void WindowView::setMinutesLeft(int minutes)
{
    form_.setMinutesLeft(minutes);
}

void WindowView::setAnswerBox(bool shown, bool focus)
{
    form_.setAnswerBox(shown, focus);
}

void WindowView::showResults(const ResultsSummary& results)
{
    form_.hideForResults();
    results_.showResults(results);
}

void WindowView::applyAccommodation(const Accommodation& a)
{
    if (a.quiet) {
        form_.hideRunningResults();
    }
    bitmap().setDisplay(a.textScale, a.highContrast);
    form_.setDisplay(a.textScale, a.highContrast);
}

void WindowView::pictureFault(const Fault& fault)
{
    // Fatal like every fault of the run: the box runs its own event loop,
    // where a tick would score a question the student never saw.
    form_.setWaitTimer(false);
    form_.setQuestionTimer(false);
    reporter_.error(fault, true);
}

} // namespace qd
