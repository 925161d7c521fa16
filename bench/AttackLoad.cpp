// quizdesk_attack_load: a hostile program on the lab network against a
// running quizdesk-examd, from one address, for a while. Modes:
//   big      connections each sending 1 MiB of a final message that never ends
//   trickle  connections each sending a message one byte every 20 s
//   idle     connections each registering a name not on the roster, then silent
//   names    registrations with random names, as fast as they are answered
//   churn    connections opened and closed at once, as fast as possible
// Every connection the server closes is opened again.
//
//   quizdesk_attack_load --port P --mode MODE [--connections C] [--seconds S]
//                        [--source ADDR]
//
// Bounded: at most 5000 connections, at most 600 s.

#include "exam/ExamMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

struct Options
{
    quint16 port = 0;
    std::string mode;
    int connections = 200;
    int seconds = 20;
    QHostAddress source{QStringLiteral("127.0.0.2")};
};

struct Counts
{
    long opened = 0;
    long closedByServer = 0;
    long bytes = 0;
    long replies = 0;
};

std::mt19937 g_random(12345);

std::string randomName()
{
    std::string n = "x";
    for (int i = 0; i < 12; ++i) {
        n += char('a' + g_random() % 26);
    }
    return n;
}

class Attacker : public QObject
{
public:
    Attacker(const Options& o, Counts& counts) : m_o(o), m_counts(counts)
    {
        connect(&m_socket, &QTcpSocket::connected, this, [this] { connected(); });
        connect(&m_socket, &QTcpSocket::readyRead, this, [this] { read(); });
        connect(&m_socket, &QTcpSocket::disconnected, this, [this] { again(); });
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { again(); });
        connect(&m_trickle, &QTimer::timeout, this, [this] { drip(); });
    }

    void start()
    {
        if (m_stopped) {
            return;
        }
        m_socket.abort();
        m_socket.bind(m_o.source);
        m_socket.connectToHost(QHostAddress::LocalHost, m_o.port);
    }
    void stop()
    {
        m_stopped = true;
        m_trickle.stop();
        m_socket.abort();
    }

private:
    void send(const std::string& b)
    {
        m_socket.write(b.data(), qint64(b.size()));
        m_counts.bytes += long(b.size());
    }
    void registration()
    {
        qd::ExamMessage m;
        m.hostName = "attacker";
        m.studentName = randomName();
        send(m.bytes());
    }
    void connected()
    {
        ++m_counts.opened;
        if (m_o.mode == "big") {
            qd::ExamMessage m;
            m.kind = qd::ExamMessage::Final;
            m.hostName = "attacker";
            m.studentName = randomName();
            const std::string header = m.bytes().substr(0, qd::ExamMessage::kHeader);
            send(header + std::string((1u << 20) - header.size() - 1, 'r'));
        } else if (m_o.mode == "trickle") {
            m_at = 0;
            drip();
            m_trickle.start(20000);
        } else if (m_o.mode == "idle" || m_o.mode == "names") {
            registration();
        } else if (m_o.mode == "churn") {
            m_socket.abort();
            QTimer::singleShot(0, this, [this] { start(); });
        }
    }
    void drip()
    {
        if (m_socket.state() == QAbstractSocket::ConnectedState) {
            static const std::string bytes = qd::ExamMessage().bytes();
            send(bytes.substr(m_at++ % bytes.size(), 1));
        }
    }
    void read()
    {
        const QByteArray b = m_socket.readAll();
        m_counts.replies += b.size() / 7;
        if (m_o.mode == "names" && !b.isEmpty()) {
            registration();
        }
    }
    void again()
    {
        if (m_stopped || m_o.mode == "churn") {
            return;
        }
        ++m_counts.closedByServer;
        m_trickle.stop();
        // Straight back, as a hostile program would; a moment later when
        // refused, so as not to spin.
        QTimer::singleShot(m_socket.error() == QAbstractSocket::RemoteHostClosedError ? 0 : 50,
                           this, [this] { start(); });
    }

    const Options& m_o;
    Counts& m_counts;
    QTcpSocket m_socket;
    QTimer m_trickle;
    std::size_t m_at = 0;
    bool m_stopped = false;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options o;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& k = args[i];
        const QString& v = args[i + 1];
        if (k == QLatin1String("--port")) {
            o.port = quint16(v.toUInt());
        } else if (k == QLatin1String("--mode")) {
            o.mode = v.toStdString();
        } else if (k == QLatin1String("--connections")) {
            o.connections = std::clamp(v.toInt(), 1, 5000);
        } else if (k == QLatin1String("--seconds")) {
            o.seconds = std::clamp(v.toInt(), 1, 600);
        } else if (k == QLatin1String("--source")) {
            o.source = QHostAddress(v);
        } else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(k));
            return 2;
        }
    }
    const std::vector<std::string> modes{"big", "trickle", "idle", "names", "churn"};
    if (std::find(modes.begin(), modes.end(), o.mode) == modes.end()) {
        std::fprintf(stderr, "--mode takes big, trickle, idle, names or churn\n");
        return 2;
    }
    struct rlimit files
    {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    Counts counts;
    std::vector<std::unique_ptr<Attacker>> all;
    for (int i = 0; i < o.connections; ++i) {
        all.push_back(std::make_unique<Attacker>(o, counts));
        all.back()->start();
    }
    QTimer::singleShot(o.seconds * 1000, &app, [&] {
        for (auto& a : all) {
            a->stop();
        }
        app.quit();
    });
    app.exec();
    std::printf("attack %s for %d s: %ld connections opened, %ld closed by the server, "
                "%ld bytes sent, %ld replies\n",
                o.mode.c_str(), o.seconds, counts.opened, counts.closedByServer, counts.bytes,
                counts.replies);
    return 0;
}
