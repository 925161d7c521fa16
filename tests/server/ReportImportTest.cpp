#include "JournalCheck.h"
#include "ReportImport.h"
#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "results/ReportSource.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

using namespace qd;
using namespace qd::server;

namespace {

namespace fs = std::filesystem;

const fs::path kReports = fs::path(QUIZDESK_SOURCE_DIR) / "examples/analysis/reports";
const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples/demo";
const std::string kOlena = "Бондаренко Олена Василівна";

// The demo test with its key of question 7 as written in `line` (the lab
// computers of the example exam had "7) 1 2 1", a slip), in `dir`.
std::unique_ptr<TestModel> demoKeyed(const fs::path& dir, const std::string& line)
{
    fs::create_directories(dir);
    for (const char* f : {"voprosi.txt", "7.jpg", "8.bmp", "9.jpg"}) {
        fs::copy_file(fs::exists(kDemo / "source" / f) ? kDemo / "source" / f : kDemo / f, dir / f);
    }
    std::string key = readFileBounded(kDemo / "source/otveti.txt", 1 << 20).value();
    key.replace(key.find("7) 1 1 1"), 8, line);
    std::ofstream(dir / "otveti.txt", std::ios::binary) << key;
    auto loaded = loadTestDir(dir, WindowGeometry{}, [](int, bool) { return 8; });
    EXPECT_TRUE(loaded.ok()) << fromCp1251(loaded.fault().message);
    return loaded.ok() ? std::move(loaded).value() : nullptr;
}

struct Import : ::testing::Test
{
    QTemporaryDir dir;
    fs::path lab = fs::path(dir.path().toStdString()) / "lab";
    std::unique_ptr<SqlJournal> journal;
    std::vector<const TestModel*> tests; // none: reports are taken as they are
    int64_t now = 1'800'000'000;

    void SetUp() override
    {
        fs::create_directories(lab);
        auto j = SqlJournal::open(dir.filePath(QStringLiteral("j.sqlite")).toStdString(), "lab");
        ASSERT_TRUE(j.ok()) << j.fault().message;
        journal = std::move(j.value());
    }

    void put(const std::string& name, const std::string& bytes)
    {
        std::ofstream(lab / name, std::ios::binary) << bytes;
    }
    static std::string example(const char* name)
    {
        return readFileBounded(kReports / name, 1 << 20).value();
    }

    std::vector<ImportedReport> run(const fs::path& only = {})
    {
        std::vector<fs::path> files;
        if (!only.empty()) {
            files.push_back(lab / only);
        } else {
            files = ReportFolder(lab).files().value();
        }
        return importReports(*journal, lab, files, {tests, now});
    }

    std::vector<Sitting> sittings() { return journal->sittings().value(); }
};

} // namespace

TEST_F(Import, EachReportIsStoredOnceAndAChangedOneAsAnotherAttempt)
{
    const std::string olena = example("БондаренкоОленаВасил.txt");
    put("a.txt", olena);
    put("b.txt", example("ГнатюкАндрiйПетрович.txt"));
    put("notes.docx", "PK\3\4 not a report\n");
    const auto first = run();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].outcome, ImportOutcome::Stored) << importLine(first[0]);
    EXPECT_EQ(first[1].outcome, ImportOutcome::Stored);
    EXPECT_EQ(first[2].outcome, ImportOutcome::Skipped);
    EXPECT_EQ(importLine(first[0]), "a.txt: stored as sitting 1");

    auto stored = sittings();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].student, kOlena);
    EXPECT_EQ(stored[0].state, SittingState::Finished);
    EXPECT_EQ(stored[0].percent, 96);
    EXPECT_EQ(journal->reports(kOlena).value(), std::vector<std::string>{olena});
    EXPECT_EQ(journal->answers().value().size(), 24u); // 12 question rows each

    // Again: nothing new.
    for (const ImportedReport& r : run()) {
        EXPECT_NE(r.outcome, ImportOutcome::Stored) << importLine(r);
        EXPECT_NE(r.outcome, ImportOutcome::Differs) << importLine(r);
    }
    EXPECT_EQ(sittings().size(), 2u);

    // The lab's copy differs from the journal's: kept as another attempt.
    std::string changed = olena;
    changed.replace(changed.find("26.00"), 5, "27.00");
    put("a.txt", changed);
    const auto third = run("a.txt");
    ASSERT_EQ(third[0].outcome, ImportOutcome::Differs) << importLine(third[0]);
    EXPECT_EQ(journal->reports(kOlena).value().size(), 2u);
    const auto incidents = journal->incidents(10).value();
    ASSERT_EQ(incidents.size(), 1u);
    EXPECT_EQ(incidents[0].kind, "report-differs");
    EXPECT_EQ(incidents[0].student, kOlena);
}

