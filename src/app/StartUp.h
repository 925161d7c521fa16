#pragma once

#include "definition/TestModel.h"
#include "run/RunState.h"

#include <QRect>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace qd {

class MessageReporter;
class MainWindow;

// What start-up hands to the test run: the loaded test and the run's draws.
struct StartedTest
{
    std::unique_ptr<TestModel> model;
    RunState state;
};

// The start-up of the program, up to its title page: the main window's
// client area takes `screenArea` (the part of the screen left inside the
// window manager's frame) and scales its title page; the test in `dir` is loaded
// (questions file, answers file, header, font, questions and answers, extra
// settings); the run's questions and option orders are drawn from `seed`;
// the pictures of the questions this run will ask are checked, so that a
// missing or broken picture stops the program here and not in the middle of
// a student's test; the title page shows the test. The keyboard layout the
// test asks for is selected by the caller (selectKeyboardLayout).
// The first fault is reported as fatal; nothing is returned then.
std::optional<StartedTest> startUp(MainWindow& form, const MessageReporter& reporter,
                                   const std::filesystem::path& dir, const QRect& screenArea,
                                   uint32_t seed);

} // namespace qd
