#include "ExamServer.h"
#include "ExamDesk.h"
#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "exam/ServerReply.h"
#include "run/ManualClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace qd;
using namespace qd::server;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "ExamServerTest";
    static char* argv[] = {name, nullptr};
    static QCoreApplication a(argc, argv);
    return a;
}

// Runs the event loop until `done` holds, at most 5 s.
bool runUntil(const std::function<bool()>& done)
{
    const QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

ExamMessage message(int16_t kind)
{
    ExamMessage m;
    m.hostName = "pc-01";
    m.studentName = toCp1251("Бондар Т.");
    m.kind = kind;
    return m;
}

struct Server : ::testing::Test
{
    QTemporaryDir dir;
    ManualClock clock{LocalTime{2026, 12, 7, 10, 0, 0}};
    Roster roster;
    std::unique_ptr<SqlJournal> journal;
    std::unique_ptr<ExamDesk> desk;
    std::unique_ptr<ExamServer> server;
    QTcpSocket client;
    std::string replies;

    void SetUp() override
    {
        app();
        std::string table(456, '\0');
        table[4] = 1;
        std::string record = " 0001" + toCp1251("Бондар Т.");
        record.resize(92, '\0');
        roster.loadBytes(table + record);
        auto j = SqlJournal::open(dir.filePath(QStringLiteral("j.sqlite")).toStdString(), "lab");
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<SqlJournal>>(j));
        journal = std::move(std::get<std::unique_ptr<SqlJournal>>(j));
        desk = std::make_unique<ExamDesk>(*journal, clock, roster, RuleOptions{});
        server = std::make_unique<ExamServer>(*journal, *desk, clock);
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0).ok());
        QObject::connect(&client, &QTcpSocket::readyRead,
                         [this] { replies += client.readAll().toStdString(); });
        client.connectToHost(QHostAddress::LocalHost, server->port());
        ASSERT_TRUE(runUntil([&] {
            return client.state() == QAbstractSocket::ConnectedState &&
                   server->connectionCount() == 1;
        }));
    }

    void send(const std::string& bytes)
    {
        client.write(bytes.data(), qint64(bytes.size()));
        client.flush();
    }

    std::vector<Incident> incidents()
    {
        return std::get<std::vector<Incident>>(journal->incidents(100));
    }
    std::vector<Sitting> sittings() { return std::get<std::vector<Sitting>>(journal->sittings()); }
};

} // namespace

TEST_F(Server, AFinalMessageSplitOverManyReadsIsAnsweredOnceAndStored)
{
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));
    EXPECT_EQ(replies, ServerReply::encode(1, 0));

    // A report that holds the trailer's bytes, sent a few bytes at a time.
    const std::string report = std::string(3000, 'r') + "\xE9\xC3\x17\x5A" + "tail\n";
    const std::string final = message(ExamMessage::Final).finalMessage(report);
    for (std::size_t at = 0; at < final.size(); at += 997) {
        send(final.substr(at, 997));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_TRUE(runUntil([&] { return replies.size() == 14; }));
    EXPECT_EQ(replies.substr(7), ServerReply::encode(1, 0));
    const auto stored = std::get<std::vector<std::string>>(journal->reports("Бондар Т."));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], report);
}

TEST_F(Server, ADamagedMessageIsAskedAgainAndTenInARowDropThePeer)
{
    std::string bad = message(ExamMessage::Registration).bytes();
    bad[80] = char(bad[80] ^ 1);
    send(bad);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));
    EXPECT_EQ(replies, ServerReply::encode(0, 0));
    EXPECT_TRUE(sittings().empty());

    // The client sends again after each reply: eight more are asked again,
    // the tenth in a row is not answered.
    for (std::size_t i = 2; i <= 9; ++i) {
        send(bad);
        ASSERT_TRUE(runUntil([&] { return replies.size() == i * 7; }));
    }
    send(bad);
    ASSERT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(replies.size(), 9u * 7u);
    EXPECT_EQ(replies.find(ServerReply::encode(1, 0)), std::string::npos);
    ASSERT_TRUE(runUntil([&] { return !incidents().empty(); }));
    EXPECT_EQ(incidents().back().kind, "dropped");
    EXPECT_NE(incidents().back().detail.find("damaged"), std::string::npos);
}

