#pragma once

#include "run/SessionView.h"

#include <string>

// A view that draws nothing and shows nothing: for driving a session where
// only its state and its report matter. Override what a test needs to see.
class IgnoringView : public qd::SessionView
{
public:
    void message(const std::string&) override {}
    void beep() override {}
    void clearNameBox() override {}
    void setWaitTimer(bool) override {}
    void setQuestionTimer(bool) override {}
    void showQuestionScreen() override {}
    int displayQuestion(int) override { return 0; }
    void drawAnswers(int, const qd::ShownAnswers&, int, const bool*) override {}
    void drawOption(const qd::AnswerSlot&, uint32_t) override {}
    void fillRect(uint32_t, int, int, int, int) override {}
    void repaint() override {}
    void capturePicture() override {}
    void setHandCursor(bool) override {}
    void setQuestionCount(int) override {}
    void setQuestionNumber(int) override {}
    void setAnswerColour(uint32_t) override {}
    void setScoreText(const std::string&) override {}
    void setProgress(int, int) override {}
    void setMinutesLeft(int) override {}
    void setAnswerBox(bool, bool) override {}
    void showResults(const qd::ResultsSummary&) override {}
};
