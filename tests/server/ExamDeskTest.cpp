#include "ExamTests.h"
#include "ExamDesk.h"
#include "journal/SqlJournal.h"

#include "../fuzz/MemoryJournal.h"

#include "definition/Cp1251.h"
#include "run/ManualClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace qd;
using namespace qd::server;

namespace {

// A roster table: each name laid into a 92-byte record; a name starting
// with '*' is marked deleted.
std::string table(const std::vector<std::string>& names)
{
    std::string file(456, '\0');
    file[4] = char(names.size());
    for (const std::string& n : names) {
        const bool deleted = n[0] == '*';
        std::string record =
            std::string(deleted ? "*" : " ") + "0001" + toCp1251(deleted ? n.substr(1) : n);
        record.resize(92, '\0');
        file += record;
    }
    return file;
}

std::string readFile(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path;
    const QByteArray b = f.readAll();
    return std::string(b.constData(), std::size_t(b.size()));
}

const std::string& sampleReport()
{
    static const std::string r = readFile(std::string(QUIZDESK_SOURCE_DIR) +
                                          "/examples/analysis/reports/БондаренкоОленаВасил.txt");
    return r;
}

struct Desk : ::testing::Test
{
    QTemporaryDir dir;
    ManualClock clock{LocalTime{2026, 12, 7, 10, 0, 0}};
    Roster roster;
    std::unique_ptr<SqlJournal> journal;
    std::unique_ptr<ExamDesk> desk;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        roster.loadBytes(table({"Бондар Т.", "Коваль І.", "*Лисенко М.", "Мельник А."}));
        auto j = SqlJournal::open(dir.filePath(QStringLiteral("j.sqlite")).toStdString(), "lab-1");
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<SqlJournal>>(j))
            << std::get<Fault>(j).message;
        journal = std::move(std::get<std::unique_ptr<SqlJournal>>(j));
        desk = std::make_unique<ExamDesk>(*journal, clock, roster, RuleOptions{});
    }

    // One message in its own batch, committed: the server's way.
    int send(int16_t kind, const char* name, const char* host = "pc-01",
             const char* address = "10.0.0.1", const std::string& report = {}, int answered = 0,
             float score = 0.0f)
    {
        Arrival a;
        a.fields.kind = kind;
        a.fields.studentName = toCp1251(name);
        a.fields.hostName = host;
        a.fields.answeredCount = int16_t(answered);
        a.fields.lastRight = 1;
        a.fields.scoreValue = score;
        a.fields.gradeText = kind == ExamMessage::Final ? toCp1251("Відмінно") : "";
        a.report = report;
        a.address = address;
        EXPECT_TRUE(journal->begin().ok());
        const int code = desk->handle(a);
        desk->flushIncidents(true);
        EXPECT_TRUE(journal->commit().ok());
        desk->batchCommitted();
        return code;
    }

    std::vector<Sitting> sittings() { return std::get<std::vector<Sitting>>(journal->sittings()); }
    std::vector<Incident> incidents()
    {
        return std::get<std::vector<Incident>>(journal->incidents(1000));
    }
};

} // namespace

