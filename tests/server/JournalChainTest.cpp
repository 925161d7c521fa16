// The journal's chains: every stored event chained, and the check that finds
// a row changed, deleted or inserted behind the server's back.

#include "ExamDesk.h"
#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "run/ManualClock.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>
#include <string>

using namespace qd;
using namespace qd::server;

namespace {

std::string sampleReport()
{
    QFile f(
        QStringLiteral(QUIZDESK_SOURCE_DIR "/examples/analysis/reports/БондаренкоОленаВасил.txt"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll().toStdString();
}

struct Chain : ::testing::Test
{
    QTemporaryDir dir;
    ManualClock clock{LocalTime{2026, 12, 7, 10, 0, 0}};
    Roster roster;
    std::string path;

    void SetUp() override
    {
        std::string table(456, '\0');
        table[4] = 2;
        for (const char* n : {"Бондар Т.", "Коваль І."}) {
            std::string record = " 0001" + toCp1251(n);
            record.resize(92, '\0');
            table += record;
        }
        roster.loadBytes(table);
        path = dir.filePath(QStringLiteral("j.sqlite")).toStdString();
    }

    std::unique_ptr<SqlJournal> open(const std::string& server = "lab-1")
    {
        auto j = SqlJournal::open(path, server);
        EXPECT_TRUE(std::holds_alternative<std::unique_ptr<SqlJournal>>(j))
            << std::get<Fault>(j).message;
        return std::move(std::get<std::unique_ptr<SqlJournal>>(j));
    }

    // A small exam: two students, progress, a final with its report, an
    // incident, a release.
    void exam(SqlJournal& journal)
    {
        ExamDesk desk(journal, clock, roster, RuleOptions{});
        const auto send = [&](int16_t kind, const char* name, const std::string& report = {},
                              int answered = 0, float score = 0.0f) {
            Arrival a;
            a.fields.kind = kind;
            a.fields.studentName = toCp1251(name);
            a.fields.hostName = std::string("pc-") + name[0];
            a.fields.answeredCount = int16_t(answered);
            a.fields.scoreValue = score;
            // The final's grade is the report's (a plausible final raises
            // no incident of its own).
            a.fields.gradeText = kind == ExamMessage::Final ? toCp1251("Відмінно") : "";
            a.report = report;
            a.address = "10.0.0.1";
            ASSERT_TRUE(journal.begin().ok());
            desk.handle(a);
            ASSERT_TRUE(journal.commit().ok());
            clock.advance(1000);
        };
        send(ExamMessage::Registration, "Бондар Т.");
        send(ExamMessage::Progress, "Бондар Т.", {}, 1, 1.5f);
        send(ExamMessage::Final, "Бондар Т.", sampleReport(), 12, 96.0f);
        send(ExamMessage::Registration, "Коваль І.");
        send(ExamMessage::Registration, "Нема Н."); // not on the roster: an incident
        ASSERT_TRUE(std::get<bool>(journal.release("Коваль І.", 1000)));
    }

    std::optional<std::string> broken(SqlJournal& journal)
    {
        auto r = journal.verifyChains();
        EXPECT_TRUE(std::holds_alternative<SqlJournal::ChainCheck>(r));
        return std::get<SqlJournal::ChainCheck>(r).broken;
    }

    void sql(const char* statement)
    {
        QSqlDatabase raw =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        EXPECT_TRUE(q.exec(QString::fromUtf8(statement))) << statement;
        q.finish();
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
};

} // namespace

TEST_F(Chain, AnUntouchedJournalHolds)
{
    auto journal = open();
    exam(*journal);
    auto r = journal->verifyChains();
    const auto& check = std::get<SqlJournal::ChainCheck>(r);
    EXPECT_FALSE(check.broken) << *check.broken;
    ASSERT_EQ(check.chains.size(), 1u);
    EXPECT_EQ(check.chains[0].name, "lab-1");
    // Two registrations (each a sitting opened and its computer seen), a
    // progress, a final and the client's claim beside it, an incident, a
    // release.
    EXPECT_EQ(check.chains[0].events, 9);
    EXPECT_EQ(check.chains[0].head.size(), 64u);
}

TEST_F(Chain, EveryChangeBehindTheServersBackIsFound)
{
    struct Case
    {
        const char* statement;
        const char* found;
    };
    const Case cases[] = {
        {"UPDATE sittings SET score = 9 WHERE id = 1", "sitting 1 (Бондар Т.): score is 9"},
        {"UPDATE sittings SET percent = 100 WHERE id = 1", "percent is 100 in the journal"},
        {"UPDATE sittings SET report = CAST('x' AS BLOB) WHERE id = 1", "report is sha256"},
        {"UPDATE answers SET points = 5 WHERE sitting = 1 AND seq = 0", "answers is sha256"},
        {"DELETE FROM answers WHERE sitting = 1 AND seq = 1", "answers is sha256"},
        {"DELETE FROM sittings WHERE id = 2",
         "sitting 2 (Коваль І.) is in chain lab-1 but not in the journal"},
        {"INSERT INTO sittings (student, computer, address, server, state, answered, started, "
         "last_seen, percent, grade) VALUES ('Мельник А.', 'pc', '10.0.0.9', 'lab-1', "
         "'finished', 30, 0, 0, 100, 'Відмінно')",
         "sitting 3 (Мельник А.) was written by no event"},
        {"UPDATE incidents SET detail = 'nothing' WHERE id = 1",
         "incident 1 (Нема Н.): detail is \"nothing\""},
        {"DELETE FROM incidents", "incident 1 (Нема Н.) is in chain lab-1 but not in the journal"},
        {"UPDATE events SET body = replace(body, '96', '95') WHERE seq = 4",
         "event 4 of chain lab-1 (final) breaks the chain"},
        {"DELETE FROM events WHERE seq = 2", "chain lab-1 goes from event 1 to event 3"},
        {"INSERT INTO events (chain, seq, kind, body, value) VALUES ('lab-1', 10, 'final', "
         "'{\"kind\":\"final\"}', '00')",
         "event 10 of chain lab-1 (final) breaks the chain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        QFile::remove(QString::fromStdString(path));
        auto journal = open();
        exam(*journal);
        journal.reset();
        sql(c.statement);
        journal = open();
        const auto found = broken(*journal);
        ASSERT_TRUE(found.has_value());
        EXPECT_NE(found->find(c.found), std::string::npos) << *found;
    }
}

TEST_F(Chain, AJournalFromBeforeTheChainsIsAdoptedAndThenHolds)
{
    {
        auto journal = open();
        exam(*journal);
    }
    // As the journal was before the chains: no events table.
    sql("DROP TABLE events");
    auto journal = open();
    auto r = journal->verifyChains();
    const auto& check = std::get<SqlJournal::ChainCheck>(r);
    EXPECT_FALSE(check.broken) << *check.broken;
    ASSERT_EQ(check.chains.size(), 1u);
    EXPECT_EQ(check.chains[0].events, 3); // two sittings and an incident
    // New events follow the adopted ones; a change to an adopted row shows.
    exam(*journal);
    EXPECT_FALSE(broken(*journal));
    journal.reset();
    sql("UPDATE sittings SET grade = 'Добре' WHERE id = 1");
    journal = open();
    const auto found = broken(*journal);
    ASSERT_TRUE(found);
    EXPECT_NE(found->find("sitting 1 (Бондар Т.): grade is \"Добре\""), std::string::npos)
        << *found;
}

TEST_F(Chain, TwoServersKeepOneChainEach)
{
    auto one = open("lab-1");
    auto two = open("lab-2");
    exam(*one);
    ExamDesk desk(*two, clock, roster, RuleOptions{});
    Arrival a;
    a.fields.studentName = toCp1251("Бондар Т.");
    a.fields.hostName = "pc-2";
    a.address = "10.0.0.2";
    ASSERT_TRUE(two->begin().ok());
    desk.handle(a); // sat already: an incident in lab 2
    ASSERT_TRUE(two->commit().ok());
    const auto check = std::get<SqlJournal::ChainCheck>(one->verifyChains());
    EXPECT_FALSE(check.broken) << *check.broken;
    ASSERT_EQ(check.chains.size(), 2u);
    EXPECT_EQ(check.chains[1].name, "lab-2");
    EXPECT_EQ(check.chains[1].events, 1);
}
