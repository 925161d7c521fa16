// The program's window in examination mode against a real TCP peer: a fake
// exam server on 127.0.0.1, driven by clicks on the real MainWindow through the
// wiring to the session and the exam link. The test is the timed fixture
// (three questions of one right option each, in file order); HOME is a
// temporary directory, where the report goes.
#include "app/ObjectNames.h"
#include "app/QuizDeskApp.h"

#include "FindWidget.h"
#include "MessageRecorder.h"
#include "StudentTable.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Cp1251.h"
#include "exam/ServerReply.h"
#include "run/ManualClock.h"

#include "EventWait.h"
#include "FakeExamServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using qd::test::FakeExamServer;
using Phase = qd::TestSession::Phase;

const fs::path kTimed = fs::path(QUIZDESK_SOURCE_DIR) / "tests" / "fixtures" / "timed";
const QColor kAqua(0, 255, 255);
const std::string kNoLink = "Не вдається встановити зв'язок\nіз програмою проведення іспиту!\n";

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

using qdtest::studentTable;

struct QuizDeskAppExamTest : ::testing::Test
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
    FakeExamServer server;
    std::unique_ptr<qd::QuizDeskApp> app;

    fs::path dir() const { return fs::path(tmp.path().toStdString()) / "test"; }
    fs::path home() const { return fs::path(tmp.path().toStdString()) / "home"; }

    void SetUp() override
    {
        fs::create_directories(dir());
        fs::create_directories(home());
        qputenv("HOME", QByteArray::fromStdString(home().string()));
        for (const char* f : {"voprosi.txt", "otveti.txt"}) {
            fs::copy_file(kTimed / f, dir() / f);
        }
        std::ofstream(dir() / "IPaddress.txt", std::ios::binary) << "127.0.0.1\r\n";
        std::ofstream(dir() / "students.dbf", std::ios::binary)
            << studentTable({"Бондар Т.", "Коваль І."});
        ASSERT_TRUE(server.listen());
        auto run = qd::startUp(form, reporter, dir(), QRect(0, 0, 1024, 768), 1);
        ASSERT_TRUE(run.has_value());
        app = std::make_unique<qd::QuizDeskApp>(std::move(*run), form, results, reporter, clock,
                                                dir());
        app->examLink().setPort(server.port());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void TearDown() override { qputenv("HOME", savedHome); }

    template <typename T = QWidget> T* child(const char* name)
    {
        return qdtest::child<T>(form, name);
    }
    QCheckBox* examBox() { return child<QCheckBox>(qd::mainWindowNames::examCheckBox); }
    QPushButton* beginButton() { return child<QPushButton>(qd::mainWindowNames::beginButton); }
    QComboBox* nameBox() { return child<QComboBox>(qd::mainWindowNames::studentNameBox); }
    bool titlePageUsable() { return examBox()->isEnabled() && beginButton()->isEnabled(); }
    qd::TestSession& session() { return app->session(); }

    void clickExamBox() { QTest::mouseClick(examBox(), Qt::LeftButton); }
    void pressBegin() { QTest::mouseClick(beginButton(), Qt::LeftButton); }
    void next() { QTest::mouseClick(child(qd::mainWindowNames::nextButton), Qt::LeftButton); }
    // A press on the text of option `row` of the question shown.
    void choose(int row)
    {
        const qd::AnswerSlot& s = session().slotAt(0, row);
        const QPoint p((s.left + s.right) / 2, (s.top + s.bottom) / 2);
        QTest::mousePress(&form, Qt::LeftButton, Qt::NoModifier, p);
        QTest::mouseRelease(&form, Qt::LeftButton, Qt::NoModifier, p);
    }

    // Ticks the box (reading the student list), picks the first name and
    // presses "Почати тестування".
    void beginExam()
    {
        if (!examBox()->isChecked()) {
            clickExamBox();
        }
        ASSERT_TRUE(examBox()->isChecked());
        nameBox()->setCurrentIndex(0);
        pressBegin();
    }
    bool questionShown()
    {
        return QTest::qWaitFor([this] { return session().phase() == Phase::Question; }, 5000);
    }
    bool received(std::size_t n)
    {
        return qd::test::waitFor([&] { return server.received().size() >= n; });
    }
    // The link has given up: the title page is usable again.
    bool backOnTheTitlePage(std::size_t messagesShown)
    {
        return QTest::qWaitFor(
            [&] { return recorder.shown.size() >= messagesShown && titlePageUsable(); }, 5000);
    }
    void expectTitlePageWaiting()
    {
        EXPECT_EQ(session().phase(), Phase::TitlePage);
        EXPECT_FALSE(child<QTimer>(qd::mainWindowNames::serverWaitTimer)->isActive());
        EXPECT_TRUE(titlePageUsable());
    }
};