TEST_F(Desk, ASittingRunsFromGrantToItsStoredReport)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    clock.advance(30000);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 1, 2.0f), 0);
    auto s = sittings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].state, SittingState::Open);
    EXPECT_EQ(s[0].student, "Бондар Т.");
    EXPECT_EQ(s[0].computer, "pc-01");
    EXPECT_EQ(s[0].answered, 1);
    EXPECT_DOUBLE_EQ(s[0].score, 2.0);
    EXPECT_EQ(s[0].lastSeen - s[0].started, 30);

    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", sampleReport(), 12, 96.0f),
              0);
    s = sittings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].state, SittingState::Finished);
    EXPECT_EQ(s[0].percent, 96);
    EXPECT_EQ(s[0].grade, "Відмінно");
    // The final message carries the percentage; the points are the report's
    // total, not those of the last progress message.
    EXPECT_DOUBLE_EQ(s[0].score, 26.0);
    const auto reports = std::get<std::vector<std::string>>(journal->reports("Бондар Т."));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], sampleReport());
    const auto rows = std::get<std::vector<AnswerRow>>(journal->answers());
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0].question, 1);
    EXPECT_DOUBLE_EQ(rows[0].points, 2.0);
    EXPECT_EQ(rows[1].answer, " говерла"); // the column as written

    // The final message again (its reply was lost), and the 163-byte record
    // a reconnecting client may send without the report: answered, stored
    // once, the report kept.
    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", sampleReport(), 12, 96.0f),
              0);
    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", {}, 12, 96.0f), 0);
    EXPECT_EQ(std::get<std::vector<std::string>>(journal->reports("Бондар Т.")), reports);
    EXPECT_EQ(std::get<std::vector<AnswerRow>>(journal->answers()).size(), 12u);
    // Sat already: refused, and not a sitting.
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), -1);
    EXPECT_EQ(sittings().size(), 1u);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 3), -1);
}

TEST_F(Desk, TheSameComputerContinuesItsSittingAndNoOtherMay)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Коваль І."), 0);
    // A repeated registration, and a progress message on a new connection
    // without one: the same sitting.
    EXPECT_EQ(send(ExamMessage::Registration, "Коваль І."), 0);
    EXPECT_EQ(send(ExamMessage::Progress, "Коваль І.", "pc-01", "10.0.0.1", {}, 2), 0);
    // Another computer, by name or by address.
    EXPECT_EQ(send(ExamMessage::Registration, "Коваль І.", "pc-02", "10.0.0.2"), -3);
    EXPECT_EQ(send(ExamMessage::Progress, "Коваль І.", "pc-01", "10.0.0.9", {}, 2), -3);
    EXPECT_EQ(send(ExamMessage::Final, "Коваль І.", "pc-02", "10.0.0.2", sampleReport()), -3);
    const auto s = sittings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].answered, 2);
    EXPECT_EQ(s[0].state, SittingState::Open);
    // The registration again is noted as the sitting resumed; then the
    // three refusals, the two of one computer within a minute as one.
    const auto i = incidents();
    ASSERT_EQ(i.size(), 3u);
    EXPECT_EQ(i[0].kind, "resumed");
    EXPECT_EQ(i[1].kind, "two-computers");
    EXPECT_EQ(i[1].address, "10.0.0.2");
    EXPECT_EQ(i[1].times, 2);
    EXPECT_EQ(i[2].address, "10.0.0.9");
    EXPECT_EQ(i[2].times, 1);

    // One computer used for a second student: granted, and noted.
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(incidents().back().kind, "computer-reused");
}

