// Decoding throughput and the whole load of start-up on the generated
// maximal test (5000 questions, both files scrambled).

#include "MaxTestGenerator.h"

#include "definition/Scrambler.h"
#include "definition/TestLoader.h"
#include "definition/TestRandom.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <variant>

namespace {

const qdbench::GeneratedTest& maxTest()
{
    static const qdbench::GeneratedTest test = qdbench::generateMaxTest();
    return test;
}

void BM_Decoding(benchmark::State& state)
{
    const std::string& scrambled = maxTest().voprosi;
    std::string buf;
    qd::TestRandom rng;
    for (auto _ : state) {
        state.PauseTiming();
        buf = scrambled;
        state.ResumeTiming();
        qd::unscramble(buf, qd::FileKind::Questions, rng);
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(scrambled.size()));
}
BENCHMARK(BM_Decoding)->Unit(benchmark::kMillisecond);

// The load as start-up does it: both files read from a directory, decoded,
// the header, the questions with their layout, the extra settings.
void BM_WholeLoad(benchmark::State& state)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "quizdesk-bench-load";
    std::filesystem::create_directories(dir);
    if (!qdbench::writeTest(maxTest(), dir.string())) {
        state.SkipWithError("cannot write the test files");
        return;
    }
    for (auto _ : state) {
        qd::LoadResult result =
            qd::loadTestDir(dir, qd::WindowGeometry{}, [](int, bool) { return 8; });
        if (!std::holds_alternative<std::unique_ptr<qd::TestModel>>(result)) {
            state.SkipWithError("the generated test does not load");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) *
                            int64_t(maxTest().voprosi.size() + maxTest().otveti.size()));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WholeLoad)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
