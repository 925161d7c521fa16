// quizdesk_server_load: N simulated testing computers against a running
// quizdesk-examd on loopback. All connect at once and register; each then
// sends progress for 40 questions (one at a time, after the reply to the
// last, with an optional think time) and a final message with a 2 KB
// report. It prints the time until every registration was granted, the
// progress messages per second, the p50/p99 reply latency.
//
// With --kill PID --kill-after K it sends the server SIGKILL once K progress
// replies have come, stops, and then checks the journal (--db): every
// message that was replied to must be found there.
//
//   quizdesk_server_load --port P --clients N [--think-ms T] [--db FILE]
//                        [--kill PID --kill-after K] [--time-limit S]
//                        [--questions Q] [--spread 0|1] [--first I]
//
// --questions 0 only registers (the time until every registration was
// granted is then the figure); --spread 1 connects each client from its
// own loopback address (127.1.x.y), as lab computers come from their own;
// --first I numbers the clients (student-I, load-I, ...) from I.
//
// Bounded: at most 20000 clients, the run ends after --time-limit seconds
// (default 300) whatever happened.

#include "journal/SqlJournal.h"

#include "definition/Cp1251.h"
#include "exam/ExamMessage.h"
#include "exam/ServerReply.h"
#include "results/ReportReader.h"
#include "results/ReportRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

int g_questions = 40;
bool g_spread = false;

struct Stats
{
    QElapsedTimer clock;
    std::vector<qint64> latencyUs;
    std::vector<qint64> progressLatencyUs;
    int granted = 0;
    qint64 allGrantedMs = -1;
    qint64 slowestGrantUs = 0;
    int progressReplies = 0;
    qint64 firstProgressMs = -1;
    qint64 lastProgressMs = -1;
    int finals = 0;
    int refused = 0;
    int again = 0;
    bool killed = false;
};

std::string makeReport(const std::string& name)
{
    std::string r = qd::toCp1251("Дата:  7.12.2026   Час: 10. 5. 9\nНайменування дисципліни: "
                                 "Географія\nНазва тесту: Навантаження\r\n(/srv/exam)\n"
                                 "Прізвище та ім'я: ") +
                    name +
                    qd::toCp1251("\nКритерії оцінювання: Задовільно >= 60%, Добре >= 75%, "
                                 "Відмінно >= 90%.\n\nРезультати тестування:\n"
                                 "№ питання  Кількість балів  Відповідь\n");
    for (int q = 1; q <= g_questions; ++q) {
        r += qd::formatReportRow(q, 1.0, " 1, 3, 4, 2," + std::string(12, ' '));
    }
    r += qd::formatClosingRows(40.0, 40, 100, 1800, qd::toCp1251("Відмінно"));
    return r;
}

class Client : public QObject
{
public:
    Client(int index, quint16 port, int thinkMs, Stats& stats)
        : m_index(index),
          m_port(port),
          m_thinkMs(thinkMs),
          m_stats(stats)
    {
        m_message.hostName = "load-" + std::to_string(index);
        m_seed = uint64_t(index) + 1;
        m_message.studentName = "student-" + std::to_string(index);
        connect(&m_socket, &QTcpSocket::connected, this, [this] { send(); });
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { read(); });
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { m_done = true; });
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { m_done = true; });
    }

    void start()
    {
        if (g_spread) {
            // 127.1.0.1, 127.1.0.2, ...: a computer an address.
            const quint32 a = (127u << 24) | (1u << 16) | quint32(m_index / 250) << 8 |
                              quint32(m_index % 250 + 1);
            m_socket.bind(QHostAddress(a));
        }
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    }
    void stop()
    {
        m_done = true;
        m_socket.abort();
    }
    bool done() const { return m_done; }

    std::string student() const { return m_message.studentName; }
    bool granted = false;
    int repliedProgress = 0; // the highest answered count replied to
    bool finalReplied = false;