TEST_F(Desk, EveryRefusalHasItsCodeAndItsIncident)
{
    RuleOptions o;
    o.deny.insert(toCp1251("Мельник А."));
    o.from = parseLocalTime("2026-12-07 09:00");
    o.until = parseLocalTime("2026-12-07T11:30:00");
    o.allow.push_back(QHostAddress::parseSubnet(QStringLiteral("10.0.0.0/24")));
    desk->setOptions(o);
    struct Case
    {
        const char* name;
        const char* address;
        uint32_t laterMs;
        int code;
        const char* kind;
    } cases[] = {
        {"Бондар", "10.0.0.1", 0, -2, "not-on-roster"},          // a name not listed
        {"Бондар Т. ", "10.0.0.1", 0, -2, "not-on-roster"},      // compared exactly
        {"Лисенко М.", "10.0.0.1", 0, -1, "no-permission"},      // deletion mark
        {"Мельник А.", "10.0.0.1", 0, -1, "no-permission"},      // deny list
        {"Бондар Т.", "10.0.1.1", 0, -1, "no-permission"},       // outside 10.0.0.0/24
        {"Бондар Т.", "10.0.0.1", 5401000, -1, "no-permission"}, // after 11:30
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock.advance(c.laterMs);
        const std::size_t before = incidents().size();
        EXPECT_EQ(send(ExamMessage::Registration, c.name, "pc-01", c.address), c.code);
        ASSERT_EQ(incidents().size(), before + 1);
        EXPECT_EQ(incidents().back().kind, c.kind);
        EXPECT_EQ(incidents().back().address, c.address);
    }
    EXPECT_TRUE(sittings().empty());

    // Before the window opens.
    ManualClock early{LocalTime{2026, 12, 7, 8, 59, 59}};
    ExamDesk before(*journal, early, roster, o);
    Arrival a;
    a.fields.studentName = toCp1251("Коваль І.");
    a.address = "10.0.0.1";
    ASSERT_TRUE(journal->begin().ok());
    EXPECT_EQ(before.handle(a), -1);
    ASSERT_TRUE(journal->commit().ok());
    // Inside it, from an allowed address: granted.
    ManualClock inTime{LocalTime{2026, 12, 7, 11, 30, 0}};
    ExamDesk inside(*journal, inTime, roster, o);
    EXPECT_EQ(inside.handle(a), 0); // outside a batch: the statements commit on their own
    EXPECT_EQ(sittings().size(), 1u);
}

TEST_F(Desk, OddNumbersAndBytesFromTheWireNeverFailTheBatch)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    // A score that is not a number, and an answer column holding a zero byte.
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 1,
                   std::numeric_limits<float>::quiet_NaN()),
              0);
    EXPECT_EQ(sittings()[0].answered, 1);
    std::string report = sampleReport();
    const std::size_t row = report.find(toCp1251("говерла"));
    ASSERT_NE(row, std::string::npos);
    report[row] = '\0';
    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", report, 12,
                   std::numeric_limits<float>::infinity()),
              0);
    EXPECT_EQ(sittings()[0].state, SittingState::Finished);
    EXPECT_EQ(std::get<std::vector<std::string>>(journal->reports("Бондар Т.")).at(0), report);
}

TEST_F(Desk, AReportWithAccommodationsIsStoredAndTheyAreNoted)
{
    std::string report = sampleReport();
    report += toCp1251("Пристосування: time=2; quiet\n");
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", report, 12, 96.0f), 0);
    const auto s = sittings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_DOUBLE_EQ(s[0].score, 26.0); // read as a report, not refused
    const auto noted = incidents();
    ASSERT_EQ(noted.size(), 1u);
    EXPECT_EQ(noted[0].kind, "accommodations");
    EXPECT_EQ(noted[0].detail, "time=2; quiet");
    EXPECT_EQ(noted[0].student, "Бондар Т.");
    EXPECT_EQ(std::get<std::vector<std::string>>(journal->reports("Бондар Т.")).at(0), report);
}

TEST_F(Desk, RetakesAllowMoreSittings)
{
    RuleOptions o;
    o.retakes = 1;
    desk->setOptions(o);
    for (int sitting = 0; sitting < 2; ++sitting) {
        EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
        EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", sampleReport()), 0);
    }
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), -1);
    EXPECT_EQ(sittings().size(), 2u);
    EXPECT_EQ(std::get<std::vector<std::string>>(journal->reports("Бондар Т.")).size(), 2u);
}

TEST_F(Desk, AReleasedStudentMovesToAnotherComputer)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(std::get<bool>(journal->release("Бондар Т.", 100)), true);
    EXPECT_EQ(std::get<bool>(journal->release("Бондар Т.", 100)), false);
    // The released computer's client goes on: refused, it opens nothing.
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 4), -1);
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т.", "pc-02", "10.0.0.2"), 0);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 5), -3);
    const auto s = sittings();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].state, SittingState::Released);
    EXPECT_EQ(s[1].state, SittingState::Open);
    EXPECT_EQ(s[1].computer, "pc-02");
}