TEST_F(QuizDeskAppExamTest, RegistersReportsEachQuestionButTheLastAndSendsTheReport)
{
    // Every click on the box, ticking or unticking, reads the list again and
    // replaces the names (a big table must not grow the box by itself on
    // every click).
    clickExamBox();
    EXPECT_TRUE(examBox()->isChecked());
    EXPECT_EQ(nameBox()->count(), 2);
    EXPECT_TRUE(nameBox()->currentText().isEmpty()); // nothing typed for the student
    clickExamBox();
    EXPECT_FALSE(examBox()->isChecked());
    std::ofstream(dir() / "students.dbf", std::ios::binary | std::ios::trunc)
        << studentTable({"Бондар Т.", "Коваль І.", "Шевчук О."});
    clickExamBox();
    ASSERT_EQ(nameBox()->count(), 3);
    EXPECT_EQ(nameBox()->itemText(0), QStringLiteral("Бондар Т."));
    EXPECT_EQ(nameBox()->itemText(2), QStringLiteral("Шевчук О."));

    nameBox()->setCurrentIndex(1);
    pressBegin();
    // While the link is being opened the title page takes no second try.
    EXPECT_FALSE(examBox()->isEnabled());
    EXPECT_FALSE(beginButton()->isEnabled());
    ASSERT_TRUE(questionShown());
    ASSERT_EQ(server.received().size(), 1u);
    const std::string name = qd::toCp1251("Коваль І.");
    EXPECT_EQ(server.received()[0].fields.kind, qd::ExamMessage::Registration);
    EXPECT_EQ(server.received()[0].fields.studentName, name);
    const QGroupBox* strip = child<QGroupBox>(qd::mainWindowNames::statusStrip);
    EXPECT_EQ(strip->palette().color(QPalette::Window), kAqua);
    // As drawn (the style's frame may shade it a little).
    const QColor shown =
        form.grab().toImage().pixelColor(strip->geometry().topLeft() + QPoint(10, 50));
    EXPECT_EQ(shown.red(), 0);
    EXPECT_GE(shown.green(), 240);
    EXPECT_EQ(shown.green(), shown.blue());

    choose(0); // right
    next();
    next();    // nothing chosen: wrong
    choose(0); // right
    next();
    ASSERT_EQ(session().phase(), Phase::Finished);
    ASSERT_TRUE(received(4));
    const auto& r = server.received();
    EXPECT_EQ(r[1].fields.kind, qd::ExamMessage::Progress);
    EXPECT_EQ(r[1].fields.answeredCount, 1);
    EXPECT_EQ(r[1].fields.lastRight, 1);
    EXPECT_EQ(r[1].fields.scoreValue, 2.0f);
    EXPECT_EQ(r[2].fields.kind, qd::ExamMessage::Progress);
    EXPECT_EQ(r[2].fields.answeredCount, 2);
    EXPECT_EQ(r[2].fields.lastRight, 0);
    EXPECT_EQ(r[2].fields.scoreValue, 2.0f);
    // The last question only in the final message.
    EXPECT_EQ(r[3].fields.kind, qd::ExamMessage::Final);
    EXPECT_EQ(r[3].fields.answeredCount, 3);
    EXPECT_EQ(r[3].fields.lastRight, 1);
    EXPECT_EQ(r[3].fields.scoreValue, 67.0f);
    EXPECT_EQ(r[3].fields.gradeText, qd::toCp1251("Задовільно"));
    const fs::path reportFile = app->report().path();
    ASSERT_FALSE(reportFile.empty());
    EXPECT_EQ(r[3].report, readFile(reportFile));
    for (const auto& m : r) {
        EXPECT_TRUE(m.checks);
        EXPECT_EQ(m.connection, 1);
        EXPECT_EQ(m.fields.studentName, name);
    }
    // 100 ms after the results the link closes, for good.
    ASSERT_TRUE(
        qd::test::waitFor([&] { return app->examLink().idle() && !server.clientConnected(); }));
    qd::test::runEventsFor(200);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_TRUE(recorder.shown.empty());
}

