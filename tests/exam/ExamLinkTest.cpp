// The exam link against a real TCP peer: a fake exam server on 127.0.0.1.
#include "definition/Cp1251.h"
#include "exam/ExamLink.h"
#include "exam/ServerReply.h"
#include "results/ReportFile.h"
#include "run/ManualClock.h"
#include "run/RunStart.h"

#include "EventWait.h"
#include "FakeExamServer.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace qd;
using qd::test::FakeExamServer;
using qd::test::waitFor;

namespace {

const std::string kFaulty = toCp1251("Сбойное сообщение от программы проведения экзамена!\n");
const std::string kNoConnection =
    toCp1251("Не вдається встановити зв'язок\nіз програмою проведення іспиту!\n");

// What the link asked of its window.
struct Seen
{
    int connected = 0;
    int titlePage = 0;
    int untick = 0;
    std::vector<int> refused;
    std::vector<std::string> messages;
};

class ExamLinkTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { qd::test::ensureCoreApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.listen());
        writeAddress("127.0.0.1\r\n");
        link.setPort(server.port());
        link.setHostName("lab-pc-07");
        QObject::connect(&link, &ExamLink::linkEvent, [this](const qd::LinkEvent& e) { note(e); });
    }

    // The link's events as the run host reads them.
    void note(const qd::LinkEvent& e)
    {
        switch (e.kind) {
        case qd::LinkEvent::Kind::Connected:
            ++seen.connected;
            break;
        case qd::LinkEvent::Kind::Dropped:
            if (e.refusedCode != 0) {
                seen.refused.push_back(e.refusedCode);
            }
            ++seen.titlePage;
            seen.untick += e.studentRefused ? 1 : 0;
            break;
        case qd::LinkEvent::Kind::AddressUnusable:
            ++seen.untick;
            break;
        case qd::LinkEvent::Kind::Notice:
            seen.messages.push_back(e.text);
            break;
        }
    }

    void writeAddress(const std::string& text)
    {
        std::ofstream(path() / "IPaddress.txt", std::ios::binary | std::ios::trunc) << text;
    }
    std::filesystem::path path() const { return dir.path().toStdString(); }

    // Registers `name` and waits for the grant.
    void registerAndGrant(const std::string& name)
    {
        ASSERT_TRUE(link.open(name));
        ASSERT_TRUE(waitFor([&] { return link.examPermitted(); }));
        ASSERT_TRUE(link.linkActive());
    }

    // Waits until the server holds `n` messages and the link has handled
    // every reply.
    bool receivedAndSettled(std::size_t n)
    {
        return waitFor([&] { return server.received().size() >= n && !link.awaitingReply(); });
    }

    // Waits for `done` while the link's clock moves on by kWakeMs at every
    // look, about ten times as fast as real time.
    bool waitAdvancing(const std::function<bool()>& done)
    {
        return waitFor([&] {
            if (done()) {
                return true;
            }
            clock.advance(ExamLink::kWakeMs);
            return false;
        });
    }

    QTemporaryDir dir;
    FakeExamServer server;
    ManualClock clock;
    ExamLink link{path(), clock};
    Seen seen;
};

std::string report(std::size_t n)
{
    std::string r(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        r[i] = char(i * 31 + 1);
    }
    return r;
}

} // namespace

