#pragma once

// The window of a dry run: the question screen drawn off-screen as the
// program draws it (so that pictures move the answers exactly as there), the
// two timers on virtual time, the boxes and strips as plain values, and the
// message boxes written out as they are shown.

#include "definition/Fault.h"
#include "run/SessionView.h"
#include "screen/QuestionScreen.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qdtool {

class DryRunView : public qd::QuestionScreen
{
public:
    DryRunView(const qd::TestModel& model, int width, int height, std::filesystem::path pictureDir);

    // Virtual time, in ms since the run began; the driver moves it.
    uint64_t now = 0;

    struct Timer
    {
        bool running = false;
        uint64_t period = 0;
        uint64_t next = 0; // when it fires next
    };
    Timer waitTimer{false, 100, 0};
    Timer questionTimer{false, 50, 0};

    std::string nameBox; // code page 1251
    bool questionScreen = false;
    bool answerBox = false;
    std::optional<qd::ResultsSummary> results;
    std::optional<qd::Fault> fatal; // a picture that failed to load

    // Whether a press or move at (x, y) reaches the question screen: the
    // window's own controls (the status strip, the answer strip, the picture)
    // keep the mouse events over them.
    bool reachesScreen(int x, int y) const;

    void message(const std::string& text) override;
    void beep() override {}
    void clearNameBox() override { nameBox.clear(); }
    void setWaitTimer(bool running) override { start(waitTimer, running); }
    void setQuestionTimer(bool running) override { start(questionTimer, running); }
    void showQuestionScreen() override { questionScreen = true; }
    void repaint() override {}
    void setHandCursor(bool) override {}
    void setQuestionCount(int) override {}
    void setQuestionNumber(int) override {}
    void setAnswerColour(uint32_t) override {}
    void setScoreText(const std::string&) override {}
    void setProgress(int, int) override {}
    void setMinutesLeft(int) override {}
    void setAnswerBox(bool shown, bool) override { answerBox = shown; }
    void showResults(const qd::ResultsSummary& summary) override { results = summary; }

protected:
    void pictureFault(const qd::Fault& fault) override;

private:
    void start(Timer& timer, bool running);
};

// A message box's text as one output line: UTF-8, a line break written as
// the two characters \n and a backslash as \\.
QByteArray messageLine(const std::string& cp1251);

} // namespace qdtool