TEST_F(QuizDeskAppExamTest, EachRefusalReturnsToTheTitlePageWithItsMessage)
{
    struct Case
    {
        int16_t code;
        bool stillTicked;
        std::string message;
    };
    // -2 last: the student then corrects nothing but presses again, and the
    // name is registered on a fresh connection.
    const Case cases[] = {
        {-1, false, "У Вас немає дозволу на проходження\nекзаменаційного тестування!\n"},
        {-3, false, "Тестування студента Бондар Т. вже проводиться!\n"},
        {-2, true,
         "Ваші дані відсутні в БД!\nПеревірте правильність написання прізвища та ініціалів.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        recorder.shown.clear();
        server.push(FakeExamServer::verdict(c.code));
        beginExam();
        ASSERT_TRUE(backOnTheTitlePage(1));
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(examBox()->isChecked(), c.stillTicked);
        expectTitlePageWaiting();
        EXPECT_EQ(nameBox()->currentText(), QStringLiteral("Бондар Т."));
    }
    EXPECT_EQ(server.connections(), 3);

    pressBegin();
    ASSERT_TRUE(questionShown());
    EXPECT_EQ(server.connections(), 4);
    EXPECT_EQ(server.received().back().connection, 4);
    EXPECT_EQ(server.received().back().fields.kind, qd::ExamMessage::Registration);
}

TEST_F(QuizDeskAppExamTest, ServerClosingTheConnectionDuringTheTestGetsTheMessageAgain)
{
    server.push(FakeExamServer::verdict(0));
    server.push(FakeExamServer::hangUp()); // on the first progress message
    beginExam();
    ASSERT_TRUE(questionShown());
    choose(0);
    next();
    ASSERT_TRUE(received(3));
    const auto& r = server.received();
    EXPECT_EQ(r[1].connection, 1);
    EXPECT_EQ(r[2].connection, 2);
    EXPECT_EQ(r[2].bytes, r[1].bytes); // the same progress message
    next();
    ASSERT_TRUE(received(4));
    EXPECT_EQ(r[3].connection, 2);
    EXPECT_EQ(r[3].fields.answeredCount, 2);
    EXPECT_EQ(session().phase(), Phase::Question);
    EXPECT_TRUE(recorder.shown.empty());
}

TEST_F(QuizDeskAppExamTest, NoServerGivesTheConnectionMessageAndTheTitlePageAgain)
{
    app->examLink().setPort(FakeExamServer::unusedPort());
    beginExam();
    ASSERT_TRUE(backOnTheTitlePage(1));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{kNoLink});
    EXPECT_TRUE(examBox()->isChecked());
    expectTitlePageWaiting();
    // Pressing again tries again.
    pressBegin();
    ASSERT_TRUE(backOnTheTitlePage(2));
    EXPECT_EQ(recorder.texts().back(), kNoLink);
    // Unticked, the test starts without the server.
    clickExamBox();
    pressBegin();
    ASSERT_TRUE(questionShown());
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(QuizDeskAppExamTest, MissingFilesAreReportedAndTheTitlePageStaysUsable)
{
    fs::remove(dir() / "IPaddress.txt");
    clickExamBox();
    EXPECT_EQ(nameBox()->count(), 2);
    fs::remove(dir() / "students.dbf");
    // Without the table every click tells so; the last names stay.
    clickExamBox();
    clickExamBox();
    EXPECT_TRUE(examBox()->isChecked());
    EXPECT_EQ(nameBox()->count(), 2);
    const std::string noTable = "Не удается открыть файл students.dbf!";
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{noTable, noTable}));

    recorder.shown.clear();
    nameBox()->setCurrentIndex(0);
    pressBegin();
    EXPECT_EQ(recorder.texts(),
              std::vector<std::string>{
                  "Программа проведения экзамена не запущена!\nНе удается получить IP адрес.\n"});
    EXPECT_FALSE(examBox()->isChecked());
    expectTitlePageWaiting();
    EXPECT_EQ(server.connections(), 0);
}

// ---- Broken and hostile servers: the student is never trapped ------------

// Lets the link's clock run on in steps of `stepMs` (with a moment of real
// time for the sockets after each) until `done` holds or `totalMs` passed.
// Returns the clock time it took.
template <typename Done>
uint32_t advanceUntil(qd::ManualClock& clock, uint32_t stepMs, uint32_t totalMs, Done done)
{
    uint32_t t = 0;
    while (!done() && t < totalMs) {
        clock.advance(stepMs);
        t += stepMs;
        qd::test::runEventsFor(20);
    }
    return t;
}

