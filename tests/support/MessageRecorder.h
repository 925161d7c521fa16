#pragma once

#include "app/MessageReporter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// Stands in for the message box and for the end of the process: records
// what the program shows, so that a fatal path is testable without a box
// waiting for a click and without the test process exiting.
class MessageRecorder
{
public:
    struct Shown
    {
        std::string text; // UTF-8
        bool endedProgram = false;
    };

    std::vector<Shown> shown;
    // Everything the reporter did, in order: "beep", "box CAPTION: TEXT",
    // "exit CODE".
    std::vector<std::string> steps;
    // Runs while a box is up, as the student would act before closing it
    // (the real box runs an event loop until then).
    std::function<void()> whileShown;
    // For tests where no message may end the program.
    bool fatalFailsTest = false;
    int mostBoxesUp = 0;

    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;
        for (const Shown& s : shown) {
            result.push_back(s.text);
        }
        return result;
    }

    qd::MessageReporter reporter()
    {
        qd::MessageReporter::Actions a;
        a.beep = [this] { steps.push_back("beep"); };
        a.box = [this](const QString& caption, const QString& text) {
            steps.push_back("box " + caption.toStdString() + ": " + text.toStdString());
            shown.push_back({text.toStdString(), false});
            mostBoxesUp = std::max(mostBoxesUp, ++m_boxesUp);
            if (whileShown) {
                whileShown();
            }
            --m_boxesUp;
        };
        a.exit = [this](int code) {
            steps.push_back("exit " + std::to_string(code));
            if (fatalFailsTest) {
                ADD_FAILURE() << "a fatal message: " << (shown.empty() ? "" : shown.back().text);
            }
            if (shown.empty()) {
                ADD_FAILURE() << "the program ended without a message";
            } else {
                shown.back().endedProgram = true;
            }
        };
        return qd::MessageReporter(a);
    }

private:
    int m_boxesUp = 0;
};
