// A click on "Екзаменаційне тестування" with a big class list: students.dbf
// of 1,000,000 records read and parsed, and its names put into the name box
// (which replaces what the box held). The resident memory after each round
// is reported as a counter: it must stay flat from click to click. Aim: a
// click on a million names under 2 s, memory not growing with the clicks.

#include "app/MainWindow.h"
#include "exam/StudentList.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

constexpr uint32_t kRecords = 1000000;

std::string bigTable()
{
    std::string t(qd::StudentList::kFirstRecord, '\0');
    t[0] = 3;
    for (int i = 0; i < 4; ++i) {
        t[std::size_t(4 + i)] = char((kRecords >> (8 * i)) & 0xFF);
    }
    t.reserve(t.size() + std::size_t(kRecords) * qd::StudentList::kRecordSize);
    for (uint32_t i = 0; i < kRecords; ++i) {
        std::string record(qd::StudentList::kRecordSize, '\0');
        record[0] = ' ';
        const std::string name = "Student " + std::to_string(i) + " A.B.";
        record.replace(qd::StudentList::kNameAt, name.size(), name);
        t += record;
    }
    return t;
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

void BM_ExamBoxClickMillionNames(benchmark::State& state)
{
    const std::string table = bigTable();
    qd::MainWindow form;
    for (auto _ : state) {
        form.setStudentNames(qd::StudentList::parse(table));
    }
    state.counters["rss_mb"] = double(residentKb()) / 1024.0;
}
BENCHMARK(BM_ExamBoxClickMillionNames)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->Repetitions(2);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
