#include "BoardListener.h"
#include "BoardRows.h"
#include "BoardThread.h"
#include "ExamDesk.h"
#include "ExamServer.h"
#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "exam/ServerReply.h"
#include "run/ManualClock.h"
#include "run/SystemClock.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <functional>
#include <future>
#include <memory>
#include <thread>

using namespace qd;
using namespace qd::server;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "BoardThreadTest";
    static char* argv[] = {name, nullptr};
    static QCoreApplication a(argc, argv);
    return a;
}

bool runUntil(const std::function<bool()>& done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

std::vector<std::pair<int64_t, QByteArray>> rows(std::initializer_list<const char*> values)
{
    std::vector<std::pair<int64_t, QByteArray>> out;
    int64_t id = 0;
    for (const char* v : values) {
        out.emplace_back(++id, QByteArray(v));
    }
    return out;
}

} // namespace

TEST(BoardRows, SinceGivesOnlyTheRowsChangedAfterIt)
{
    BoardRows t(1000);
    EXPECT_EQ(t.all(), "[]");
    EXPECT_TRUE(t.replace(rows({"1", "2", "3"})));
    EXPECT_EQ(t.all(), "[1,2,3]");
    const uint64_t first = t.generation();
    EXPECT_FALSE(t.replace(rows({"1", "2", "3"}))) << "nothing changed";
    EXPECT_EQ(t.generation(), first);
    EXPECT_TRUE(t.replace(rows({"1", "20", "3", "4"})));
    EXPECT_EQ(t.all(), "[1,20,3,4]");

    struct Case
    {
        uint64_t since;
        bool full;
        QByteArray rows;
    };
    for (const Case& c : {Case{first, false, "[20,4]"}, Case{t.generation(), false, "[]"},
                          Case{1000, false, "[1,20,3,4]"},
                          // Not this board's: before its base, or beyond its generation.
                          Case{999, true, "[1,20,3,4]"}, Case{0, true, "[1,20,3,4]"},
                          Case{t.generation() + 1, true, "[1,20,3,4]"}}) {
        const BoardRows::Changes got = t.since(c.since);
        EXPECT_EQ(got.full, c.full) << c.since;
        EXPECT_EQ(got.rows, c.rows) << c.since;
    }
    // A row gone from the window is a change too.
    EXPECT_TRUE(t.replace(rows({"1", "20", "3"})));
}

TEST(BoardLanguage, EnglishOnlyWhenTheBrowserPrefersIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "uk"},
        {"uk-UA,uk;q=0.9,en;q=0.8", "uk"},
        {"en-US,en;q=0.9", "en"},
        {"en-GB;q=0.7,uk;q=0.9", "uk"},
        {"de-DE,de;q=0.9", "uk"},
        {"ru, en;q=0.5", "en"},
        {"en;q=0", "uk"},
        {"EN", "en"},
    };
    for (const auto& [header, lang] : cases) {
        EXPECT_STREQ(boardLanguage(header), lang) << header;
    }
}

namespace {

// The exam server on this thread, the board on its own, one journal file.
struct BoardBeside : ::testing::Test
{
    QTemporaryDir dir;
    ManualClock clock{LocalTime{2026, 12, 7, 10, 0, 0}};
    SystemClock boardClock;
    Roster roster;
    std::unique_ptr<SqlJournal> journal;
    std::unique_ptr<ExamDesk> desk;
    std::unique_ptr<ExamServer> server;
    std::unique_ptr<BoardThread> board;
    quint16 boardPort = 0;
    QTcpSocket client;
    std::string replies;

    std::string path() const { return dir.filePath(QStringLiteral("j.sqlite")).toStdString(); }

    void SetUp() override
    {
        app();
        std::string table(456, '\0');
        table[4] = 1;
        std::string record = " 0001" + toCp1251("Бондар Т.");
        record.resize(92, '\0');
        roster.loadBytes(table + record);
        auto j = SqlJournal::open(path(), "lab");
        ASSERT_TRUE(j.ok());
        journal = std::move(j.value());
        desk = std::make_unique<ExamDesk>(*journal, clock, roster, RuleOptions{});
        server = std::make_unique<ExamServer>(*journal, *desk, clock);
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, 0).ok());