TEST_F(Server, AForeignKindDropsThePeerWithAnIncident)
{
    send(message(5).bytes());
    ASSERT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(replies.empty());
    ASSERT_TRUE(runUntil([&] { return !incidents().empty(); }));
    EXPECT_EQ(incidents().back().detail, "a message of kind 5");
}

TEST_F(Server, AFinalMessageThatStallsIsDroppedAfter30sAndKept)
{
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));
    const std::string part =
        message(ExamMessage::Final).finalMessage(std::string(500, 'r')).substr(0, 300);
    send(part);
    ASSERT_TRUE(runUntil([&] { return server->connectionCount() == 1; }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    clock.advance(ExamServer::kIdleMs - 1);
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 1u);
    clock.advance(1);
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 0u);
    server->commitNow();
    const auto list = incidents();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.back().kind, "dropped");
    EXPECT_EQ(list.back().bytes, part);
    EXPECT_EQ(list.back().student, "Бондар Т.");
    // The sitting stays open: the report is still on the student's computer.
    ASSERT_EQ(sittings().size(), 1u);
    EXPECT_EQ(sittings()[0].state, SittingState::Open);
}

TEST_F(Server, AConnectionThatSaysNothingIsDroppedAfter30s)
{
    clock.advance(ExamServer::kIdleMs - 1);
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 1u);
    clock.advance(1);
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 0u);
    server->commitNow();
    ASSERT_FALSE(incidents().empty());
    EXPECT_EQ(incidents().back().detail, "no message within 30 s of connecting");
    EXPECT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(Server, ABatchWhoseStatementsFailIsAskedAgainNotAnswered)
{
    // The table is gone for a moment (another program on the journal): the
    // batch fails, nothing is stored, and the client is asked to send again
    // instead of being told it was granted.
    {
        QSqlDatabase raw =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(dir.filePath(QStringLiteral("j.sqlite")));
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("ALTER TABLE sittings RENAME TO sittings_away")));
        send(message(ExamMessage::Registration).bytes());
        ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));
        EXPECT_EQ(replies, ServerReply::encode(0, 0));
        ASSERT_TRUE(q.exec(QStringLiteral("ALTER TABLE sittings_away RENAME TO sittings")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    EXPECT_TRUE(sittings().empty());
    // Sent again, it is granted.
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 14; }));
    EXPECT_EQ(replies.substr(7), ServerReply::encode(1, 0));
    EXPECT_EQ(sittings().size(), 1u);
}

TEST_F(Server, AMessageTheJournalCannotTakeIsAskedAgainInTimeAndStoredOnceLater)
{
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));
    const std::string final = message(ExamMessage::Final).finalMessage("report\n");
    {
        // Another process holds the write lock.
        QSqlDatabase raw =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        raw.setDatabaseName(dir.filePath(QStringLiteral("j.sqlite")));
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        send(final);
        // No reply while it may still be stored, and the loop is not held:
        // each try waits a moment for the lock and gives the loop back.
        QDeadlineTimer spin(400);
        int turns = 0;
        while (!spin.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            ++turns;
        }
        EXPECT_GT(turns, 4);
        EXPECT_EQ(replies.size(), 7u);
        // Once it has waited its time it is asked again, never granted.
        clock.advance(ExamServer::kStoreWaitMs);
        ASSERT_TRUE(runUntil([&] { return replies.size() == 14; }));
        EXPECT_EQ(replies.substr(7), ServerReply::encode(0, 0));
        ASSERT_TRUE(q.exec(QStringLiteral("COMMIT")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    EXPECT_EQ(sittings()[0].state, SittingState::Open);
    // Sent again with the lock gone, it is stored and granted, once.
    send(final);
    ASSERT_TRUE(runUntil([&] { return replies.size() == 21; }));
    EXPECT_EQ(replies.substr(14), ServerReply::encode(1, 0));
    EXPECT_EQ(sittings()[0].state, SittingState::Finished);
    EXPECT_EQ(std::get<std::vector<std::string>>(journal->reports("Бондар Т.")).size(), 1u);
}

TEST_F(Server, AJournalFileDeletedOrMadeReadOnlyIsNoticedAndNothingIsGranted)
{
    const QString file = dir.filePath(QStringLiteral("j.sqlite"));
    std::vector<JournalHealth> seen;
    QObject::connect(server.get(), &ExamServer::journalHealthChanged,
                     [&](const JournalHealth& h) { seen.push_back(h); });
    struct Case
    {
        const char* what;
        std::function<void()> harm;
        std::function<void()> mend;
        const char* detail;
    };
    const Case cases[] = {
        {"read-only", [&] { QFile::setPermissions(file, QFile::ReadOwner); },
         [&] { QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner); },
         "cannot be written"},
        {"deleted", [&] { QFile::rename(file, file + QStringLiteral(".away")); },
         [&] { QFile::rename(file + QStringLiteral(".away"), file); }, "is gone"},
    };
    std::size_t expected = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.harm();
        server->watchJournal();
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().state, JournalHealth::State::Lost);
        EXPECT_NE(seen.back().detail.find(c.detail), std::string::npos) << seen.back().detail;
        send(message(ExamMessage::Registration).bytes());
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        clock.advance(ExamServer::kStoreWaitMs);
        expected += 7;
        ASSERT_TRUE(runUntil([&] { return replies.size() == expected; }));
        EXPECT_EQ(replies.substr(expected - 7), ServerReply::encode(0, 0));
        c.mend();
        server->watchJournal();
        EXPECT_EQ(seen.back().state, JournalHealth::State::Ready);
    }
    EXPECT_TRUE(sittings().empty());
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == expected + 7; }));
    EXPECT_EQ(replies.substr(expected), ServerReply::encode(1, 0));
}

