#include "ReportImport.h"
#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "results/ReportSource.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

using namespace qd;
using namespace qd::server;

namespace {

namespace fs = std::filesystem;

const fs::path kReports = fs::path(QUIZDESK_SOURCE_DIR) / "examples/analysis/reports";
const std::string kOlena = "Бондаренко Олена Василівна";

struct Import : ::testing::Test
{
    QTemporaryDir dir;
    fs::path lab = fs::path(dir.path().toStdString()) / "lab";
    std::unique_ptr<SqlJournal> journal;
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
        std::string error;
        return *readFileBounded(kReports / name, 1 << 20, &error);
    }

    std::vector<ImportedReport> run(const fs::path& only = {})
    {
        std::vector<fs::path> files;
        if (!only.empty()) {
            files.push_back(lab / only);
        } else {
            files = ReportFolder(lab).files().value();
        }
        return importReports(*journal, lab, files, {nullptr, now});
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
    ASSERT_FALSE(journal->commit());

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