TEST_F(Desk, AClientStartedAgainResumesItsSittingAndEachResumeIsCounted)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    clock.advance(20000);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 3, 5.0f), 0);
    // Cut, and back 95 s later with its progress in the registration.
    clock.advance(95000);
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т.", "pc-01", "10.0.0.1", {}, 3, 5.0f), 0);
    clock.advance(70000);
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т.", "pc-01", "10.0.0.1", {}, 3, 5.0f), 0);
    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", sampleReport(), 12, 96.0f),
              0);
    const auto s = sittings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].state, SittingState::Finished);
    EXPECT_EQ(s[0].flags, "resumed");
    const auto i = incidents();
    ASSERT_EQ(i.size(), 2u);
    EXPECT_EQ(i[0].kind, "resumed");
    EXPECT_EQ(i[0].detail, "the sitting goes on after 95 s without a message; resumed 1 time");
    EXPECT_EQ(i[1].detail, "the sitting goes on after 70 s without a message; resumed 2 times");

    // The count is the sitting's own: the next sitting starts again at one.
    ASSERT_EQ(std::get<bool>(journal->release("Бондар Т.", 1)), false);
    RuleOptions retake;
    retake.retakes = 1;
    desk->setOptions(retake);
    clock.advance(60000);
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(incidents().back().detail,
              "the sitting goes on after 0 s without a message; resumed 1 time");
}

TEST_F(Desk, AMovedSittingGoesOnOnTheComputerThatRegistersNext)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 4, 6.0f), 0);
    // Not moved: another computer is refused.
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т.", "pc-02", "10.0.0.2", {}, 4, 6.0f), -3);
    EXPECT_EQ(std::get<bool>(journal->move("Бондар Т.", 100)), true);
    EXPECT_EQ(std::get<bool>(journal->move("Коваль І.", 100)), false);
    // Only a registration takes a moved sitting.
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-02", "10.0.0.2", {}, 5, 7.0f), -3);
    clock.advance(30000);
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т.", "pc-02", "10.0.0.2", {}, 4, 6.0f), 0);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-02", "10.0.0.2", {}, 5, 7.0f), 0);
    // The first computer is now the other one.
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 5, 7.0f), -3);
    const auto s = sittings();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].state, SittingState::Open);
    EXPECT_EQ(s[0].computer, "pc-02");
    EXPECT_EQ(s[0].address, "10.0.0.2");
    EXPECT_EQ(s[0].answered, 5);
    EXPECT_EQ(s[0].flags, "resumed");
    // pc-02's two refusals within a minute are one incident.
    const auto i = incidents();
    ASSERT_EQ(i.size(), 3u);
    EXPECT_EQ(i[0].times, 2);
    EXPECT_EQ(i[1].kind, "resumed");
    EXPECT_EQ(i[1].computer, "pc-02");
    EXPECT_EQ(i[1].detail, "the sitting goes on after 30 s without a message; resumed 1 time; "
                           "moved here by the examiner");
    EXPECT_EQ(i[2].kind, "two-computers");
    // The journal's chain holds the move and the new computer.
    const auto check = journal->verifyChains();
    ASSERT_TRUE(check.ok());
    EXPECT_FALSE(check.value().broken) << *check.value().broken;
}

TEST_F(Desk, TheJournalItselfAllowsOneOpenSittingAStudent)
{
    // Two servers on one journal: the constraint, not either's memory.
    auto other = SqlJournal::open(dir.filePath(QStringLiteral("j.sqlite")).toStdString(), "lab-2");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<SqlJournal>>(other));
    SqlJournal& lab2 = *std::get<std::unique_ptr<SqlJournal>>(other);
    Sitting s;
    s.student = "Бондар Т.";
    s.computer = "pc-01";
    s.address = "10.0.0.1";
    ASSERT_TRUE(journal->insertSitting(s));
    s.computer = "pc-77";
    EXPECT_FALSE(lab2.insertSitting(s));
    ASSERT_TRUE(lab2.begin().ok());
    ExamDesk desk2(lab2, clock, roster, RuleOptions{});
    Arrival a;
    a.fields.studentName = toCp1251("Бондар Т.");
    a.fields.hostName = "pc-77";
    a.address = "10.1.0.7";
    EXPECT_EQ(desk2.handle(a), -3);
    ASSERT_TRUE(lab2.commit().ok());
    ASSERT_EQ(sittings().size(), 1u);
    EXPECT_EQ(sittings()[0].server, "lab-1");
    EXPECT_EQ(incidents().back().server, "lab-2");
}