        board = std::make_unique<BoardThread>();
        BoardThread::Setup setup;
        setup.openJournal = [this]() -> std::unique_ptr<SqlJournal> {
            auto opened = SqlJournal::open(path(), "lab");
            return opened.ok() ? std::move(opened.value()) : nullptr;
        };
        setup.clock = &boardClock;
        boardPort = board->start(std::move(setup));
        ASSERT_NE(boardPort, 0);
        QObject::connect(server.get(), &ExamServer::committed,
                         [b = board.get()] { b->committed(); });

        QObject::connect(&client, &QTcpSocket::readyRead,
                         [this] { replies += client.readAll().toStdString(); });
        client.connectToHost(QHostAddress::LocalHost, server->port());
        ASSERT_TRUE(runUntil([&] { return client.state() == QAbstractSocket::ConnectedState; }));
    }

    void TearDown() override
    {
        board.reset();
        server.reset();
    }

    // Sends one message and waits for its reply; the time it took, -1 when
    // none came within 5 s.
    qint64 exchange(int16_t kind, int answered)
    {
        ExamMessage m;
        m.hostName = "pc-01";
        m.studentName = toCp1251("Бондар Т.");
        m.kind = kind;
        m.answeredCount = int16_t(answered);
        const std::string bytes = m.bytes();
        const std::size_t before = replies.size();
        QElapsedTimer took;
        took.start();
        client.write(bytes.data(), qint64(bytes.size()));
        client.flush();
        if (!runUntil([&] { return replies.size() >= before + 7; })) {
            return -1;
        }
        return took.elapsed();
    }

    // One GET on a connection of its own; the whole answer ("" on none).
    std::string get(const std::string& target)
    {
        QTcpSocket s;
        std::string answer;
        QObject::connect(&s, &QTcpSocket::readyRead, [&] { answer += s.readAll().toStdString(); });
        s.connectToHost(QHostAddress::LocalHost, boardPort);
        const std::string request = "GET " + target +
                                    " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(boardPort) +
                                    "\r\nConnection: close\r\n\r\n";
        s.write(request.data(), qint64(request.size()));
        // Whole when the body has its Content-Length (the server may keep
        // the connection).
        runUntil([&] {
            const auto end = answer.find("\r\n\r\n");
            if (end == std::string::npos) {
                return s.state() == QAbstractSocket::UnconnectedState;
            }
            const QByteArray head = QByteArray::fromStdString(answer.substr(0, end)).toLower();
            const qsizetype at = head.indexOf("content-length:");
            const std::size_t length =
                at < 0 ? 0 : head.mid(at + 15).split('\r').first().trimmed().toULongLong();
            return answer.size() >= end + 4 + length;
        });
        return answer;
    }

    static QJsonDocument body(const std::string& answer)
    {
        const auto at = answer.find("\r\n\r\n");
        return QJsonDocument::fromJson(
            QByteArray::fromStdString(at == std::string::npos ? "" : answer.substr(at + 4)));
    }
};

} // namespace

