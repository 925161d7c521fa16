#pragma once

#include "screen/QuestionScreen.h"

namespace qd {

class MessageReporter;
class MainWindow;
class ResultsWindow;

// The session's view in the program: the question screen draws into
// off-screen picture, the main window and the results window show the rest, the
// reporter shows messages. Forwarding only; nothing is decided here.
class WindowView : public QuestionScreen
{
public:
    WindowView(const TestModel& model, MainWindow& form, ResultsWindow& results,
               const MessageReporter& reporter, std::filesystem::path pictureDir);
    ~WindowView() override;

    void message(const std::string& text) override;
    void beep() override;
    void clearNameBox() override;
    void setWaitTimer(bool running) override;
    void setQuestionTimer(bool running) override;
    void showQuestionScreen() override;
    int displayQuestion(int q) override;
    void repaint() override;
    void setHandCursor(bool hand) override;
    void setQuestionCount(int n) override;
    void setQuestionNumber(int n) override;
    void setAnswerColour(uint32_t colour) override;
    void setScoreText(const std::string& text) override;
    void setProgress(int value, int maximum) override;
    void setMinutesLeft(int minutes) override;
    void setAnswerBox(bool shown, bool focus) override;
    void showResults(const ResultsSummary& results) override;
    void applyAccommodation(const Accommodation& a) override;

protected:
    void pictureFault(const Fault& fault) override;

private:
    MainWindow& m_form;
    ResultsWindow& m_results;
    const MessageReporter& m_reporter;
};

} // namespace qd