TEST_F(QuizDeskAppExamTest, DamagedRepliesForeverShowOneBoxThenTheTitlePageAgain)
{
    std::string damaged = qd::ServerReply::encode(1, 0);
    damaged[3] = char(damaged[3] ^ 0x10);
    server.setFallback(FakeExamServer::raw(damaged));
    // The student leaves the box up a while, then closes it.
    recorder.whileShown = [] { qd::test::runEventsFor(100); };
    beginExam();
    const uint32_t took = advanceUntil(clock, 50, qd::ExamLink::kGiveUpMs, [&] {
        return titlePageUsable() && recorder.shown.size() == 2;
    });
    EXPECT_LE(took, qd::ExamLink::kGiveUpMs);
    EXPECT_EQ(recorder.texts(),
              (std::vector<std::string>{"Сбойное сообщение от программы проведения экзамена!\n",
                                        kNoLink}));
    EXPECT_EQ(recorder.mostBoxesUp, 1);
    EXPECT_TRUE(examBox()->isChecked());
    expectTitlePageWaiting();
    EXPECT_EQ(server.received().size(), std::size_t(qd::ExamLink::kDamagedLimit));
    // The title page works: unticked, the test starts.
    clickExamBox();
    pressBegin();
    ASSERT_TRUE(questionShown());
    EXPECT_EQ(recorder.shown.size(), 2u);
}

TEST_F(QuizDeskAppExamTest, ASilentOrClosingServerGivesTheTitlePageBackAfterTheTimeLimit)
{
    for (const bool closes : {false, true}) {
        SCOPED_TRACE(closes ? "closes at once" : "never answers");
        recorder.shown.clear();
        server.setFallback(FakeExamServer::silence());
        server.setCloseOnAccept(closes);
        const int before = server.connections();
        beginExam();
        ASSERT_TRUE(qd::test::waitFor([&] { return server.connections() > before; }));
        const uint32_t waited = advanceUntil(clock, 100, qd::ExamLink::kGiveUpMs - 100,
                                             [&] { return titlePageUsable(); });
        EXPECT_EQ(waited, qd::ExamLink::kGiveUpMs - 100);
        EXPECT_FALSE(titlePageUsable());
        EXPECT_TRUE(recorder.shown.empty());
        advanceUntil(clock, 100, 200, [&] { return titlePageUsable(); });
        ASSERT_TRUE(backOnTheTitlePage(1));
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{kNoLink});
        EXPECT_TRUE(examBox()->isChecked());
        expectTitlePageWaiting();
        // A few attempts, never a storm.
        EXPECT_LE(server.connections() - before, closes ? 8 : 1);
    }
}

TEST_F(QuizDeskAppExamTest, AnUnusableAddressIsToldAtOnce)
{
    std::ofstream(dir() / "IPaddress.txt", std::ios::binary | std::ios::trunc) << "exam-server\r\n";
    beginExam();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{kNoLink});
    EXPECT_TRUE(examBox()->isChecked());
    expectTitlePageWaiting();
    qd::test::runEventsFor(100);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(QuizDeskAppExamTest, AServerLostDuringTheTestLeavesTheTestAndItsReport)
{
    beginExam();
    ASSERT_TRUE(questionShown());
    // From now on every connection is closed at once.
    server.setCloseOnAccept(true);
    server.hangUpNow();
    choose(0);
    next();
    next();
    choose(0);
    next();
    ASSERT_EQ(session().phase(), Phase::Finished);
    const fs::path reportFile = app->report().path();
    ASSERT_FALSE(reportFile.empty());
    EXPECT_TRUE(recorder.shown.empty());
    // The final message never gets through: the student is told once the
    // time limit has passed; the report stays on disk.
    advanceUntil(clock, 100, qd::ExamLink::kGiveUpMs + 200,
                 [&] { return !recorder.shown.empty(); });
    ASSERT_TRUE(qd::test::waitFor([&] { return !recorder.shown.empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{kNoLink});
    EXPECT_TRUE(app->examLink().idle());
    EXPECT_GT(fs::file_size(reportFile), 0u);
    EXPECT_LE(server.connections(), 8);
}

} // namespace