TEST_F(ExamLinkTest, RegistersAndReportsProgressAndTheFinalMessage)
{
    const std::string name = toCp1251("Петренко П.І.");
    registerAndGrant(name);
    ASSERT_EQ(server.received().size(), 1u);
    ExamMessage registration;
    registration.hostName = "lab-pc-07";
    registration.studentName = name;
    EXPECT_EQ(server.received()[0].bytes, registration.bytes());
    EXPECT_EQ(seen.connected, 1);
    EXPECT_TRUE(seen.messages.empty());
    EXPECT_EQ(link.state(), qd::LinkState::Registered);
    EXPECT_TRUE(link.registeredAndAcknowledged());

    // Two questions of three: progress after the first and second, then
    // the last one answered and the results.
    link.answered(1, true, 1.0f);
    link.progress(1, true, 1.0f);
    link.answered(2, false, 1.5f);
    link.progress(2, false, 1.5f);
    link.answered(3, true, 2.5f);
    link.sendFinal(83, toCp1251("Добре"), report(1000));
    EXPECT_EQ(link.state(), qd::LinkState::Finishing);
    EXPECT_FALSE(link.registeredAndAcknowledged());
    ASSERT_TRUE(receivedAndSettled(4));

    const auto& r = server.received();
    EXPECT_EQ(r[1].fields.kind, 1);
    EXPECT_EQ(r[1].fields.answeredCount, 1);
    EXPECT_EQ(r[1].fields.lastRight, 1);
    EXPECT_EQ(r[1].fields.scoreValue, 1.0f);
    EXPECT_EQ(r[2].fields.answeredCount, 2);
    EXPECT_EQ(r[2].fields.lastRight, 0);
    EXPECT_EQ(r[2].fields.scoreValue, 1.5f);
    ASSERT_EQ(r[3].bytes.size(), 1163u);
    EXPECT_TRUE(r[3].checks);
    EXPECT_EQ(r[3].fields.kind, 2);
    EXPECT_EQ(r[3].fields.answeredCount, 3); // the last question answered
    EXPECT_EQ(r[3].fields.lastRight, 1);
    EXPECT_EQ(r[3].fields.scoreValue, 83.0f);
    EXPECT_EQ(r[3].fields.gradeText, toCp1251("Добре"));
    EXPECT_EQ(r[3].report, report(1000));
    for (const auto& m : r) {
        EXPECT_TRUE(m.checks);
        EXPECT_EQ(m.fields.studentName, name);
        EXPECT_EQ(m.connection, 1);
    }

    link.closeAfterDelay();
    EXPECT_TRUE(link.linkActive()); // only after 100 ms
    ASSERT_TRUE(waitFor([&] { return link.idle() && !server.clientConnected(); }));
    EXPECT_FALSE(link.linkActive());
    EXPECT_EQ(link.state(), qd::LinkState::Closed);
    EXPECT_EQ(server.connections(), 1); // closed for good: no reconnection
}

// The link's states change only as the table says; an input the table does
// not list for a state leaves the state alone.
TEST(LinkStates, TheTableDecidesEveryChange)
{
    using S = qd::LinkState;
    using I = qd::LinkInput;
    const struct
    {
        S from;
        I input;
        std::optional<S> to;
    } cases[] = {
        {S::Idle, I::Open, S::Connecting},
        {S::Connecting, I::Lost, std::nullopt}, // tried again, still connecting
        {S::Connecting, I::Connected, S::Registering},
        {S::Registering, I::Lost, S::Connecting},
        {S::Registering, I::Granted, S::Registered},
        {S::Registered, I::Granted, std::nullopt}, // a progress message's verdict
        {S::Registered, I::Lost, S::Reconnecting},
        {S::Reconnecting, I::Connected, S::Registered},
        {S::Reconnecting, I::FinalSent, S::Finishing},
        {S::Finishing, I::Lost, std::nullopt}, // the final message goes again
        {S::Finishing, I::FinalAnswered, S::Registered},
        {S::Finishing, I::Closed, S::Closed},
        {S::Registering, I::Dropped, S::Idle},
        {S::Finishing, I::Dropped, S::Idle},
        {S::Idle, I::Dropped, std::nullopt},
        {S::Idle, I::Closed, std::nullopt},
        {S::Closed, I::Lost, std::nullopt}, // the graceful close's own end
        {S::Closed, I::Open, S::Connecting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(qd::linkStateName(c.from)) + " " + std::to_string(int(c.input)));
        EXPECT_EQ(qd::nextLinkState(c.from, c.input), c.to);
    }
    // One change at most for each state and input.
    for (const auto& a : qd::kLinkTransitions) {
        int same = 0;
        for (const auto& b : qd::kLinkTransitions) {
            same += a.from == b.from && a.input == b.input ? 1 : 0;
        }
        EXPECT_EQ(same, 1) << qd::linkStateName(a.from);
    }
}