TEST_F(BoardBeside, AStalledOrBusyBoardDelaysNoReply)
{
    ASSERT_GE(exchange(ExamMessage::Registration, 0), 0);

    // A browser that sends half a request and waits.
    QTcpSocket stalled;
    stalled.connectToHost(QHostAddress::LocalHost, boardPort);
    ASSERT_TRUE(stalled.waitForConnected(2000));
    const QByteArray half =
        "GET /api/sittings HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(boardPort) +
        "\r\nAccept: app";
    stalled.write(half);
    stalled.flush();

    // The board's own thread held for 1.5 s (a slow export, a slow read).
    std::promise<void> entered;
    std::future<void> busy = std::async(std::launch::async, [&] {
        board->runThere([&](Board&) {
            entered.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        });
    });
    entered.get_future().wait();
    QElapsedTimer all;
    all.start();
    for (int k = 1; k <= 20; ++k) {
        const qint64 took = exchange(ExamMessage::Progress, k);
        ASSERT_GE(took, 0) << "no reply to progress " << k;
        EXPECT_LT(took, 500) << "progress " << k;
    }
    EXPECT_LT(all.elapsed(), 1500) << "the replies waited for the board";
    EXPECT_EQ(busy.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "the board was not busy the whole time";
    busy.wait();

    // The board then shows the last progress, and within the stalled
    // client's lifetime answers everyone else.
    ASSERT_TRUE(runUntil(
        [&] {
            const QJsonArray a = body(get("/api/sittings")).array();
            return a.size() == 1 && a[0].toObject().value(QLatin1String("answered")).toInt() == 20;
        },
        3000));
    EXPECT_EQ(stalled.state(), QAbstractSocket::ConnectedState);
}

TEST_F(BoardBeside, SinceAnswersOnlyWhatChanged)
{
    ASSERT_GE(exchange(ExamMessage::Registration, 0), 0);
    QJsonObject first;
    ASSERT_TRUE(runUntil([&] {
        first = body(get("/api/sittings?since=0")).object();
        return first.value(QLatin1String("sittings")).toArray().size() == 1;
    }));
    EXPECT_TRUE(first.value(QLatin1String("full")).toBool());
    const QString generation =
        QString::number(first.value(QLatin1String("generation")).toInteger());
    EXPECT_FALSE(first.value(QLatin1String("now")).toString().isEmpty());

    // Nothing new: nothing sent.
    QJsonObject same = body(get("/api/sittings?since=" + generation.toStdString())).object();
    EXPECT_FALSE(same.value(QLatin1String("full")).toBool());
    EXPECT_TRUE(same.value(QLatin1String("sittings")).toArray().isEmpty());

    ASSERT_GE(exchange(ExamMessage::Progress, 3), 0);
    QJsonObject next;
    ASSERT_TRUE(runUntil([&] {
        next = body(get("/api/sittings?since=" + generation.toStdString())).object();
        return !next.value(QLatin1String("sittings")).toArray().isEmpty();
    }));
    EXPECT_FALSE(next.value(QLatin1String("full")).toBool());
    EXPECT_EQ(next.value(QLatin1String("sittings"))
                  .toArray()[0]
                  .toObject()
                  .value(QLatin1String("answered"))
                  .toInt(),
              3);
    EXPECT_GT(next.value(QLatin1String("generation")).toInteger(), generation.toLongLong());
    // The plain table is still the array it was.
    EXPECT_TRUE(body(get("/api/sittings")).isArray());
    EXPECT_TRUE(body(get("/api/incidents")).isArray());
}

TEST_F(BoardBeside, OversizedSlowAndIdleConnectionsAreClosed)
{
    BoardListener::Limits limits;
    limits.requestMs = 300;
    limits.idleMs = 600;
    limits.connections = 4;
    board->runThere([&](Board& b) { b.listener().setLimits(limits); });

    auto closedWithin = [&](QTcpSocket& s, int ms) {
        return runUntil([&] { return s.state() == QAbstractSocket::UnconnectedState; }, ms);
    };
    // A head past 16 KiB: closed at once, unanswered.
    QTcpSocket big;
    QByteArray got;
    QObject::connect(&big, &QTcpSocket::readyRead, [&] { got += big.readAll(); });
    big.connectToHost(QHostAddress::LocalHost, boardPort);
    ASSERT_TRUE(big.waitForConnected(2000));
    big.write("GET / HTTP/1.1\r\nX-Fill: " + QByteArray(20000, 'a'));
    EXPECT_TRUE(closedWithin(big, 2000));
    EXPECT_TRUE(got.isEmpty()) << got.left(100).toStdString();

    // A body past its bound.
    QTcpSocket body;
    body.connectToHost(QHostAddress::LocalHost, boardPort);
    ASSERT_TRUE(body.waitForConnected(2000));
    body.write("POST /api/stop HTTP/1.1\r\nHost: x\r\nContent-Length: 1000000\r\n\r\n" +
               QByteArray(100000, 'b'));
    EXPECT_TRUE(closedWithin(body, 2000));

    // A request that trickles: closed after its time, whatever it sends.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, boardPort);
    ASSERT_TRUE(slow.waitForConnected(2000));
    QElapsedTimer t;
    t.start();
    while (slow.state() == QAbstractSocket::ConnectedState && t.elapsed() < 3000) {
        slow.write("X");
        runUntil([] { return false; }, 100);
    }
    EXPECT_EQ(slow.state(), QAbstractSocket::UnconnectedState);
    EXPECT_LT(t.elapsed(), 2000);

    // A connection that asks nothing: closed after the idle time.
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, boardPort);
    ASSERT_TRUE(idle.waitForConnected(2000));
    EXPECT_TRUE(closedWithin(idle, 3000));

    // Beyond the count, the quietest makes room and the board still answers.
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int k = 0; k < 8; ++k) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QHostAddress::LocalHost, boardPort);
        ASSERT_TRUE(held.back()->waitForConnected(2000));
    }
    EXPECT_NE(get("/api/about").find("200 OK"), std::string::npos);
    std::size_t count = 0;
    board->runThere([&](Board& b) { count = b.listener().connectionCount(); });
    EXPECT_LE(count, limits.connections);
}