TEST_F(Import, AnOpenSittingIsCompletedOnlyWhenSilent)
{
    Sitting s;
    s.student = kOlena;
    s.computer = "pc-3";
    s.address = "10.0.0.3";
    s.started = now - 600;
    s.lastSeen = now - 30; // live
    ASSERT_TRUE(journal->begin().ok());
    const auto id = journal->insertSitting(s);
    ASSERT_TRUE(id);
    ASSERT_TRUE(journal->commit().ok());

    put("a.txt", example("БондаренкоОленаВасил.txt"));
    const auto live = run();
    EXPECT_EQ(live[0].outcome, ImportOutcome::Refused) << importLine(live[0]);
    EXPECT_EQ(sittings()[0].state, SittingState::Open);

    now += 120; // a minute and more without a message
    const auto later = run();
    EXPECT_EQ(later[0].outcome, ImportOutcome::Completed) << importLine(later[0]);
    const auto stored = sittings();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].id, *id);
    EXPECT_EQ(stored[0].state, SittingState::Finished);
    EXPECT_EQ(stored[0].computer, "pc-3");
    EXPECT_TRUE(stored[0].hasReport);
}

// Two versions of the test share their names: a lab file is scored with the
// one that confirms its figures, as the server scores a final message, and
// verify chooses the same way. A report of neither, or that does not fit,
// is refused.
TEST_F(Import, ReportsAreCheckedWithTheTestTheServerWouldChoose)
{
    const auto right = demoKeyed(lab.parent_path() / "right", "7) 1 1 1");
    const auto slipped = demoKeyed(lab.parent_path() / "slipped", "7) 1 2 1");
    ASSERT_TRUE(right && slipped);
    tests = {right.get(), slipped.get()};

    const std::string olena = example("БондаренкоОленаВасил.txt"); // 26.00, 96 %: the slip's
    put("a.txt", olena);
    std::string other = example("ГнатюкАндрiйПетрович.txt");
    const std::string name = toCp1251("Демонстраційний тест");
    other.replace(other.find(name), name.size(), toCp1251("Інший тест"));
    put("b.txt", other);
    std::string over = example("ДмитренкоIринаОлегiв.txt");
    const std::string row = "     1          2.00        1,"; // question 1, mark 2
    over.replace(over.find(row), row.size(), "     1          9.00        1,");
    put("c.txt", over);
    const auto done = run();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0].outcome, ImportOutcome::Stored) << importLine(done[0]);
    EXPECT_EQ(done[1].outcome, ImportOutcome::Refused) << importLine(done[1]);
    EXPECT_NE(done[1].detail.find("not among the tests given"), std::string::npos)
        << done[1].detail;
    EXPECT_EQ(done[2].outcome, ImportOutcome::Refused) << importLine(done[2]);

    const auto stored = sittings();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].percent, 96);
    EXPECT_EQ(stored[0].verified, "yes");
    EXPECT_EQ(stored[0].claimedPercent, 96);

    // verify scores it again with the version that confirms it, whichever
    // comes first; with the right key alone it finds the stored result is
    // not what the report scores.
    for (const auto& order : {std::vector<const TestModel*>{right.get(), slipped.get()},
                              std::vector<const TestModel*>{slipped.get(), right.get()}}) {
        const JournalCheckOutcome o = checkJournal(*journal, order);
        EXPECT_EQ(o.broken, "") << o.broken;
        EXPECT_NE(o.out.find("1 finished sitting(s) scored again from their reports: as stored"),
                  std::string::npos)
            << o.out;
    }
    const JournalCheckOutcome o = checkJournal(*journal, {right.get()});
    EXPECT_EQ(o.broken, "sitting 1 (" + kOlena +
                            "): the journal holds 26.00 points, 96 %, Відмінно, its stored "
                            "report scores 27.00 points, 100 %, Відмінно");
}

// A lab file whose computer scored otherwise (the slip in its key) is
// stored with the server's figures beside its own, and flagged.
TEST_F(Import, ALabFileScoredOtherwiseIsStoredWithTheServersFigures)
{
    const auto right = demoKeyed(lab.parent_path() / "right", "7) 1 1 1");
    ASSERT_TRUE(right);
    tests = {right.get()};
    put("a.txt", example("БондаренкоОленаВасил.txt")); // claims 26.00, scores 27.00
    const auto done = run();
    ASSERT_EQ(done[0].outcome, ImportOutcome::Stored) << importLine(done[0]);
    const auto stored = sittings();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].percent, 100);
    EXPECT_DOUBLE_EQ(stored[0].score, 27.0);
    EXPECT_EQ(stored[0].claimedPercent, 96);
    EXPECT_EQ(stored[0].verified, "mismatch");
    EXPECT_EQ(stored[0].flags, "score-mismatch");
    const auto incidents = journal->incidents(10).value();
    ASSERT_EQ(incidents.size(), 1u);
    EXPECT_EQ(incidents[0].kind, "score-mismatch");
    EXPECT_EQ(checkJournal(*journal, tests).broken, "");
}