private:
    void send()
    {
        if (m_done) {
            return;
        }
        m_sentAt = m_stats.clock.nsecsElapsed();
        const std::string bytes = m_message.kind == qd::ExamMessage::Final
                                      ? m_message.finalMessage(makeReport(m_message.studentName))
                                      : m_message.bytes();
        m_socket.write(bytes.data(), qint64(bytes.size()));
    }

    void read()
    {
        m_buffer += m_socket.readAll().toStdString();
        while (m_buffer.size() >= 7 && !m_done) {
            const qd::ServerReply r = qd::ServerReply::parse(m_buffer);
            m_buffer.erase(0, 7);
            const qint64 us = (m_stats.clock.nsecsElapsed() - m_sentAt) / 1000;
            m_stats.latencyUs.push_back(us);
            if (m_message.kind == qd::ExamMessage::Progress) {
                m_stats.progressLatencyUs.push_back(us);
            }
            if (r.accepted == 0) {
                ++m_stats.again;
                send();
                continue;
            }
            if (r.code < 0) {
                ++m_stats.refused;
                stop();
                return;
            }
            next();
        }
    }

    void next()
    {
        const qint64 nowMs = m_stats.clock.elapsed();
        switch (m_message.kind) {
        case qd::ExamMessage::Registration:
            granted = true;
            m_stats.slowestGrantUs =
                std::max(m_stats.slowestGrantUs, (m_stats.clock.nsecsElapsed() - m_sentAt) / 1000);
            if (g_questions == 0) {
                ++m_stats.granted;
                if (m_stats.granted == m_total) {
                    m_stats.allGrantedMs = nowMs;
                }
                ++m_stats.finals;
                stop();
                return;
            }
            if (++m_stats.granted == m_total) {
                m_stats.allGrantedMs = nowMs;
            }
            m_message.kind = qd::ExamMessage::Progress;
            break;
        case qd::ExamMessage::Progress:
            repliedProgress = m_message.answeredCount;
            ++m_stats.progressReplies;
            if (m_stats.firstProgressMs < 0) {
                m_stats.firstProgressMs = nowMs;
            }
            m_stats.lastProgressMs = nowMs;
            break;
        default:
            finalReplied = true;
            ++m_stats.finals;
            stop();
            return;
        }
        if (m_message.answeredCount == g_questions) {
            m_message.kind = qd::ExamMessage::Final;
            m_message.scoreValue = 100.0f;
            m_message.gradeText = qd::toCp1251("Відмінно");
        } else {
            m_message.answeredCount = int16_t(m_message.answeredCount + 1);
            m_message.lastRight = 1;
            m_message.scoreValue = float(m_message.answeredCount);
        }
        if (m_thinkMs > 0) {
            // Students do not answer in step: a think time drawn from half
            // to one and a half of T spreads the load evenly after the
            // common start, at N / T messages per second on average.
            m_seed = m_seed * 6364136223846793005ull + 1442695040888963407ull;
            const int think = m_thinkMs / 2 + int((m_seed >> 33) % uint64_t(m_thinkMs + 1));
            QTimer::singleShot(think, this, [this] { send(); });
        } else {
            send();
        }
    }

public:
    int m_total = 0;

private:
    int m_index;
    quint16 m_port;
    int m_thinkMs;
    Stats& m_stats;
    QTcpSocket m_socket;
    qd::ExamMessage m_message;
    std::string m_buffer;
    qint64 m_sentAt = 0;
    bool m_done = false;
    uint64_t m_seed = 0;
};

