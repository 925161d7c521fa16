#pragma once

#include "host/RunHost.h"

#include <QRect>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace qd {

class MessageReporter;
class MainWindow;

// The start-up of the program, up to its title page: the main window's
// client area takes `screenArea` (the part of the screen left inside the
// window manager's frame) and scales its title page; the test in `dir` is
// started for that window (startTest: load, draws from `seed`, pictures);
// the title page shows the test. The keyboard layout the
// test asks for is selected by the caller (selectKeyboardLayout).
// The first fault is reported as fatal; nothing is returned then.
std::optional<StartedTest> startUp(MainWindow& form, const MessageReporter& reporter,
                                   const std::filesystem::path& dir, const QRect& screenArea,
                                   uint32_t seed);

} // namespace qd
