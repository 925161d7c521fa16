// The after-exam analysis at its scale: 5000 reports of a 100-question test
// read from memory and analysed (the figures of quizdesk-tool stats). Aim:
// well under a second; bench/run.sh also times the whole command on files.

#include "MaxTestGenerator.h"
#include "ReportsGenerator.h"

#include "definition/TestLoader.h"
#include "results/ItemAnalysis.h"
#include "results/ReportReader.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <variant>

namespace {

constexpr int kStudents = 5000;

struct Exam
{
    std::unique_ptr<qd::TestModel> model;
    std::vector<std::string> reports;
};

const Exam& exam()
{
    static const Exam e = [] {
        const qdbench::GeneratedTest test = qdbench::generateTest(100, 100);
        auto loaded = qd::loadTestBytes(test.voprosi, test.otveti, {}, [](int, bool) { return 8; });
        Exam out;
        out.model = std::move(std::get<std::unique_ptr<qd::TestModel>>(loaded));
        for (int s = 0; s < kStudents; ++s) {
            out.reports.push_back(qdbench::generatedReport(*out.model, s));
        }
        return out;
    }();
    return e;
}

void BM_ReadAndAnalyse5000Reports(benchmark::State& state)
{
    const Exam& e = exam();
    std::size_t bytes = 0;
    for (const std::string& r : e.reports) {
        bytes += r.size();
    }
    for (auto _ : state) {
        std::vector<qd::ParsedReport> parsed;
        parsed.reserve(e.reports.size());
        for (const std::string& r : e.reports) {
            parsed.push_back(std::get<qd::ParsedReport>(qd::readReport(r)));
        }
        std::vector<const qd::ParsedReport*> p;
        for (const qd::ParsedReport& r : parsed) {
            p.push_back(&r);
        }
        const qd::TestStats stats = qd::analyseReports(*e.model, p);
        benchmark::DoNotOptimize(stats.alpha);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_ReadAndAnalyse5000Reports)->Unit(benchmark::kMillisecond);

void BM_Analyse5000Reports(benchmark::State& state)
{
    const Exam& e = exam();
    std::vector<qd::ParsedReport> parsed;
    for (const std::string& r : e.reports) {
        parsed.push_back(std::get<qd::ParsedReport>(qd::readReport(r)));
    }
    std::vector<const qd::ParsedReport*> p;
    for (const qd::ParsedReport& r : parsed) {
        p.push_back(&r);
    }
    for (auto _ : state) {
        const qd::TestStats stats = qd::analyseReports(*e.model, p);
        benchmark::DoNotOptimize(stats.alpha);
    }
}
BENCHMARK(BM_Analyse5000Reports)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
