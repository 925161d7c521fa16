#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qd::server {

// The tests the students sit, as the server scores them.
struct ExamTest
{
    std::filesystem::path dir;
    std::unique_ptr<TestModel> model;
};

// Loads each folder as the program's start-up does (the window of 1024 x
// 768). The character width only places options on the screen, never
// changes a fault or a score, so no font is measured. The first fault
// names the folder, then gives the loader's own message (UTF-8).
Result<std::vector<ExamTest>> loadExamTests(const std::vector<std::filesystem::path>& dirs);

// The models, for the checks of the results layer.
std::vector<const TestModel*> modelsOf(const std::vector<ExamTest>& tests);

} // namespace qd::server
