// quizdesk_reports DIR: writes a generated 100-question test into DIR and
// the reports of 5000 students into DIR/reports, for timing quizdesk-tool
// stats on files (bench/run.sh).

#include "MaxTestGenerator.h"
#include "ReportsGenerator.h"

#include "definition/TestLoader.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <variant>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quizdesk_reports DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const qdbench::GeneratedTest test = qdbench::generateTest(100, 100);
    auto loaded = qd::loadTestBytes(test.voprosi, test.otveti, {}, [](int, bool) { return 8; });
    if (!std::holds_alternative<std::unique_ptr<qd::TestModel>>(loaded) ||
        !qdbench::writeTest(test, dir.string())) {
        std::fprintf(stderr, "quizdesk_reports: cannot make the test in %s\n", argv[1]);
        return 1;
    }
    const qd::TestModel& model = *std::get<std::unique_ptr<qd::TestModel>>(loaded);
    std::error_code ec;
    std::filesystem::create_directories(dir / "reports", ec);
    for (int s = 0; s < 5000; ++s) {
        const std::string bytes = qdbench::generatedReport(model, s);
        std::ofstream f(dir / "reports" / ("student" + std::to_string(s) + ".txt"),
                        std::ios::binary);
        f.write(bytes.data(), std::streamsize(bytes.size()));
        if (!f) {
            std::fprintf(stderr, "quizdesk_reports: cannot write the reports\n");
            return 1;
        }
    }
    std::printf("100 questions, 5000 reports\n");
    return 0;
}