// With the test, the server's scoring is the result: the example report
// was scored on a computer whose key had a slip (question 7), 96 %; the
// test's key gives 100 %.
TEST_F(Desk, TheServersScoringIsTheResultAndTheClaimIsKeptBesideIt)
{
    auto loaded = loadExamTests({std::string(QUIZDESK_SOURCE_DIR) + "/examples/demo"});
    ASSERT_TRUE(loaded.ok()) << loaded.fault().message;
    desk->setTests(modelsOf(loaded.value()));

    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 2, 4.0f), 0);
    // Points that go down and a count that goes back: kept as sent, marked.
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 1, 3.0f), 0);
    EXPECT_EQ(sittings()[0].answered, 1);
    EXPECT_EQ(sittings()[0].flags, "implausible-progress");

    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", sampleReport(), 12, 96.0f),
              0);
    Sitting s = sittings()[0];
    EXPECT_EQ(s.state, SittingState::Finished);
    EXPECT_EQ(s.percent, 100);
    EXPECT_EQ(s.grade, "Відмінно");
    EXPECT_DOUBLE_EQ(s.score, 27.0);
    EXPECT_EQ(s.maxScore, 27);
    EXPECT_EQ(s.claimedPercent, 96);
    EXPECT_EQ(s.claimedGrade, "Відмінно");
    EXPECT_DOUBLE_EQ(s.claimedScore, 26.0);
    EXPECT_EQ(s.verified, "mismatch");
    EXPECT_EQ(s.flags, "implausible-progress,score-mismatch");
    const Incident i = incidents().back();
    EXPECT_EQ(i.kind, "score-mismatch");
    EXPECT_EQ(i.detail, "the client: 96% Відмінно (26.00 of 27 points); the server: 100% Відмінно "
                        "(27.00 of 27 points); scored otherwise: question(s) 7");
    // The student x question table has the server's points.
    const auto rows = std::get<std::vector<AnswerRow>>(journal->answers());
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[10].question, 7);
    EXPECT_DOUBLE_EQ(rows[10].points, 1.0);

    // A final of another test with no registration before it: stored as
    // sent, marked, and none of its rows enters the table.
    std::string foreign = sampleReport();
    const std::string name = toCp1251("Демонстраційний тест");
    foreign.replace(foreign.find(name), name.size(), toCp1251("Чужий тест"));
    EXPECT_EQ(send(ExamMessage::Final, "Коваль І.", "pc-02", "10.0.0.2", foreign, 12, 96.0f), 0);
    s = sittings()[1];
    EXPECT_EQ(s.state, SittingState::Finished);
    EXPECT_EQ(s.percent, 96);
    EXPECT_EQ(s.verified, "mismatch");
    EXPECT_EQ(s.flags, "implausible-final,foreign-test");
    EXPECT_EQ(std::get<std::vector<AnswerRow>>(journal->answers()).size(), 12u);
    // The claims and the marks are in the journal's chain.
    const auto check = journal->verifyChains();
    ASSERT_TRUE(check.ok());
    EXPECT_FALSE(check.value().broken) << *check.value().broken;
}