namespace {

// Another testing computer's connection (the same address: loopback),
// each reply kept.
struct Peer
{
    QTcpSocket socket;
    std::string replies;

    explicit Peer(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead,
                         [this] { replies += socket.readAll().toStdString(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        runUntil([this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    // Sends the message and waits for its reply.
    int exchange(const std::string& bytes)
    {
        const std::size_t before = replies.size();
        socket.write(bytes.data(), qint64(bytes.size()));
        socket.flush();
        if (!runUntil([&] { return replies.size() >= before + 7; })) {
            return 99;
        }
        return ServerReply::parse(replies.substr(before, 7)).code;
    }
};

} // namespace

// One sitting per student: a live sitting is not taken over by a second
// login from anywhere; once its connection is gone or silent for a minute
// the same computer continues on the newest connection only.
TEST_F(Server, ALiveSittingIsNotTakenOverAndOnlyTheNewestConnectionSpeaks)
{
    desk->setConnections(server.get(), "lab");
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));

    ExamMessage progress = message(ExamMessage::Progress);
    progress.answeredCount = 1;
    progress.scoreValue = 2.0f;
    Peer second(server->port());
    EXPECT_EQ(second.exchange(message(ExamMessage::Registration).bytes()), -3);
    EXPECT_EQ(second.exchange(progress.bytes()), -3);
    EXPECT_EQ(incidents().back().kind, "second-login");
    EXPECT_EQ(sittings().size(), 1u);
    EXPECT_EQ(sittings()[0].answered, 0); // untouched

    // The first goes on; then falls silent for a minute.
    send(progress.bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 14; }));
    EXPECT_EQ(replies.substr(7), ServerReply::encode(1, 0));
    clock.advance(61000);
    EXPECT_EQ(second.exchange(message(ExamMessage::Registration).bytes()), 0);
    // The older connection is closed; a message on a third one while the
    // second is live is refused and changes nothing.
    EXPECT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    Peer third(server->port());
    progress.answeredCount = 2;
    progress.scoreValue = 3.0f;
    EXPECT_EQ(third.exchange(progress.bytes()), -3);
    EXPECT_EQ(sittings()[0].answered, 1);
    EXPECT_EQ(second.exchange(progress.bytes()), 0);
    EXPECT_EQ(sittings()[0].answered, 2);

