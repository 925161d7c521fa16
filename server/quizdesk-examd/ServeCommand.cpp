// quizdesk-examd serve: the exam server itself, with the board beside it,
// until SIGTERM or SIGINT.

#include "Commands.h"

#include "BoardThread.h"
#include "ExamDesk.h"
#include "ExamServer.h"
#include "ExamTests.h"
#include "Exports.h"
#include "RepeatedLines.h"

#include "definition/Cp1251.h"
#include "definition/TerminalText.h"
#include "results/ReportSource.h"
#include "run/SystemClock.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace qd::server {

namespace {

// ---- the signals that end the server: a byte through a pipe wakes the loop.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &b, 1);
}

} // namespace

int runServe(const CommandLine& args, QCoreApplication& app)
{
    const std::vector<std::string> positional = args.positional();
    if (!positional.empty()) {
        return usage(tr("serve takes no argument"));
    }
    SystemClock clock;
    RuleOptions rules;
    if (args.has("retakes")) {
        bool ok = false;
        rules.retakes = QString::fromStdString(args.value("retakes")).toInt(&ok);
        if (!ok || rules.retakes < 0) {
            return usage(tr("--retakes takes a count"));
        }
    }
    for (const char* opt : {"from", "until"}) {
        if (args.has(opt)) {
            const auto t = parseLocalTime(args.value(opt));
            if (!t) {
                return usage(tr("%1 takes \"YYYY-MM-DD HH:MM[:SS]\" (local time)")
                                 .arg(QLatin1String("--") + QLatin1String(opt)));
            }
            (std::string(opt) == "from" ? rules.from : rules.until) = t;
        }
    }
    for (const std::string& cidr : args.values("allow")) {
        const auto range = QHostAddress::parseSubnet(QString::fromStdString(cidr));
        if (range.first.isNull()) {
            return usage(
                tr("--allow takes an address range such as 10.1.2.0/24: %1").arg(qs(cidr)));
        }
        rules.allow.push_back(range);
    }
    const std::string denyPath = args.value("deny");
    if (!denyPath.empty()) {
        const auto bytes = readFileBounded(denyPath, 16u << 20);
        if (!bytes.ok()) {
            say(stderr, tr("cannot read %1: %2").arg(qs(denyPath), qs(bytes.fault().message)));
            return 1;
        }
        rules.deny = parseDenyList(bytes.value());
    }
    quint16 port = kExamPort;
    if (args.has("port")) {
        bool ok = false;
        const uint p = QString::fromStdString(args.value("port")).toUInt(&ok);
        if (!ok || p > 65535) {
            return usage(tr("--port takes 0 to 65535"));
        }
        port = quint16(p);
    }
    ServerLimits limits;
    const struct
    {
        const char* option;
        long long most;
        std::function<void(long long)> set;
    } limitOptions[] = {
        {"connections-per-address", 1000000,
         [&](long long n) { limits.perAddress = std::size_t(n); }},
        {"buffer-limit", 1 << 20,
         [&](long long n) { limits.bufferedBytes = std::size_t(n) << 20; }},
        {"idle-timeout", 86400, [&](long long n) { limits.idleSeconds = int(n); }},
    };
    for (const auto& o : limitOptions) {
        if (!args.has(o.option)) {
            continue;
        }
        bool ok = false;
        const long long n = QString::fromStdString(args.value(o.option)).toLongLong(&ok);
        if (!ok || n < 1 || n > o.most) {
            return usage(tr("%1 takes a number from 1 to %2")
                             .arg(QLatin1String("--") + QLatin1String(o.option))
                             .arg(o.most));
        }
        o.set(n);
    }
    QHostAddress listenAddress(QHostAddress::Any);
    if (args.has("listen") &&
        !listenAddress.setAddress(QString::fromStdString(args.value("listen")))) {
        return usage(tr("--listen takes an address"));
    }
    QHostAddress httpAddress(QHostAddress::LocalHost);
    quint16 httpPort = kDefaultBoardPort;
    const bool http = !args.has("no-http");
    if (http && args.has("http")) {
        const QString board = QString::fromStdString(args.value("http"));
        const qsizetype colon = board.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const uint p = board.mid(colon + 1).toUInt(&ok);
        if (colon <= 0 || !ok || p > 65535 ||
            !httpAddress.setAddress(
                board.left(colon).remove(QLatin1Char('[')).remove(QLatin1Char(']')))) {
            return usage(tr("--http takes ADDR:PORT"));
        }
        httpPort = quint16(p);
    }

    // One descriptor a connection: thousands of students need more than the
    // usual soft limit of 1024, as far as the hard limit allows.
    struct rlimit files
    {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    // The tests first: a faulty one stops the server before anything opens.
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(args.testDirs()), tests)) {
        return 1;
    }

    const std::string name = args.value("name", QHostInfo::localHostName().toStdString());
    auto journal = openJournal(args, name, true);
    if (!journal) {
        return 1;
    }
    const std::filesystem::path rosterPath = args.value("roster", kDefaultRoster);
    Roster roster;
    if (Status f = roster.load(rosterPath); !f.ok()) {
        sayFault(f.fault().message);
        return 1;
    }
    ExamDesk desk(*journal, clock, roster, rules);
    desk.setTests(modelsOf(tests));
    ExamServer server(*journal, desk, clock);
    server.setLimits(limits);
    desk.setConnections(&server, name);
    // A fault that comes back with every retry is printed once a window,
    // with its count.
    RepeatedLines faults(clock);
    const auto sayFaultLine = [](const std::string& line) {
        say(stderr, tr("%1 (the clients are asked to send again)").arg(qs(terminalSafe(line))));
    };
    QObject::connect(&server, &ExamServer::journalFault, [&](const QString& m) {
        if (const auto line = faults.pass(m.toStdString())) {
            sayFaultLine(*line);
        }
    });
    QTimer faultSummary;
    QObject::connect(&faultSummary, &QTimer::timeout, [&] {
        for (const std::string& line : faults.due()) {
            sayFaultLine(line);
        }
    });
    faultSummary.start(1000);
    QObject::connect(&server, &ExamServer::journalHealthChanged, [](const JournalHealth& h) {
        if (h.state == JournalHealth::State::Ready) {
            say(stderr, tr("the journal takes messages again"));
        } else {
            say(stderr, tr("%1; every message is asked again meanwhile").arg(qs(h.detail)));
        }
    });
    QObject::connect(&server, &ExamServer::journalRestored,
                     [] { say(stderr, tr("the journal takes messages again")); });

    // systemd hands the listening socket over as descriptor 3.
    const char* listenPid = std::getenv("LISTEN_PID");
    const char* listenFds = std::getenv("LISTEN_FDS");
    if (listenPid && listenFds && std::strtol(listenPid, nullptr, 10) == long(::getpid()) &&
        std::atoi(listenFds) >= 1) {
        ::unsetenv("LISTEN_PID");
        ::unsetenv("LISTEN_FDS");
        ::unsetenv("LISTEN_FDNAMES");
        if (Status s = server.adopt(3); !s.ok()) {
            say(stderr, tr("cannot take the socket from systemd: %1").arg(qs(s.fault().message)));
            return 1;
        }
    } else if (Status s = server.listen(listenAddress, port); !s.ok()) {
        say(stderr, tr("cannot listen on %1 port %2: %3")
                        .arg(listenAddress.toString())
                        .arg(port)
                        .arg(qs(s.fault().message)));
        return 1;
    }

    // The board on its own thread with its own journal connection: the
    // exam's loop only counts its commits and hands on the journal's health.
    std::unique_ptr<BoardThread> board;
    if (http) {
        // Off the machine itself the board asks for its token; on loopback
        // only when one is named.
        std::string token;
        if (!httpAddress.isLoopback() || args.has("board-token-file")) {
            const std::filesystem::path tokenPath =
                args.has("board-token-file")
                    ? std::filesystem::path(args.value("board-token-file"))
                    : defaultBoardTokenPath(args.value("db", kDefaultJournal));
            auto t = boardToken(tokenPath);
            if (!t.ok()) {
                sayFault(t.fault().message);
                return 1;
            }
            token = std::move(t.value());
        }
        board = std::make_unique<BoardThread>();
        BoardThread::Setup setup;
        bool opened = false;
        setup.openJournal = [&args, &name, &opened]() -> std::unique_ptr<SqlJournal> {
            auto j = openJournal(args, name);
            if (j) {
                opened = true;
                (void)j->limitWaits(ExamServer::kLockWaitMs);
            }
            return j;
        };
        setup.clock = &clock;
        setup.access = BoardAccess(token);
        setup.verifying = !tests.empty();
        setup.tests = modelsOf(tests);
        setup.address = httpAddress;
        setup.port = httpPort;
        httpPort = board->start(std::move(setup));
        if (!opened) {
            return 1;
        }
        if (httpPort == 0) {
            say(stderr,
                tr("cannot serve the board on %1").arg(qs(args.value("http", kDefaultBoard))));
            return 1;
        }
        QObject::connect(&server, &ExamServer::committed, [b = board.get()] { b->committed(); });
        QObject::connect(&server, &ExamServer::journalHealthChanged,
                         [b = board.get()](const JournalHealth& h) { b->setJournalHealth(h); });
    }

    // The roster is read again within seconds of a change, whether written
    // in place or replaced by a rename.
    Roster::Stamp stamp = Roster::stampOf(rosterPath);
    QTimer rosterWatch;
    QObject::connect(&rosterWatch, &QTimer::timeout, [&] {
        const Roster::Stamp now = Roster::stampOf(rosterPath);
        if (now == stamp) {
            return;
        }
        stamp = now;
        if (Status f = roster.load(rosterPath); !f.ok()) {
            say(stderr, tr("%1 (the previous roster stays)").arg(qs(f.fault().message)));
        } else {
            say(stderr, tr("roster read again: %1 students").arg(roster.size()));
        }
    });
    rosterWatch.start(1000);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        std::perror("quizdesk-examd: socketpair");
        return 1;
    }
    QSocketNotifier stopper(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopper, &QSocketNotifier::activated, [&] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &b, 1);
        stopper.setEnabled(false);
        server.stop();
        app.quit();
    });
    struct sigaction sa
    {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    say(stdout, tr("listening on %1 port %2, %3 students on the roster")
                    .arg(server.address().toString())
                    .arg(server.port())
                    .arg(roster.size()));
    for (const ExamTest& t : tests) {
        say(stdout,
            tr("scoring with the test \"%1\" in %2")
                .arg(qs(fromCp1251(t.model->testName).substr(t.model->testName.rfind(' ', 0) == 0)),
                     qs(t.dir.string())));
    }
    if (tests.empty()) {
        say(stdout, tr("results are not verified: no --test given"));
    }
    if (board) {
        say(stdout, tr("board on %1").arg(qs(board->url())));
    }
    std::fflush(stdout);
    const int rc = app.exec();
    server.stop();
    return rc;
}

} // namespace qd::server
