#include "app/StartUp.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "definition/TestLoader.h"
#include "run/RunStart.h"
#include "screen/PictureLoader.h"
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

    LoadResult loaded = loadTestDir(dir, window, testFontCharWidth);
    if (auto* f = std::get_if<Fault>(&loaded)) {
        reporter.error(*f, true);
        return std::nullopt;
    }
    StartedTest run{std::move(std::get<std::unique_ptr<TestModel>>(loaded)), RunState()};

    if (Status s = prepareRun(*run.model, run.state, seed)) {
        reporter.error(*s, true);
        return std::nullopt;
    }
    if (Status s = checkPictures(*run.model, questionsAsked(*run.model, run.state), dir)) {
        reporter.error(*s, true);
        return std::nullopt;
    }
    form.showTitlePage(run.model->subjectName, run.model->testName);
    return run;
}

} // namespace qd