qint64 percentile(std::vector<qint64> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    quint16 port = 0;
    int clients = 50;
    int thinkMs = 0;
    int timeLimit = 300;
    int first = 0;
    pid_t killPid = 0;
    int killAfter = 0;
    std::string db;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& o = args[i];
        const QString& v = args[i + 1];
        if (o == QLatin1String("--port")) {
            port = quint16(v.toUInt());
        } else if (o == QLatin1String("--clients")) {
            clients = std::clamp(v.toInt(), 1, 20000);
        } else if (o == QLatin1String("--think-ms")) {
            thinkMs = std::max(0, v.toInt());
        } else if (o == QLatin1String("--time-limit")) {
            timeLimit = std::clamp(v.toInt(), 1, 3600);
        } else if (o == QLatin1String("--kill")) {
            killPid = pid_t(v.toInt());
        } else if (o == QLatin1String("--kill-after")) {
            killAfter = v.toInt();
        } else if (o == QLatin1String("--questions")) {
            g_questions = std::clamp(v.toInt(), 0, 1000);
        } else if (o == QLatin1String("--first")) {
            first = std::clamp(v.toInt(), 0, 1000000);
        } else if (o == QLatin1String("--spread")) {
            g_spread = v.toInt() != 0;
        } else if (o == QLatin1String("--db")) {
            db = v.toStdString();
        } else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(o));
            return 2;
        }
    }
    // One descriptor a client.
    struct rlimit files
    {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        if (files.rlim_cur < rlim_t(clients + 64)) {
            std::fprintf(stderr, "the open-file limit (%lu) is too low for %d clients\n",
                         static_cast<unsigned long>(files.rlim_cur), clients);
            return 1;
        }
    }

    Stats stats;
    std::vector<std::unique_ptr<Client>> all;
    for (int i = 0; i < clients; ++i) {
        all.push_back(std::make_unique<Client>(first + i, port, thinkMs, stats));
        all.back()->m_total = clients;
    }
    stats.clock.start();
    for (auto& c : all) {
        c->start();
    }
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (killPid > 0 && !stats.killed && stats.progressReplies >= killAfter) {
            ::kill(killPid, SIGKILL);
            stats.killed = true;
            for (auto& c : all) {
                c->stop();
            }
        }
        const bool allDone = std::all_of(all.begin(), all.end(), [](auto& c) { return c->done(); });
        if (allDone || stats.clock.elapsed() > qint64(timeLimit) * 1000) {
            app.quit();
        }
    });
    check.start(killPid > 0 ? 1 : 20);
    app.exec();
    const qint64 totalMs = stats.clock.elapsed();

    const double progressSeconds =
        double(std::max<qint64>(1, stats.lastProgressMs - stats.firstProgressMs)) / 1000.0;
    std::printf("clients %d, think %d ms\n", clients, thinkMs);
    std::printf("all registrations granted: %s\n",
                stats.allGrantedMs >= 0 ? (std::to_string(stats.allGrantedMs) + " ms").c_str()
                                        : ("no, " + std::to_string(stats.granted)).c_str());
    std::printf("progress replies: %d (%.0f per second)\n", stats.progressReplies,
                stats.progressReplies / progressSeconds);
    std::printf("finals replied: %d, refused: %d, asked again: %d\n", stats.finals, stats.refused,
                stats.again);
    std::printf("reply latency: p50 %.2f ms, p99 %.2f ms (%zu replies)\n",
                double(percentile(stats.latencyUs, 0.5)) / 1000.0,
                double(percentile(stats.latencyUs, 0.99)) / 1000.0, stats.latencyUs.size());
    std::printf("progress reply latency: p50 %.2f ms, p99 %.2f ms\n",
                double(percentile(stats.progressLatencyUs, 0.5)) / 1000.0,
                double(percentile(stats.progressLatencyUs, 0.99)) / 1000.0);
    std::printf("slowest registration reply: %.2f ms\n", double(stats.slowestGrantUs) / 1000.0);
    std::printf("run: %lld ms\n", static_cast<long long>(totalMs));

    if (!db.empty() && stats.killed) {
        auto j = qd::journal::SqlJournal::open(db, "bench");
        if (!j.ok()) {
            std::fprintf(stderr, "%s\n", j.fault().utf8().c_str());
            return 1;
        }
        auto sittings = j.value()->sittings();
        if (!sittings.ok()) {
            std::fprintf(stderr, "%s\n", sittings.fault().utf8().c_str());
            return 1;
        }
        std::map<std::string, qd::journal::Sitting> byStudent;
        for (const auto& s : sittings.value()) {
            byStudent[s.student] = s;
        }
        long replied = 0, found = 0;
        for (const auto& c : all) {
            const auto it = byStudent.find(c->student());
            const bool have = it != byStudent.end();
            replied += int(c->granted) + c->repliedProgress + int(c->finalReplied);
            if (have) {
                found +=
                    int(c->granted) + std::min(c->repliedProgress, it->second.answered) +
                    int(c->finalReplied && it->second.state == qd::journal::SittingState::Finished);
            }
        }
        std::printf("killed after %d progress replies: %ld replied-to messages, %ld found in the "
                    "journal\n",
                    killAfter, replied, found);
        return replied == found ? 0 : 1;
    }
    return stats.allGrantedMs >= 0 && stats.finals == clients ? 0 : 1;
}
