#include "app/StartUp.h"

#include "app/MainWindow.h"
#include "app/MessageReporter.h"
#include "screen/TestFont.h"

#include <variant>

namespace qd {

std::optional<StartedTest> startUp(MainWindow& form, const MessageReporter& reporter,
                                   const std::filesystem::path& dir, const QRect& screenArea,
                                   uint32_t seed)
{
    // The window is sized first: its width decides the narrow-screen font
    // and its bottom edge a typed question's answer slot.
    form.placeOnScreen(screenArea);
    const WindowGeometry window{form.x(), form.y(), form.width(), form.height()};

    auto started = startTest(dir, window, testFontCharWidth, seed);
    if (!started.ok()) {
        reporter.error(started.fault(), true);
        return std::nullopt;
    }
    StartedTest run = std::move(started).value();
    form.showTitlePage(run.model->subjectName, run.model->testName);
    return run;
}

} // namespace qd
