#pragma once

#include "run/SessionView.h"

#include <map>
#include <string>
#include <vector>

// A view that only writes down what the session asks of it, one line per
// call, so that a test can compare what the window would have drawn.
class RecordingView : public qd::SessionView
{
public:
    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::map<int, int> picDy; // question -> stemTop that displayQuestion returns
    bool hand = false;
    bool questionTimer = false;
    bool waitTimer = false;
    int results = 0;
    qd::ResultsSummary summary;

    static std::string colourName(uint32_t c)
    {
        switch (c) {
        case qd::colour::black:
            return "black";
        case qd::colour::blue:
            return "blue";
        case qd::colour::red:
            return "red";
        case qd::colour::white:
            return "white";
        case qd::colour::statusGreen:
            return "green";
        default:
            return std::to_string(c);
        }
    }

    // The lines logged since the last call.
    std::vector<std::string> take()
    {
        std::vector<std::string> r;
        r.swap(log);
        return r;
    }

    // Whether the question timer ran while each message was up.
    std::vector<bool> questionTimerAtMessage;

    void message(const std::string& text) override
    {
        messages.push_back(text);
        questionTimerAtMessage.push_back(questionTimer);
        log.push_back("message");
    }
    void beep() override { log.push_back("beep"); }
    void clearNameBox() override { log.push_back("clear name"); }
    void setWaitTimer(bool running) override { waitTimer = running; }
    void setQuestionTimer(bool running) override { questionTimer = running; }
    void showQuestionScreen() override { log.push_back("question screen"); }
    int displayQuestion(int q) override
    {
        log.push_back("display " + std::to_string(q));
        auto it = picDy.find(q);
        return it == picDy.end() ? 0 : it->second;
    }
    void drawAnswers(int q, const qd::ShownAnswers&, int whiteTop, const bool*) override
    {
        log.push_back("answers " + std::to_string(q) + " " + std::to_string(whiteTop));
    }
    void drawOption(const qd::AnswerSlot& slot, uint32_t colour) override
    {
        log.push_back(slot.text + " " + colourName(colour));
    }
    void fillRect(uint32_t colour, int left, int top, int right, int bottom) override
    {
        log.push_back("rect " + colourName(colour) + " " + std::to_string(left) + "," +
                      std::to_string(top) + "," + std::to_string(right) + "," +
                      std::to_string(bottom));
    }
    void repaint() override { log.push_back("repaint"); }
    void capturePicture() override { log.push_back("capture"); }
    void setHandCursor(bool h) override { hand = h; }
    void setQuestionCount(int n) override { log.push_back("count " + std::to_string(n)); }
    void setQuestionNumber(int n) override { log.push_back("number " + std::to_string(n)); }
    void setAnswerColour(uint32_t c) override { log.push_back("answer " + colourName(c)); }
    void setScoreText(const std::string& text) override { log.push_back("score " + text); }
    void setProgress(int value, int maximum) override
    {
        log.push_back("progress " + std::to_string(value) + "/" + std::to_string(maximum));
    }
    void setMinutesLeft(int minutes) override
    {
        log.push_back("minutes " + std::to_string(minutes));
    }
    void setAnswerBox(bool shown, bool focus) override
    {
        log.push_back(std::string("box ") + (shown ? "shown" : "hidden") + (focus ? " focus" : ""));
    }
    void applyAccommodation(const qd::Accommodation& a) override
    {
        log.push_back("accommodation " + a.settingsText());
    }
    void showResults(const qd::ResultsSummary& r) override
    {
        ++results;
        summary = r;
        log.push_back("results");
    }
};
