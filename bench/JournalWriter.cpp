// quizdesk_journal_writer DIR [N]: writes a generated 100-question test into
// DIR/test and an exam journal DIR/exam.sqlite of N (default 1000) finished
// sittings, each a registration, 20 progress messages and a final message
// with its generated report, stored through the server's own desk, so that
// every event is chained as in an exam; for timing quizdesk-examd verify
// (bench/run.sh).

#include "MaxTestGenerator.h"
#include "ReportsGenerator.h"
#include "ExamDesk.h"
#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "exam/StudentList.h"
#include "results/ReportReader.h"
#include "results/Rescore.h"
#include "run/ManualClock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <variant>

using namespace qd;
using namespace qd::server;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: quizdesk_journal_writer DIR [N]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 1000;
    std::error_code ec;
    std::filesystem::create_directories(dir / "test", ec);
    const qdbench::GeneratedTest test = qdbench::generateTest(100, 100);
    auto loaded = loadTestBytes(test.voprosi, test.otveti, {}, [](int, bool) { return 8; });
    if (!std::holds_alternative<std::unique_ptr<TestModel>>(loaded) ||
        !qdbench::writeTest(test, (dir / "test").string())) {
        std::fprintf(stderr, "quizdesk_journal_writer: cannot make the test in %s\n", argv[1]);
        return 1;
    }
    const TestModel& model = *std::get<std::unique_ptr<TestModel>>(loaded);
    auto opened = SqlJournal::open((dir / "exam.sqlite").string(), "lab-1");
    if (!opened.ok()) {
        std::fprintf(stderr, "quizdesk_journal_writer: %s\n", opened.fault().utf8().c_str());
        return 1;
    }
    SqlJournal& journal = *opened.value();
    std::vector<std::string> names;
    for (int s = 0; s < count; ++s) {
        names.push_back(toCp1251("Студент " + std::to_string(s)));
    }
    std::string table(456, '\0');
    const uint32_t n = uint32_t(count);
    std::memcpy(&table[4], &n, 4);
    for (const std::string& name : names) {
        std::string record = " 0001" + name;
        record.resize(92, '\0');
        table += record;
    }
    Roster roster;
    roster.loadBytes(table);
    ManualClock clock{LocalTime{2026, 12, 7, 9, 0, 0}};
    ExamDesk desk(journal, clock, roster, RuleOptions{});
    for (int s = 0; s < count; ++s) {
        if (s % 100 == 0 && (!journal.commit().ok() || !journal.begin().ok())) {
            std::fprintf(stderr, "quizdesk_journal_writer: cannot write the journal\n");
            return 1;
        }
        // A generated report with the rows our scoring can read back (its
        // choices and typed answers), scored as the server scores it.
        auto parsed = std::get<ParsedReport>(readReport(qdbench::generatedReport(model, s)));
        std::erase_if(parsed.rows, [&](const ReportRow& r) {
            const Question& q = model.questions[std::size_t(r.question - 1)];
            return !q.isChoice() && q.type != QuestionType::TypedText;
        });
        const auto rescored = rescoreReport(model, parsed);
        if (!rescored.ok()) {
            std::fprintf(stderr, "quizdesk_journal_writer: %s\n", rescored.fault().utf8().c_str());
            return 1;
        }
        const RescoredReport& scored = rescored.value();
        const std::string report = correctedReport(parsed, scored);
        Arrival a;
        a.fields.hostName = "pc-" + std::to_string(s);
        a.fields.studentName = names[std::size_t(s)];
        a.address = "10.0." + std::to_string(s / 250) + "." + std::to_string(s % 250);
        desk.handle(a);
        for (int q = 1; q <= 20; ++q) {
            a.fields.kind = ExamMessage::Progress;
            a.fields.answeredCount = int16_t(q);
            a.fields.scoreValue = float(q);
            desk.handle(a);
            clock.advance(1000);
        }
        a.fields.kind = ExamMessage::Final;
        a.fields.scoreValue = float(scored.percent);
        a.fields.gradeText = scored.grade;
        a.report = report;
        desk.handle(a);
    }
    if (!journal.commit().ok()) {
        std::fprintf(stderr, "quizdesk_journal_writer: cannot write the journal\n");
        return 1;
    }
    std::printf("100 questions, %d finished sittings\n", count);
    return 0;
}