TEST_F(ExamLinkTest, EachRefusalReturnsToTheTitlePage)
{
    struct Case
    {
        int16_t code;
        bool untick;
        std::string message;
    };
    const std::vector<Case> cases = {
        {-1, true, "У Вас немає дозволу на проходження\nекзаменаційного тестування!\n"},
        {-2, false,
         "Ваші дані відсутні в БД!\nПеревірте правильність написання прізвища та ініціалів.\n"},
        {-3, true, "Тестування студента Ivanov I. вже проводиться!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        seen = {};
        server.push(FakeExamServer::verdict(c.code));
        ASSERT_TRUE(link.open("Ivanov I."));
        ASSERT_TRUE(waitFor([&] { return seen.titlePage == 1; }));
        EXPECT_EQ(seen.refused, std::vector<int>{c.code});
        EXPECT_EQ(seen.untick, c.untick ? 1 : 0);
        EXPECT_EQ(seen.messages, std::vector<std::string>{toCp1251(c.message)});
        EXPECT_FALSE(link.linkActive());
        EXPECT_FALSE(link.examPermitted());
        EXPECT_EQ(link.state(), qd::LinkState::Idle);
        // The link is dropped for good: no reconnection follows.
        ASSERT_TRUE(waitFor([&] { return !server.clientConnected(); }));
        qd::test::runEventsFor(50);
        EXPECT_TRUE(link.idle());
    }
    EXPECT_EQ(server.connections(), 3);

    // The student corrects the name; it is registered on a fresh connection.
    registerAndGrant("Ivanov I.I.");
    EXPECT_EQ(server.connections(), 4);
    EXPECT_EQ(server.received().back().fields.studentName, "Ivanov I.I.");
    EXPECT_EQ(server.received().back().fields.kind, 0);
}

TEST_F(ExamLinkTest, ServerHangingUpMakesTheClientReconnectAndResend)
{
    registerAndGrant("Ivanov");
    // The server takes the progress message and drops the connection.
    server.push(FakeExamServer::hangUp());
    link.answered(1, true, 2.0f);
    link.progress(1, true, 2.0f);
    ASSERT_TRUE(receivedAndSettled(3));
    const auto& r = server.received();
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(seen.connected, 2);
    EXPECT_EQ(r[2].connection, 2);
    EXPECT_EQ(r[2].bytes, r[1].bytes); // the current message, not a registration
    EXPECT_EQ(r[2].fields.kind, 1);
    EXPECT_TRUE(link.linkActive());
    EXPECT_TRUE(seen.messages.empty());
}

TEST_F(ExamLinkTest, EveryRepeatAfterTheResultsCarriesTheReport)
{
    registerAndGrant("Ivanov");
    // After the final message: a faulty reply, a request to send again and
    // a dropped connection each make the client repeat it whole.
    std::string faulty = ServerReply::encode(1, 0);
    faulty[1] = char(faulty[1] ^ 0x10);
    server.push(FakeExamServer::raw(faulty));
    server.push(FakeExamServer::verdict(0, 0));
    server.push(FakeExamServer::hangUp());
    link.sendFinal(100, toCp1251("Відмінно"), report(300));
    // The second repeat waits for its turn (kResendGapMs).
    ASSERT_TRUE(
        waitAdvancing([&] { return server.received().size() >= 5 && !link.awaitingReply(); }));
    const auto& r = server.received();
    ASSERT_EQ(r.size(), 5u);
    for (std::size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(r[i].bytes.size(), 463u) << i;
        EXPECT_EQ(r[i].report, report(300)) << i;
        EXPECT_EQ(r[i].bytes, link.sendBuffer()) << i;
    }
    EXPECT_EQ(r[4].connection, 2);
    EXPECT_EQ(seen.messages, std::vector<std::string>{kFaulty});
}

TEST_F(ExamLinkTest, RepliesAreFramedAcrossReads)
{
    // A request to repeat and the grant in one write: both are handled.
    server.push(FakeExamServer::raw(ServerReply::encode(0, 0) + ServerReply::encode(1, 0)));
    server.push(FakeExamServer::silence()); // the repeated registration
    registerAndGrant("Ivanov");
    ASSERT_TRUE(waitFor([&] { return server.received().size() == 2; }));
    EXPECT_EQ(server.received()[1].bytes, server.received()[0].bytes);

    // A refusal in two writes acts once it is whole.
    server.setFallback(FakeExamServer::silence());
    link.progress(1, true, 1.0f);
    ASSERT_TRUE(waitFor([&] { return server.received().size() == 3; }));
    const std::string refusal = ServerReply::encode(1, -2);
    server.sendNow(refusal.substr(0, 3));
    qd::test::runEventsFor(100);
    EXPECT_TRUE(link.linkActive());
    EXPECT_TRUE(link.awaitingReply());
    server.sendNow(refusal.substr(3));
    ASSERT_TRUE(waitFor([&] { return seen.titlePage == 1; }));
    EXPECT_EQ(seen.refused, std::vector<int>{-2});
    EXPECT_EQ(seen.untick, 0);
}

TEST_F(ExamLinkTest, WhatCameWithAFaultyReplyIsDropped)
{
    std::string faulty = ServerReply::encode(1, 0);
    faulty[6] = char(faulty[6] ^ 0x80);
    // The refusal behind the faulty reply is not trusted; the repeated
    // registration is answered properly.
    server.push(FakeExamServer::raw(faulty + ServerReply::encode(1, -1)));
    server.push(FakeExamServer::verdict(0));
    registerAndGrant("Ivanov");
    ASSERT_TRUE(receivedAndSettled(2));
    EXPECT_EQ(seen.messages, std::vector<std::string>{kFaulty});
    EXPECT_EQ(seen.titlePage, 0);
    EXPECT_TRUE(link.linkActive());
    ASSERT_EQ(server.received().size(), 2u);
    EXPECT_EQ(server.received()[1].bytes, server.received()[0].bytes);
}

TEST_F(ExamLinkTest, NoServerGivesTheConnectionMessageAndTheTitlePageAgain)
{
    link.setPort(FakeExamServer::unusedPort());
    for (int attempt = 1; attempt <= 2; ++attempt) {
        ASSERT_TRUE(link.open("Ivanov"));
        EXPECT_EQ(seen.titlePage, attempt - 1); // the outcome comes as an event
        ASSERT_TRUE(waitFor([&] { return seen.titlePage == attempt; }));
        EXPECT_EQ(seen.messages.back(), kNoConnection);
        EXPECT_EQ(seen.untick, 0); // the box stays ticked
        EXPECT_FALSE(link.linkActive());
        EXPECT_TRUE(link.idle());
    }
    EXPECT_EQ(seen.messages.size(), 2u);
    EXPECT_EQ(seen.connected, 0);
}

TEST_F(ExamLinkTest, MissingAddressFileStopsBeforeConnecting)
{
    std::filesystem::remove(path() / "IPaddress.txt");
    EXPECT_FALSE(link.open("Ivanov"));
    EXPECT_EQ(seen.messages,
              std::vector<std::string>{toCp1251("Программа проведения экзамена не запущена!\n"
                                                "Не удается получить IP адрес.\n")});
    EXPECT_EQ(seen.untick, 1);
    qd::test::runEventsFor(100);
    EXPECT_EQ(server.connections(), 0);
    EXPECT_TRUE(link.idle());
}

TEST_F(ExamLinkTest, FinalMessageCarriesTheReportFileByteForByte)
{
    const std::filesystem::path home = path() / "home";
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    TestModel model = qdtest::modelOf({});
    model.testName = toCp1251("Гази");
    qdtest::FixedClock reportClock;
    ReportFile file;
    RunState st;
    st.studentName = toCp1251("Петренко П.І.");
    st.testTitle = qd::testTitleOf(model.testName, path());
    ASSERT_TRUE(file.createReport(model, st, reportClock, path()).ok());
    file.writeClosingRows(st, 0, 61, toCp1251("Тест не завершено!"));

    registerAndGrant(toCp1251("Петренко П.І."));
    link.finished(0, toCp1251("Тест не завершено!"), file.finishedReport());
    ASSERT_TRUE(receivedAndSettled(2));

    std::ifstream in(file.path(), std::ios::binary);
    std::stringstream onDisk;
    onDisk << in.rdbuf();
    ASSERT_GT(onDisk.str().size(), 200u);
    const auto& last = server.received().back();
    EXPECT_TRUE(last.checks);
    EXPECT_EQ(last.report, onDisk.str());
    EXPECT_EQ(last.bytes.size(), onDisk.str().size() + 163);
    // Then the link closes, as after the results.
    ASSERT_TRUE(waitFor([&] { return link.idle() && !server.clientConnected(); }));
    EXPECT_EQ(server.connections(), 1);
}

TEST_F(ExamLinkTest, ResultsWithoutAReportSendAnEmptyOne)
{
    registerAndGrant("Ivanov");
    link.finished(0, toCp1251("Тест не завершено!"), {}); // no report file
    ASSERT_TRUE(receivedAndSettled(2));
    const auto& last = server.received().back();
    EXPECT_EQ(last.bytes.size(), 163u);
    EXPECT_TRUE(last.checks);
    EXPECT_EQ(last.fields.kind, 2);
    EXPECT_EQ(last.fields.gradeText, toCp1251("Тест не завершено!"));
    EXPECT_TRUE(last.report.empty());
}

TEST_F(ExamLinkTest, NothingIsSentWithoutAnActiveLink)
{
    link.progress(1, true, 1.0f);
    link.finished(50, "x", {});
    registerAndGrant("Ivanov");
    link.closeWhenAnswered();
    link.progress(2, true, 2.0f);
    link.finished(50, "x", {});
    ASSERT_TRUE(waitFor([&] { return !server.clientConnected(); }));
    qd::test::runEventsFor(50);
    ASSERT_EQ(server.received().size(), 1u);
    EXPECT_EQ(server.received()[0].fields.kind, 0);
}

// ---- Broken and hostile servers -------------------------------------------

namespace {

// A grant with one bit flipped: its checksum fails.
std::string damaged()
{
    std::string r = ServerReply::encode(1, 0);
    r[3] = char(r[3] ^ 0x10);
    return r;
}

} // namespace

TEST_F(ExamLinkTest, DamagedRepliesForeverAreToldOnceAndGiveTheLinkUp)
{
    server.setFallback(FakeExamServer::raw(damaged()));
    ASSERT_TRUE(link.open("Ivanov"));
    // The first repeat goes at once, the next only when its turn has come
    // on the clock: however fast the server answers, no more arrives.
    ASSERT_TRUE(waitFor([&] { return server.received().size() >= 2 && link.repeatPending(); }));
    qd::test::runEventsFor(200);
    EXPECT_EQ(server.received().size(), 2u);
    EXPECT_EQ(seen.messages, std::vector<std::string>{kFaulty});

    // One repeat per kResendGapMs, told no more, until the tenth damaged
    // reply in a row gives the link up.
    uint32_t elapsed = 0;
    while (seen.titlePage == 0 && elapsed < ExamLink::kGiveUpMs) {
        const std::size_t sent = server.received().size();
        clock.advance(ExamLink::kResendGapMs);
        elapsed += ExamLink::kResendGapMs;
        ASSERT_TRUE(waitFor([&] {
            return server.received().size() > sent && (link.repeatPending() || seen.titlePage > 0);
        }));
    }
    EXPECT_EQ(elapsed, (ExamLink::kDamagedLimit - 2) * ExamLink::kResendGapMs);
    EXPECT_EQ(server.received().size(), std::size_t(ExamLink::kDamagedLimit));
    for (const auto& r : server.received()) {
        EXPECT_EQ(r.bytes, server.received()[0].bytes);
    }
    EXPECT_EQ(seen.messages, (std::vector<std::string>{kFaulty, kNoConnection}));
    EXPECT_EQ(seen.titlePage, 1);
    EXPECT_EQ(seen.untick, 0);
    EXPECT_TRUE(link.idle());
    EXPECT_FALSE(link.examPermitted());
    // Given up for good.
    clock.advance(ExamLink::kGiveUpMs);
    qd::test::runEventsFor(100);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(seen.messages.size(), 2u);
}

TEST_F(ExamLinkTest, DuringTheTestAFaultyReplyIsToldOncePerMessage)
{
    registerAndGrant("Ivanov");
    // The first progress message: two damaged replies, then its answer.
    server.push(FakeExamServer::raw(damaged()));
    server.push(FakeExamServer::raw(damaged()));
    server.push(FakeExamServer::verdict(0));
    link.progress(1, true, 1.0f);
    ASSERT_TRUE(
        waitAdvancing([&] { return server.received().size() == 4 && !link.awaitingReply(); }));
    EXPECT_EQ(seen.messages, std::vector<std::string>{kFaulty});
    // The second: damaged replies from now on. Its box is its own, and the
    // earlier ones do not count towards the ten in a row.
    server.setFallback(FakeExamServer::raw(damaged()));
    link.progress(2, true, 2.0f);
    ASSERT_TRUE(waitAdvancing([&] { return seen.titlePage > 0; }));
    EXPECT_EQ(server.received().size(), 4u + std::size_t(ExamLink::kDamagedLimit));
    EXPECT_EQ(seen.messages, (std::vector<std::string>{kFaulty, kFaulty, kNoConnection}));
    EXPECT_FALSE(link.linkActive()); // nothing more is sent during this test
    link.progress(3, true, 3.0f);
    qd::test::runEventsFor(50);
    EXPECT_EQ(server.received().size(), 4u + std::size_t(ExamLink::kDamagedLimit));
}

TEST_F(ExamLinkTest, AMessageAskedForWhileOneIsShownFollowsIt)
{
    server.setFallback(FakeExamServer::raw(damaged()));
    // The window's box runs an event loop until the student closes it: the
    // student leaves the first one up while the time limit passes.
    int depth = 0;
    int deepest = 0;
    QObject::connect(&link, &ExamLink::linkEvent, [&](const qd::LinkEvent& e) {
        if (e.kind != qd::LinkEvent::Kind::Notice) {
            return;
        }
        deepest = std::max(deepest, ++depth);
        if (seen.messages.size() == 1) {
            clock.advance(ExamLink::kGiveUpMs);
            qd::test::runEventsFor(200);
        }
        --depth;
    });
    ASSERT_TRUE(link.open("Ivanov"));
    ASSERT_TRUE(waitFor([&] { return seen.messages.size() == 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(seen.messages, (std::vector<std::string>{kFaulty, kNoConnection}));
    EXPECT_EQ(seen.titlePage, 1);
    qd::test::runEventsFor(50);
    EXPECT_EQ(seen.messages.size(), 2u);
}

TEST_F(ExamLinkTest, AServerThatClosesAtOnceIsTriedLaterAndLaterThenGivenUp)
{
    server.setCloseOnAccept(true);
    ASSERT_TRUE(link.open("Ivanov"));
    // Again at once the first time, then not before the clock says so.
    ASSERT_TRUE(waitFor([&] { return server.connections() == 2 && !link.awaitingReply(); }));
    qd::test::runEventsFor(200);
    EXPECT_EQ(server.connections(), 2);
    // The delay doubles up to kBackoffMaxMs.
    uint32_t elapsed = 0;
    int n = 2;
    for (uint32_t delay : {250u, 500u, 1000u, 2000u, 4000u}) {
        SCOPED_TRACE(delay);
        ASSERT_LE(delay, ExamLink::kBackoffMaxMs);
        clock.advance(delay - 1);
        qd::test::runEventsFor(60);
        EXPECT_EQ(server.connections(), n);
        clock.advance(1);
        elapsed += delay;
        ++n;
        ASSERT_TRUE(waitFor([&] { return server.connections() == n && !link.awaitingReply(); }));
    }
    // Before the test the registration has kGiveUpMs.
    EXPECT_TRUE(seen.messages.empty());
    clock.advance(ExamLink::kGiveUpMs - elapsed - 1);
    qd::test::runEventsFor(60);
    EXPECT_EQ(seen.titlePage, 0);
    clock.advance(1);
    ASSERT_TRUE(waitFor([&] { return seen.titlePage == 1; }));
    EXPECT_EQ(seen.messages, std::vector<std::string>{kNoConnection});
    EXPECT_EQ(seen.untick, 0);
    EXPECT_TRUE(link.idle());
    clock.advance(ExamLink::kGiveUpMs);
    qd::test::runEventsFor(100);
    EXPECT_EQ(server.connections(), n);
}

TEST_F(ExamLinkTest, AFinalMessageNeverAnsweredIsToldAfterTheTimeLimit)
{
    registerAndGrant("Ivanov");
    // The server goes bad during the test: it closes every connection at
    // once. The link keeps trying, ever more slowly, and the test goes on.
    server.setCloseOnAccept(true);
    server.hangUpNow();
    ASSERT_TRUE(waitFor([&] { return server.connections() == 2 && !link.awaitingReply(); }));
    link.answered(3, true, 3.0f);
    link.finished(100, toCp1251("Відмінно"), {});
    qd::test::runEventsFor(200); // past the 100 ms of the closing timer
    EXPECT_TRUE(link.linkActive());
    EXPECT_TRUE(seen.messages.empty());
    clock.advance(ExamLink::kGiveUpMs - 1);
    qd::test::runEventsFor(60);
    EXPECT_TRUE(seen.messages.empty());
    clock.advance(1);
    ASSERT_TRUE(waitFor([&] { return !seen.messages.empty(); }));
    EXPECT_EQ(seen.messages, std::vector<std::string>{kNoConnection});
    EXPECT_TRUE(link.idle());
    EXPECT_LE(server.connections(), 4);
}

TEST_F(ExamLinkTest, AServerThatNeverAnswersIsGivenUpAfterTheTimeLimit)
{
    server.setFallback(FakeExamServer::silence());
    ASSERT_TRUE(link.open("Ivanov"));
    ASSERT_TRUE(waitFor([&] { return server.received().size() == 1; }));
    clock.advance(ExamLink::kGiveUpMs - 1);
    qd::test::runEventsFor(60);
    EXPECT_TRUE(seen.messages.empty());
    EXPECT_TRUE(link.linkActive());
    clock.advance(1);
    ASSERT_TRUE(waitFor([&] { return seen.titlePage == 1; }));
    EXPECT_EQ(seen.messages, std::vector<std::string>{kNoConnection});
    EXPECT_EQ(seen.untick, 0);
    EXPECT_TRUE(link.idle());
    ASSERT_TRUE(waitFor([&] { return !server.clientConnected(); }));
    EXPECT_EQ(server.received().size(), 1u);
}

TEST_F(ExamLinkTest, AnUnusableAddressIsToldAtOnce)
{
    const char* const cases[] = {
        "junk\r\n",    "",          "\r\n",           "exam-server.invalid", "999.1.1.1",
        "127.0.0.1.5", "224.0.0.1", "255.255.255.255"};
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        seen = {};
        writeAddress(text);
        EXPECT_FALSE(link.open("Ivanov"));
        EXPECT_EQ(seen.messages, std::vector<std::string>{kNoConnection});
        EXPECT_EQ(seen.untick, 0);
        EXPECT_TRUE(link.idle());
    }
    qd::test::runEventsFor(100);
    EXPECT_EQ(server.connections(), 0);
    EXPECT_EQ(seen.messages.size(), 1u);
}

TEST_F(ExamLinkTest, AServerThatFloodsRequestsAndNeverReadsHasNoHoldOnTheClient)
{
    registerAndGrant("Ivanov");
    // From the next connection on the server never reads and answers with
    // requests to send again as fast as the client takes them.
    server.setFlood(ServerReply::encode(0, 0));
    server.hangUpNow();
    ASSERT_TRUE(waitFor([&] { return server.connections() == 2 && link.repeatPending(); }));
    // While a repeat waits for its turn nothing is read: the flood stops
    // once the connection is full.
    qd::test::runEventsFor(300);
    const qint64 flooded = server.floodWritten();
    qd::test::runEventsFor(500);
    EXPECT_LT(server.floodWritten() - flooded, qint64(1) << 20);

    // A big final message stays partly in the connection; each repeat
    // replaces the one waiting behind it instead of queueing another.
    const std::string big = report(4 << 20);
    link.sendFinal(100, toCp1251("Відмінно"), big);
    const qint64 message = qint64(big.size()) + 163;
    for (int i = 0; i < 20; ++i) {
        clock.advance(ExamLink::kResendGapMs);
        qd::test::runEventsFor(30);
        ASSERT_LE(link.sendQueueBytes(), 2 * message) << i;
    }
    // One message does wait behind the one being written.
    EXPECT_GT(link.sendQueueBytes(), message);
    EXPECT_TRUE(link.linkActive());
}
