// The program's window in examination mode against the real exam server
// (quizdesk-examd's logic on the same event loop, its journal in a
// temporary directory): the grant, the progress, the final report stored
// byte for byte; a refusal of a student who sits elsewhere with the
// client's message. The test is the timed fixture (three questions of one
// right option each).
#include "app/ObjectNames.h"
#include "app/QuizDeskApp.h"

#include "FindWidget.h"
#include "MessageRecorder.h"
#include "StudentTable.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Cp1251.h"
#include "run/ManualClock.h"

#include "ExamServer.h"
#include "exam/ExamLink.h"
#include "ExamDesk.h"
#include "journal/SqlJournal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using Phase = qd::TestSession::Phase;
using namespace qd::server;

const fs::path kTimed = fs::path(QUIZDESK_SOURCE_DIR) / "tests" / "fixtures" / "timed";

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

using qdtest::studentTable;

struct ExamServerWindowTest : ::testing::Test
{
    QTemporaryDir tmp;
    QByteArray savedHome = qgetenv("HOME");
    // Messages shown; none may end the program here.
    MessageRecorder recorder = [] {
        MessageRecorder r;
        r.fatalFailsTest = true;
        return r;
    }();
    qd::MessageReporter reporter = recorder.reporter();
    qd::ManualClock clock{qd::LocalTime{2026, 12, 7, 10, 5, 9}};
    qd::MainWindow form;
    qd::ResultsWindow results;
    std::unique_ptr<qd::QuizDeskApp> app;
    // The server's side.
    qd::ManualClock serverClock{qd::LocalTime{2026, 12, 7, 10, 5, 9}};
    Roster roster;
    std::unique_ptr<SqlJournal> journal;
    std::unique_ptr<ExamDesk> desk;
    std::unique_ptr<ExamServer> server;

    fs::path dir() const { return fs::path(tmp.path().toStdString()) / "test"; }

    void SetUp() override
    {
        fs::create_directories(dir());
        fs::create_directories(fs::path(tmp.path().toStdString()) / "home");
        qputenv("HOME", QByteArray::fromStdString(tmp.path().toStdString() + "/home"));
        for (const char* f : {"voprosi.txt", "otveti.txt"}) {
            fs::copy_file(kTimed / f, dir() / f);
        }
        std::ofstream(dir() / "IPaddress.txt", std::ios::binary) << "127.0.0.1\r\n";
        const std::string table = studentTable({"Бондар Т.", "Коваль І."});
        std::ofstream(dir() / "students.dbf", std::ios::binary) << table;
        roster.loadBytes(table);
        auto j = SqlJournal::open(tmp.filePath(QStringLiteral("exam.sqlite")).toStdString(), "lab");
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<SqlJournal>>(j));
        journal = std::move(std::get<std::unique_ptr<SqlJournal>>(j));
        desk = std::make_unique<ExamDesk>(*journal, serverClock, roster, RuleOptions{});
        server = std::make_unique<ExamServer>(*journal, *desk, serverClock);
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0).ok());

        auto run = qd::startUp(form, reporter, dir(), QRect(0, 0, 1024, 768), 1);
        ASSERT_TRUE(run.has_value());
        app = std::make_unique<qd::QuizDeskApp>(std::move(*run), form, results, reporter, clock,
                                                dir());
        app->examLink().setPort(server->port());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void TearDown() override { qputenv("HOME", savedHome); }

    template <typename T = QWidget> T* child(const char* name)
    {
        return qdtest::child<T>(form, name);
    }
    qd::TestSession& session() { return app->session(); }
    void beginExam(int nameIndex)
    {
        QTest::mouseClick(child<QCheckBox>(qd::mainWindowNames::examCheckBox), Qt::LeftButton);
        child<QComboBox>(qd::mainWindowNames::studentNameBox)->setCurrentIndex(nameIndex);
        QTest::mouseClick(child<QPushButton>(qd::mainWindowNames::beginButton), Qt::LeftButton);
    }
    void choose(int row)
    {
        const qd::AnswerSlot& s = session().slotAt(0, row);
        const QPoint p((s.left + s.right) / 2, (s.top + s.bottom) / 2);
        QTest::mousePress(&form, Qt::LeftButton, Qt::NoModifier, p);
        QTest::mouseRelease(&form, Qt::LeftButton, Qt::NoModifier, p);
    }
    std::vector<Sitting> sittings() { return std::get<std::vector<Sitting>>(journal->sittings()); }
};

} // namespace