TEST_F(Desk, WithoutATestTheClaimStandsNotChecked)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(send(ExamMessage::Final, "Бондар Т.", "pc-01", "10.0.0.1", sampleReport(), 12, 96.0f),
              0);
    const Sitting s = sittings()[0];
    EXPECT_EQ(s.percent, 96);
    EXPECT_EQ(s.maxScore, 27);
    EXPECT_EQ(s.claimedPercent, 96);
    EXPECT_EQ(s.verified, "not checked");
    EXPECT_EQ(s.flags, "");
}

TEST_F(Desk, AStoppedSittingRefusesTheStudentsNextMessage)
{
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т."), 0);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 3, 5.0f), 0);
    EXPECT_EQ(std::get<bool>(journal->stop("Бондар Т.", 100)), true);
    EXPECT_EQ(std::get<bool>(journal->stop("Бондар Т.", 100)), false);
    EXPECT_EQ(send(ExamMessage::Progress, "Бондар Т.", "pc-01", "10.0.0.1", {}, 4, 6.0f), -1);
    EXPECT_EQ(incidents().back().kind, "after-close");
    // Stopped counts as sat: no new sitting without a retake.
    EXPECT_EQ(send(ExamMessage::Registration, "Бондар Т.", "pc-02", "10.0.0.2"), -1);
    const Sitting s = sittings()[0];
    EXPECT_EQ(s.state, SittingState::Stopped);
    EXPECT_EQ(s.answered, 3); // what it had
    EXPECT_DOUBLE_EQ(s.score, 5.0);
    EXPECT_EQ(sittings().size(), 1u);
    const auto check = journal->verifyChains();
    ASSERT_TRUE(check.ok());
    EXPECT_FALSE(check.value().broken) << *check.value().broken;
}

// A journal written by an earlier version gains the new columns on open;
// its sittings read as not checked.
TEST_F(Desk, AnEarlierJournalGainsTheNewColumns)
{
    const std::string path = dir.filePath(QStringLiteral("old.sqlite")).toStdString();
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE sittings (id INTEGER PRIMARY KEY AUTOINCREMENT, student TEXT NOT NULL, "
            "computer TEXT NOT NULL, address TEXT NOT NULL, server TEXT NOT NULL, state TEXT NOT "
            "NULL, answered INTEGER NOT NULL DEFAULT 0, last_right INTEGER NOT NULL DEFAULT 0, "
            "score DOUBLE PRECISION NOT NULL DEFAULT 0, percent INTEGER, grade TEXT, started "
            "BIGINT NOT NULL, last_seen BIGINT NOT NULL, finished BIGINT, report BLOB)")));
        ASSERT_TRUE(q.exec(QStringLiteral(
            "INSERT INTO sittings (student, computer, address, server, state, percent, grade, "
            "started, last_seen, finished) VALUES ('Бондар Т.', 'pc-01', '10.0.0.1', 'lab-1', "
            "'finished', 83, 'Добре', 1, 2, 3)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    auto j = SqlJournal::open(path, "lab-1");
    ASSERT_TRUE(j.ok()) << std::get<Fault>(j).message;
    const auto s = std::get<std::vector<Sitting>>(j.value()->sittings());
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].percent, 83);
    EXPECT_EQ(s[0].verified, "");
    EXPECT_EQ(s[0].maxScore, -1);
    ASSERT_TRUE(j.value()->begin().ok());
    j.value()->flag(s[0].id, "score-mismatch", 4);
    ASSERT_TRUE(j.value()->commit().ok());
    EXPECT_EQ(std::get<std::vector<Sitting>>(j.value()->sittings())[0].flags, "score-mismatch");
}

namespace {

// The SQL journal with its look-ups counted.
struct CountingJournal : qdfuzz::MemoryJournal
{
    int lookups = 0;
    std::optional<Sitting> openSitting(const std::string& student) override
    {
        ++lookups;
        return MemoryJournal::openSitting(student);
    }
};

// Every connection open and live.
struct AllLive : Connections
{
    bool live(uint64_t) const override { return true; }
    void close(uint64_t) override {}
};

} // namespace

