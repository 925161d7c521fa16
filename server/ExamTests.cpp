#include "ExamTests.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"

namespace qd::server {

namespace {

// Any width will do for scoring; this one is the test font's at its usual
// size.
constexpr int kCharWidth = 10;

} // namespace

Result<std::vector<ExamTest>> loadExamTests(const std::vector<std::filesystem::path>& dirs)
{
    std::vector<ExamTest> out;
    for (const std::filesystem::path& dir : dirs) {
        auto loaded = loadTestDir(dir, WindowGeometry{}, [](int, bool) { return kCharWidth; });
        if (!loaded.ok()) {
            std::string message = loaded.fault().utf8();
            while (!message.empty() && message.back() == '\n') {
                message.pop_back();
            }
            return Fault{"the test in " + dir.string() + ": " + message};
        }
        out.push_back(ExamTest{dir, std::move(loaded).value()});
    }
    return out;
}

std::vector<const TestModel*> modelsOf(const std::vector<ExamTest>& tests)
{
    std::vector<const TestModel*> out;
    out.reserve(tests.size());
    for (const ExamTest& t : tests) {
        out.push_back(t.model.get());
    }
    return out;
}

} // namespace qd::server