    // The second gone, the same computer continues on the third at once.
    second.socket.abort();
    ASSERT_TRUE(runUntil([&] { return server->connectionCount() == 1; }));
    progress.answeredCount = 3;
    EXPECT_EQ(third.exchange(progress.bytes()), 0);
    EXPECT_EQ(sittings()[0].answered, 3);
    EXPECT_EQ(sittings().size(), 1u);
}

// A message must be whole within 30 s of its first byte, however slowly
// it trickles; a connection that said nothing for the idle time is closed,
// and its computer coming back is no resumption.
TEST_F(Server, ATrickledMessageIsDroppedAndAnIdleConnectionClosed)
{
    ServerLimits limits;
    limits.idleSeconds = 100;
    server->setLimits(limits);
    desk->setConnections(server.get(), "lab");
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));

    Peer trickler(server->port());
    const std::string progress = message(ExamMessage::Progress).bytes();
    for (int i = 0; i < 3; ++i) {
        trickler.socket.write(progress.data() + i, 1);
        trickler.socket.flush();
        ASSERT_TRUE(runUntil([&] { return server->bufferedBytes() == std::size_t(i + 1); }));
        server->sweep();
        EXPECT_EQ(server->connectionCount(), 2u) << i;
        clock.advance(ExamServer::kIdleMs / 3);
    }
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 1u);
    EXPECT_EQ(server->bufferedBytes(), 0u);
    server->commitNow();
    EXPECT_EQ(incidents().back().detail, "a message not complete 30 s after its first byte");

    // 30 s have passed since the registration; the idle time is 100 s.
    clock.advance(69000);
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 1u);
    clock.advance(1000);
    server->sweep();
    EXPECT_EQ(server->connectionCount(), 0u);
    ASSERT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    Peer back(server->port());
    EXPECT_EQ(back.exchange(message(ExamMessage::Registration).bytes()), 0);
    for (const Incident& i : incidents()) {
        EXPECT_NE(i.kind, "resumed");
    }
    EXPECT_EQ(sittings().size(), 1u);
}

// Past the limit of connections from one address, more are closed as they
// come; each kind of incident from an address is one row a minute, with
// its count.
TEST_F(Server, ConnectionsPerAddressAreLimitedAndTheirIncidentsCounted)
{
    ServerLimits limits;
    limits.perAddress = 2;
    server->setLimits(limits);
    Peer second(server->port());
    ASSERT_TRUE(runUntil([&] { return server->connectionCount() == 2; }));
    for (int i = 0; i < 5; ++i) {
        QTcpSocket extra;
        extra.connectToHost(QHostAddress::LocalHost, server->port());
        ASSERT_TRUE(runUntil([&] { return extra.state() == QAbstractSocket::UnconnectedState; }))
            << i;
    }
    EXPECT_EQ(server->connectionCount(), 2u);
    EXPECT_EQ(second.exchange(message(ExamMessage::Registration).bytes()), 0);
    server->commitNow();
    std::vector<Incident> refused;
    for (const Incident& i : incidents()) {
        if (i.kind == "too-many-connections") {
            refused.push_back(i);
        }
    }
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].times, 5);
    EXPECT_EQ(refused[0].address, "127.0.0.1");

    // A minute on, the same kind from the same address is a new row.
    clock.advance(61000);
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, server->port());
    ASSERT_TRUE(runUntil([&] { return late.state() == QAbstractSocket::UnconnectedState; }));
    server->commitNow();
    EXPECT_EQ(incidents().back().kind, "too-many-connections");
    EXPECT_EQ(incidents().back().times, 1);
    const auto check = journal->verifyChains();
    ASSERT_TRUE(check.ok());
    EXPECT_FALSE(check.value().broken) << *check.value().broken;
}

// Past the limit of bytes held for incomplete messages, the connection
// holding the most is dropped, and 4 KiB of what it sent are kept.
TEST_F(Server, ThePeerHoldingTheMostIsDroppedWhenTheBuffersAreFull)
{
    ServerLimits limits;
    limits.bufferedBytes = 10000;
    server->setLimits(limits);
    send(message(ExamMessage::Registration).bytes());
    ASSERT_TRUE(runUntil([&] { return replies.size() == 7; }));
    const std::string final =
        message(ExamMessage::Final).finalMessage(std::string(20000, 'r')).substr(0, 6000);
    send(final);
    ASSERT_TRUE(runUntil([&] { return server->bufferedBytes() == 6000; }));
    Peer other(server->port());
    const std::string part = final.substr(0, 5000);
    other.socket.write(part.data(), qint64(part.size()));
    other.socket.flush();
    ASSERT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    ASSERT_TRUE(runUntil([&] { return server->bufferedBytes() == 5000; }));
    EXPECT_EQ(server->connectionCount(), 1u);
    server->commitNow();
    const Incident dropped = incidents().back();
    EXPECT_EQ(dropped.kind, "dropped");
    EXPECT_EQ(dropped.bytes, final.substr(0, 4096));
}