// The connection that holds a sitting sends its progress without a look-up;
// a sitting closed behind its back is still refused, and progress that
// goes back is still flagged.
TEST_F(Desk, ProgressOnTheHoldingConnectionNeedsNoLookUp)
{
    CountingJournal memory;
    AllLive connections;
    ExamDesk held(memory, clock, roster, RuleOptions{});
    held.setConnections(&connections, "lab-1");
    const auto arrival = [](int16_t kind, int answered, float score, uint64_t connection) {
        Arrival a;
        a.fields.kind = kind;
        a.fields.studentName = toCp1251("Бондар Т.");
        a.fields.hostName = "pc-01";
        a.fields.answeredCount = int16_t(answered);
        a.fields.scoreValue = score;
        a.address = "10.0.0.1";
        a.connection = connection;
        return a;
    };
    EXPECT_EQ(held.handle(arrival(ExamMessage::Registration, 0, 0.0f, 7)), 0);
    const int afterRegistration = memory.lookups;
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(held.handle(arrival(ExamMessage::Progress, i, float(i), 7)), 0);
    }
    EXPECT_EQ(memory.lookups, afterRegistration);
    EXPECT_EQ(memory.openSitting("Бондар Т.")->answered, 5);
    // Another connection of the same student takes the whole way.
    EXPECT_EQ(held.handle(arrival(ExamMessage::Progress, 6, 6.0f, 8)), -3);
    EXPECT_GT(memory.lookups, afterRegistration);
    EXPECT_EQ(memory.openSitting("Бондар Т.")->answered, 5);
    // Points going down on the held connection are flagged.
    EXPECT_EQ(held.handle(arrival(ExamMessage::Progress, 6, 1.0f, 7)), 0);
    EXPECT_EQ(memory.openSitting("Бондар Т.")->flags, "implausible-progress");
    // Stopped by the examiner: the next message is refused, not stored.
    ASSERT_TRUE(memory.stop("Бондар Т.", 100).value());
    EXPECT_EQ(held.handle(arrival(ExamMessage::Progress, 7, 7.0f, 7)), -1);
    EXPECT_EQ(memory.latestSitting("Бондар Т.")->answered, 6);
}

// The registration's look-ups go by indexes that fit them, also on a
// journal made before those indexes.
TEST_F(Desk, RegistrationLooksUpByIndexesOnOldJournalsToo)
{
    const QString path = dir.filePath(QStringLiteral("j.sqlite"));
    journal.reset();
    const auto plan = [&](const char* sql) {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plan"));
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + QLatin1String(sql)));
        std::string out;
        while (q.next()) {
            out += q.value(3).toString().toStdString() + "\n";
        }
        return out;
    };
    const auto exec = [&](const char* sql) {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("plan"));
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QLatin1String(sql))) << sql;
    };
    (void)plan("SELECT 1");
    exec("DROP INDEX open_by_computer");
    exec("DROP INDEX incidents_by_student");
    QSqlDatabase::removeDatabase(QStringLiteral("plan"));
    auto j = SqlJournal::open(path.toStdString(), "lab-1");
    ASSERT_TRUE(j.ok());
    struct Case
    {
        const char* sql;
        const char* index;
    };
    const Case cases[] = {
        {"SELECT id FROM sittings WHERE computer = 'a' AND address = 'b' AND state = 'open'",
         "open_by_computer"},
        {"SELECT id FROM sittings WHERE student = 'a' AND state = 'open'", "one_open_sitting"},
        {"SELECT COUNT(*) FROM incidents WHERE kind = 'resumed' AND student = 'a' AND at >= 0",
         "incidents_by_student"},
    };
    for (const Case& c : cases) {
        const std::string p = plan(c.sql);
        EXPECT_NE(p.find(std::string("INDEX ") + c.index), std::string::npos) << p;
        QSqlDatabase::removeDatabase(QStringLiteral("plan"));
    }
}
