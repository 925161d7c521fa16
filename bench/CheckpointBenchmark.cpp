// The cost of a run's checkpoint at each question, as the student's
// computer pays it: the checkpoint written whole (temporary file, synced,
// renamed, the folder synced) after every answer, with the report growing
// beside it, through the program's own CheckpointFile. The baseline is the
// disk's own floor in the same run, written in turn with it: the same bytes
// written whole the same way by bare system calls. Both go to a folder on
// the disk (not a memory file system), given on the command line.
//
//   quizdesk_checkpoint_bench DIR [ROUNDS]
//
// Prints p50, p99 and the worst of both per test (the demo's 12 questions
// and a run of 100 questions of the generated maximal test), and fails when
// a checkpoint's p99 is 5 ms or more above the baseline's or over 5 ms
// while the baseline's is under it.

#include "MaxTestGenerator.h"

#include "definition/TestLoader.h"
#include "results/CheckpointFile.h"
#include "results/ReportFile.h"
#include "run/ManualClock.h"
#include "run/RunStart.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kLimitMs = 5.0;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The floor: `bytes` written whole by bare system calls.
bool writeBare(const std::filesystem::path& dir, const std::string& bytes)
{
    const std::filesystem::path tmp = dir / "baseline.tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ::write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tmp.c_str(), (dir / "baseline").c_str()) == 0;
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = ok && dfd >= 0 && ::fsync(dfd) == 0;
    if (dfd >= 0) {
        ::close(dfd);
    }
    return ok;
}

struct Figures
{
    double p50 = 0;
    double p99 = 0;
    double worst = 0;
};

Figures figures(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        return ms[std::min(ms.size() - 1, std::size_t(q * double(ms.size() - 1) + 0.5))];
    };
    return {at(0.5), at(0.99), ms.back()};
}

// Plays `rounds` runs of the test: a checkpoint after every answer, each
// followed by the baseline write of the same bytes. False on a failed write.
bool measure(const char* what, qd::TestModel& model, const std::filesystem::path& dir, int rounds,
             bool& withinLimit)
{
    qd::RunState st;
    if (!qd::prepareRun(model, st, 7).ok()) {
        std::fprintf(stderr, "%s: the draw failed\n", what);
        return false;
    }
    const std::vector<int> asked = qd::questionsAsked(model, st);
    std::vector<double> checkpointMs;
    std::vector<double> baselineMs;
    const std::filesystem::path folder = dir / "REZ";
    model.reportDir = "REZ";
    const std::string name = "Bench";
    for (int round = 0; round < rounds; ++round) {
        const qd::TestModel& m = model;
        qd::ReportFile report;
        qd::CheckpointFile checkpoints(report);
        const qd::ManualClock clock;
        st.studentName = name;
        st.testTitle = qd::testTitleOf(m.testName, dir);
        if (!report.createReport(m, st, clock, dir).ok()) {
            std::fprintf(stderr, "%s: no report in %s\n", what, folder.c_str());
            return false;
        }
        qd::Checkpoint c;
        c.testId = qd::testIdentity(model);
        c.studentName = name;
        c.seed = st.seed;
        c.askingOrder = asked;
        c.optionOrders = qd::optionOrdersOf(m, asked);
        for (const int q : asked) {
            st.currentQuestion = q;
            st.answerText = "typed text of about this length";
            report.writeQuestionLine(m, st, 1.0f);
            c.answers.push_back({q + 1, 1.0f, true});
            c.finishedCount += 1;
            c.score += 1.0f;
            c.testUsedMs += 30000;

            auto start = Clock::now();
            checkpoints.save(c);
            checkpointMs.push_back(msSince(start));
            if (qd::Status s = checkpoints.takeFault(); !s.ok()) {
                std::fprintf(stderr, "%s: a checkpoint was not written\n", what);
                return false;
            }
            c.reportName = report.path().filename().string();
            c.reportText = report.text();
            start = Clock::now();
            if (!writeBare(dir, qd::encodeCheckpoint(c))) {
                std::fprintf(stderr, "%s: the baseline was not written\n", what);
                return false;
            }
            baselineMs.push_back(msSince(start));
        }
        checkpoints.discard();
        report.close();
        std::filesystem::remove_all(folder);
    }
    const Figures cp = figures(checkpointMs);
    const Figures base = figures(baselineMs);
    std::printf("%s: %zu checkpoints: p50 %.2f ms, p99 %.2f ms, worst %.2f ms\n", what,
                checkpointMs.size(), cp.p50, cp.p99, cp.worst);
    std::printf("%s: baseline (the same bytes, bare calls): p50 %.2f ms, p99 %.2f ms, worst %.2f "
                "ms\n",
                what, base.p50, base.p99, base.worst);
    const bool ok = cp.p99 < kLimitMs || (base.p99 >= kLimitMs && cp.p99 - base.p99 < kLimitMs);
    std::printf("%s: p99 %s\n", what,
                ok ? (cp.p99 < kLimitMs ? "under 5 ms" : "over 5 ms, as the disk's own floor is")
                   : "OVER 5 ms");
    withinLimit = withinLimit && ok;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: quizdesk_checkpoint_bench DIR [ROUNDS]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    auto charW = [](int, bool) { return 8; };

    qd::LoadResult demo =
        qd::loadTestDir(QUIZDESK_SOURCE_DIR "/examples/demo", qd::WindowGeometry{}, charW);
    const qdbench::GeneratedTest big = qdbench::generateMaxTest();
    qd::LoadResult max = qd::loadTestBytes(big.voprosi, big.otveti, qd::WindowGeometry{}, charW);
    if (!demo.ok() || !max.ok()) {
        std::fprintf(stderr, "a test did not load\n");
        return 1;
    }
    bool withinLimit = true;
    if (!measure("demo (12 questions)", *demo.value(), dir, rounds, withinLimit) ||
        !measure("maximal test (100 of 5000 questions)", *max.value(), dir, rounds, withinLimit)) {
        return 1;
    }
    return withinLimit ? 0 : 1;
}
