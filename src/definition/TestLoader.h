#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <variant>

namespace qd {

// Measures the character advance of the test font (Liberation Mono, cell
// height fontSize pixels, bold when asked). The shell and the tool pass a
// Qt font measurement; tests and the fuzzer pass a constant.
using CharWidthFn = std::function<int(int fontSize, bool bold)>;

// What start-up needs of the window: its size decides the narrow-screen
// rule (width < 650) and a type-5 question's first answer slot (bottom edge).
struct WindowGeometry
{
    int left = 0;
    int top = 0;
    int width = 1024;
    int height = 768;
};

using LoadResult = Result<std::unique_ptr<TestModel>>;

// The whole load of a test in start-up order: the questions file is read and
// decoded (tabs expanded) before the answers file; the header is parsed
// before charWidth is measured; then the questions and answers; then the extra
// settings. Returns the model or the first fault.
LoadResult loadTestDir(const std::filesystem::path& dir, const WindowGeometry& window,
                       const CharWidthFn& charWidth);

// The same from the two files' raw bytes (used by the fuzzer and the tests).
LoadResult loadTestBytes(std::string voprosi, std::string otveti, const WindowGeometry& window,
                         const CharWidthFn& charWidth);

} // namespace qd