TEST_F(ExamServerWindowTest, ASittingFromTheWindowEndsWithItsReportInTheJournal)
{
    beginExam(0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return session().phase() == Phase::Question; }, 5000));
    ASSERT_EQ(sittings().size(), 1u);
    EXPECT_EQ(sittings()[0].student, "Бондар Т.");
    EXPECT_EQ(sittings()[0].answered, 0);

    choose(0);
    QTest::mouseClick(child(qd::mainWindowNames::nextButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return sittings()[0].answered == 1; }, 5000));
    EXPECT_TRUE(sittings()[0].lastRight);
    EXPECT_DOUBLE_EQ(sittings()[0].score, 2.0);
    QTest::mouseClick(child(qd::mainWindowNames::nextButton),
                      Qt::LeftButton); // nothing chosen: wrong
    choose(0);
    QTest::mouseClick(child(qd::mainWindowNames::nextButton), Qt::LeftButton);
    ASSERT_EQ(session().phase(), Phase::Finished);

    ASSERT_TRUE(
        QTest::qWaitFor([this] { return sittings()[0].state == SittingState::Finished; }, 5000));
    const Sitting s = sittings()[0];
    EXPECT_EQ(s.answered, 3);
    EXPECT_EQ(s.percent, 67);
    EXPECT_EQ(s.grade, "Задовільно");
    const auto reports = std::get<std::vector<std::string>>(journal->reports("Бондар Т."));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], readFile(app->report().path()));
    EXPECT_EQ(std::get<std::vector<AnswerRow>>(journal->answers()).size(), 3u);
    EXPECT_TRUE(recorder.shown.empty());
}

TEST_F(ExamServerWindowTest, TheServerGoneAndBackMidTestTheSittingContinues)
{
    int connects = 0;
    QObject::connect(&app->examLink(), &qd::ExamLink::linkEvent, [&](const qd::LinkEvent& e) {
        connects += e.kind == qd::LinkEvent::Kind::Connected ? 1 : 0;
    });
    beginExam(0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return session().phase() == Phase::Question; }, 5000));
    choose(0);
    QTest::mouseClick(child(qd::mainWindowNames::nextButton), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return sittings()[0].answered == 1; }, 5000));

    // The server goes away with its connections (as a killed one does) and
    // a new one takes the port on the same journal: the client connects
    // again at once and sends its current message again.
    const quint16 port = server->port();
    server.reset();
    server = std::make_unique<ExamServer>(*journal, *desk, serverClock);
    ASSERT_TRUE(server->listen(QHostAddress::LocalHost, port).ok());
    ASSERT_TRUE(QTest::qWaitFor([&] { return connects == 2; }, 5000));

    QTest::mouseClick(child(qd::mainWindowNames::nextButton), Qt::LeftButton);
    choose(0);
    QTest::mouseClick(child(qd::mainWindowNames::nextButton), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return sittings()[0].state == SittingState::Finished; }, 5000));
    ASSERT_EQ(sittings().size(), 1u);
    EXPECT_EQ(sittings()[0].answered, 3);
    const auto reports = std::get<std::vector<std::string>>(journal->reports("Бондар Т."));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], readFile(app->report().path()));
    EXPECT_TRUE(recorder.shown.empty());
}

TEST_F(ExamServerWindowTest, AStudentSittingElsewhereIsRefusedWithTheClientsMessage)
{
    // Коваль І. sits on another computer already.
    Sitting elsewhere;
    elsewhere.student = "Коваль І.";
    elsewhere.computer = "pc-77";
    elsewhere.address = "10.0.0.77";
    ASSERT_TRUE(journal->insertSitting(elsewhere));

    beginExam(1);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !recorder.shown.empty(); }, 5000));
    EXPECT_EQ(recorder.shown[0].text, "Тестування студента Коваль І. вже проводиться!\n");
    EXPECT_EQ(session().phase(), Phase::TitlePage);
    EXPECT_FALSE(child<QCheckBox>(qd::mainWindowNames::examCheckBox)->isChecked());
    ASSERT_EQ(sittings().size(), 1u);
    EXPECT_EQ(sittings()[0].computer, "pc-77");
}
