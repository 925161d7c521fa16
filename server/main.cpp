// quizdesk-examd: the exam server and its commands on the journal.
//
//   quizdesk-examd serve [--listen ADDR] [--port P] [--roster FILE] [--db DB]
//                        [--http ADDR:PORT | --no-http] [--name NAME]
//                        [--deny FILE] [--from T] [--until T] [--allow CIDR]... [--retakes N]
//                        [--test DIR]...
//   quizdesk-examd status [--watch] [--db DB]
//   quizdesk-examd export [--format csv|csv-1251|xlsx] [--matrix] [-o FILE] [--db DB]
//                         [--test DIR]...
//   quizdesk-examd report NAME [--all] [--db DB]
//   quizdesk-examd release NAME [--move] [--db DB]
//   quizdesk-examd stop NAME [--db DB]
//   quizdesk-examd incidents [--db DB]
//   quizdesk-examd verify [--db DB] [--test DIR]...
//   quizdesk-examd import-reports FOLDER [--test DIR]... [--db DB]
//
// Exit codes: 0 done, 1 a failure (or nothing to show), 2 bad usage.

#include "Board.h"
#include "ExamServer.h"
#include "ExamTests.h"
#include "ReportImport.h"
#include "Rules.h"
#include "journal/SqlJournal.h"
#include "Views.h"
#include "JournalCheck.h"
#include "ServerText.h"

#include "definition/Cp1251.h"
#include "definition/TerminalText.h"
#include "results/ReportSource.h"
#include "run/SystemClock.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace qd;
using namespace qd::server;

namespace qd::server {
namespace {

// The usage in the reader's language; the commands and options as typed.
QString usageText()
{
    return tr(
        "usage: quizdesk-examd serve [--listen ADDR] [--port P] [--roster FILE] [--db DB]\n"
        "                            [--http ADDR:PORT | --no-http] [--name NAME] [--deny FILE]\n"
        "                            [--from \"YYYY-MM-DD HH:MM\"] [--until \"YYYY-MM-DD HH:MM\"]\n"
        "                            [--allow CIDR]... [--retakes N] [--test DIR]...\n"
        "                            [--board-token-file FILE]\n"
        "       quizdesk-examd status [--watch] [--db DB]\n"
        "       quizdesk-examd export [--format csv|csv-1251|xlsx] [--matrix] [-o FILE] [--db DB]\n"
        "                             [--test DIR]...\n"
        "       quizdesk-examd report NAME [--all] [--db DB]\n"
        "       quizdesk-examd release NAME [--move] [--db DB]\n"
        "       quizdesk-examd stop NAME [--db DB]\n"
        "       quizdesk-examd incidents [--db DB]\n"
        "       quizdesk-examd verify [--db DB] [--test DIR]...\n"
        "       quizdesk-examd import-reports FOLDER [--test DIR]... [--db DB]\n"
        "       quizdesk-examd --help | --version\n"
        "DB: a SQLite file (default quizdesk-exam.sqlite) or postgresql://USER@HOST[:PORT]/DB\n");
}

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

// A line of the server's own, with "quizdesk-examd: " in front: its log on
// stdout, its faults on stderr.
void say(std::FILE* to, const QString& text)
{
    const QByteArray line = "quizdesk-examd: " + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), to);
}

// A fault of a lower layer: its message as it is.
void sayFault(const std::string& message)
{
    say(stderr, qs(message));
}

struct Args
{
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> values;
    std::set<std::string> flags;

    std::string value(const std::string& name, const std::string& fallback = {}) const
    {
        const auto it = values.find(name);
        return it == values.end() || it->second.empty() ? fallback : it->second.back();
    }
    bool has(const std::string& name) const { return values.count(name) != 0; }
};

const std::set<std::string> kValueOptions = {
    "--listen", "--port", "--roster", "--db",    "--http",
    "--deny",   "--from", "--until",  "--allow", "--retakes",
    "--format", "-o",     "--name",   "--test",  "--board-token-file"};
const std::set<std::string> kFlags = {"--no-http", "--watch", "--matrix", "--all", "--move"};

int usage(const QString& why)
{
    if (!why.isEmpty()) {
        say(stderr, why);
    }
    std::fputs(usageText().toUtf8().constData(), stderr);
    return 2;
}

std::optional<Args> parse(int argc, char** argv, QString* error)
{
    Args a;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::string value;
            bool inlineValue = false;
            if (const auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
            if (kFlags.count(arg) != 0 && !inlineValue) {
                a.flags.insert(arg);
            } else if (kValueOptions.count(arg) != 0) {
                if (!inlineValue) {
                    if (i + 1 >= argc) {
                        *error = tr("%1 needs a value").arg(qs(arg));
                        return std::nullopt;
                    }
                    value = argv[++i];
                }
                a.values[arg].push_back(value);
            } else {
                *error = tr("unknown option %1").arg(qs(arg));
                return std::nullopt;
            }
        } else if (a.command.empty()) {
            a.command = arg;
        } else {
            a.positional.push_back(arg);
        }
    }
    return a;
}

// The commands read a journal that a server made: a SQLite file that is
// not there is a mistake (another folder), not an empty exam.
std::unique_ptr<SqlJournal> openJournal(const Args& a, const std::string& server,
                                        bool create = false)
{
    const std::string journal = a.value("--db", "quizdesk-exam.sqlite");
    if (!create && journal.rfind("postgres", 0) != 0 && !std::filesystem::exists(journal)) {
        say(stderr, tr("no journal %1 here (--db names it)").arg(qs(journal)));
        return nullptr;
    }
    auto j = SqlJournal::open(journal, server);
    if (auto* f = std::get_if<Fault>(&j)) {
        sayFault(f->message);
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<SqlJournal>>(j));
}

template <typename T> bool take(Result<T>&& v, T& out)
{
    if (auto* f = std::get_if<Fault>(&v)) {
        sayFault(f->message);
        return false;
    }
    out = std::move(std::get<T>(v));
    return true;
}

// The folders given with --test, in their order.
std::vector<std::filesystem::path> testDirsOf(const Args& a)
{
    const auto it = a.values.find("--test");
    return it == a.values.end()
               ? std::vector<std::filesystem::path>{}
               : std::vector<std::filesystem::path>(it->second.begin(), it->second.end());
}

bool writeAll(const std::string& bytes, const std::string& path)
{
    if (path.empty() || path == "-") {
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
               std::fflush(stdout) == 0;
    }
    // Written beside it and renamed over it: an interrupted export never
    // leaves half a file under the name given. The flush is checked on its
    // own: commit() does not see a failure of the flush it makes.
    QSaveFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !f.flush() ||
        !f.commit()) {
        say(stderr, tr("cannot write %1: %2").arg(qs(path), f.errorString()));
        return false;
    }
    return true;
}

// ---- the signals that end the server: a byte through a pipe wakes the loop.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &b, 1);
}

int serve(const Args& a, QCoreApplication& app)
{
    if (!a.positional.empty()) {
        return usage(tr("serve takes no argument"));
    }
    SystemClock clock;
    RuleOptions rules;
    if (a.has("--retakes")) {
        bool ok = false;
        rules.retakes = QString::fromStdString(a.value("--retakes")).toInt(&ok);
        if (!ok || rules.retakes < 0) {
            return usage(tr("--retakes takes a count"));
        }
    }
    for (const char* opt : {"--from", "--until"}) {
        if (a.has(opt)) {
            const auto t = parseLocalTime(a.value(opt));
            if (!t) {
                return usage(
                    tr("%1 takes \"YYYY-MM-DD HH:MM[:SS]\" (local time)").arg(QLatin1String(opt)));
            }
            (std::string(opt) == "--from" ? rules.from : rules.until) = t;
        }
    }
    if (const auto it = a.values.find("--allow"); it != a.values.end()) {
        for (const std::string& cidr : it->second) {
            const auto range = QHostAddress::parseSubnet(QString::fromStdString(cidr));
            if (range.first.isNull()) {
                return usage(
                    tr("--allow takes an address range such as 10.1.2.0/24: %1").arg(qs(cidr)));
            }
            rules.allow.push_back(range);
        }
    }
    const std::string denyPath = a.value("--deny");
    if (!denyPath.empty()) {
        std::string error;
        const auto bytes = readFileBounded(denyPath, 16u << 20, &error);
        if (!bytes) {
            say(stderr, tr("cannot read %1: %2").arg(qs(denyPath), qs(error)));
            return 1;
        }
        rules.deny = parseDenyList(*bytes);
    }
    quint16 port = 1023;
    if (a.has("--port")) {
        bool ok = false;
        const uint p = QString::fromStdString(a.value("--port")).toUInt(&ok);
        if (!ok || p > 65535) {
            return usage(tr("--port takes 0 to 65535"));
        }
        port = quint16(p);
    }
    QHostAddress listenAddress(QHostAddress::Any);
    if (a.has("--listen") &&
        !listenAddress.setAddress(QString::fromStdString(a.value("--listen")))) {
        return usage(tr("--listen takes an address"));
    }
    QHostAddress httpAddress(QHostAddress::LocalHost);
    quint16 httpPort = 8023;
    const bool http = a.flags.count("--no-http") == 0;
    if (http && a.has("--http")) {
        const QString board = QString::fromStdString(a.value("--http"));
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
    if (!take(loadExamTests(testDirsOf(a)), tests)) {
        return 1;
    }

    const std::string name = a.value("--name", QHostInfo::localHostName().toStdString());
    auto journal = openJournal(a, name, true);
    if (!journal) {
        return 1;
    }
    const std::filesystem::path rosterPath = a.value("--roster", "students.dbf");
    Roster roster;
    if (Status f = roster.load(rosterPath)) {
        sayFault(f->message);
        return 1;
    }
    ExamDesk desk(*journal, clock, roster, rules);
    desk.setTests(modelsOf(tests));
    ExamServer server(*journal, desk, clock);
    desk.setConnections(&server, name);
    QObject::connect(&server, &ExamServer::journalFault, [](const QString& m) {
        say(stderr,
            tr("%1 (the clients are asked to send again)").arg(qs(terminalSafe(m.toStdString()))));
    });
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
    QString error;
    const char* listenPid = std::getenv("LISTEN_PID");
    const char* listenFds = std::getenv("LISTEN_FDS");
    if (listenPid && listenFds && std::strtol(listenPid, nullptr, 10) == long(::getpid()) &&
        std::atoi(listenFds) >= 1) {
        ::unsetenv("LISTEN_PID");
        ::unsetenv("LISTEN_FDS");
        ::unsetenv("LISTEN_FDNAMES");
        if (!server.adopt(3, &error)) {
            say(stderr, tr("cannot take the socket from systemd: %1").arg(error));
            return 1;
        }
    } else if (!server.listen(listenAddress, port, &error)) {
        say(stderr, tr("cannot listen on %1 port %2: %3")
                        .arg(listenAddress.toString())
                        .arg(port)
                        .arg(error));
        return 1;
    }

    std::unique_ptr<SqlJournal> boardJournal;
    std::unique_ptr<Board> board;
    if (http) {
        boardJournal = openJournal(a, name);
        if (!boardJournal) {
            return 1;
        }
        (void)boardJournal->limitWaits(ExamServer::kLockWaitMs);
        // Off the machine itself the board asks for its token; on loopback
        // only when one is named.
        std::string token;
        if (!httpAddress.isLoopback() || a.has("--board-token-file")) {
            const std::filesystem::path tokenPath =
                a.has("--board-token-file")
                    ? std::filesystem::path(a.value("--board-token-file"))
                    : defaultBoardTokenPath(a.value("--db", "quizdesk-exam.sqlite"));
            auto t = boardToken(tokenPath);
            if (!t.ok()) {
                sayFault(t.fault().message);
                return 1;
            }
            token = std::move(t.value());
        }
        board = std::make_unique<Board>(*boardJournal, clock, BoardAccess(token), !tests.empty());
        board->setJournalHealth([&server] { return server.journalHealth(); });
        board->setGradebook([&boardJournal, models = modelsOf(tests)]() -> Result<Gradebook> {
            auto reports = boardJournal->finishedReports();
            if (!reports.ok()) {
                return reports.fault();
            }
            return gradebookOf(reports.value(), models);
        });
        httpPort = board->listen(httpAddress, httpPort);
        if (httpPort == 0) {
            say(stderr,
                tr("cannot serve the board on %1").arg(qs(a.value("--http", "127.0.0.1:8023"))));
            return 1;
        }
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
        if (Status f = roster.load(rosterPath)) {
            say(stderr, tr("%1 (the previous roster stays)").arg(qs(f->message)));
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

int status(const Args& a)
{
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    const bool watch = a.flags.count("--watch") != 0;
    // --watch redraws until interrupted; bounded to a day so that a
    // forgotten terminal does not keep it forever.
    for (int round = 0; round < (watch ? 86400 : 1); ++round) {
        std::vector<Sitting> s;
        if (!take(journal->sittings(), s)) {
            return 1;
        }
        std::string out = statusTable(s, int64_t(clock.calendarSeconds()));
        if (watch) {
            out = "\x1b[H\x1b[2J" + out; // home and clear: the table redrawn in place
        }
        if (!writeAll(out, {})) {
            return 1;
        }
        if (watch) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    return 0;
}

int exportCommand(const Args& a)
{
    const std::string format = a.value("--format", "csv");
    if (format != "csv" && format != "csv-1251" && format != "xlsx") {
        return usage(tr("--format takes csv, csv-1251 or xlsx"));
    }
    const std::string out = a.value("-o");
    if (format == "xlsx" && (out.empty() || out == "-")) {
        return usage(tr("xlsx needs -o FILE"));
    }
    // With the tests, the table of points gets each question's maximum.
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(testDirsOf(a)), tests)) {
        return 1;
    }
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    std::vector<Sitting> s;
    std::vector<AnswerRow> answers;
    std::vector<std::pair<int64_t, std::string>> reports;
    const bool matrix = a.flags.count("--matrix") != 0;
    if (!take(journal->sittings(), s) || (matrix && !take(journal->answers(), answers)) ||
        !take(journal->finishedReports(), reports)) {
        return 1;
    }
    const Gradebook gradebook = gradebookOf(reports, modelsOf(tests));
    if (format == "xlsx") {
        // The workbook is made under a temporary name beside the target and
        // renamed over it once whole.
        QTemporaryFile part(QString::fromStdString(out) + QStringLiteral(".XXXXXX.part"));
        if (!part.open()) {
            say(stderr, tr("cannot write %1: %2").arg(qs(out), part.errorString()));
            return 1;
        }
        part.close();
        if (Status f = writeXlsx(part.fileName().toStdString(), s, answers, matrix, gradebook)) {
            sayFault(f->message);
            return 1;
        }
        if (::rename(QFile::encodeName(part.fileName()).constData(), out.c_str()) != 0) {
            say(stderr, tr("cannot write %1: %2").arg(qs(out), qs(std::strerror(errno))));
            return 1;
        }
        part.setAutoRemove(false);
        return 0;
    }
    const char sep = format == "csv" ? ',' : ';';
    std::string text =
        matrix ? matrixCsv(s, answers, sep, gradebook) : sittingsCsv(s, sep, gradebook);
    if (format == "csv-1251") {
        text = toCp1251(text);
    }
    return writeAll(text, out) ? 0 : 1;
}

int report(const Args& a)
{
    if (a.positional.size() != 1) {
        return usage(tr("report takes one NAME"));
    }
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    std::vector<std::string> reports;
    if (!take(journal->reports(a.positional[0]), reports)) {
        return 1;
    }
    if (reports.empty()) {
        say(stderr, tr("no report of %1").arg(qs(a.positional[0])));
        return 1;
    }
    // The stored report keeps its bytes; on the terminal each one ends its
    // last line, so that the prompt (or the next report) starts a line.
    const auto ended = [](std::string text) {
        if (!text.empty() && text.back() != '\n') {
            text += '\n';
        }
        return text;
    };
    // The sittings of these reports, in the same order: where the server's
    // figures are not the report's, a line after the report gives them.
    std::vector<Sitting> all;
    if (!take(journal->sittings(), all)) {
        return 1;
    }
    std::vector<const Sitting*> sat;
    for (const Sitting& s : all) {
        if (s.student == a.positional[0] && s.state == SittingState::Finished && s.hasReport) {
            sat.push_back(&s);
        }
    }
    std::stable_sort(sat.begin(), sat.end(),
                     [](const Sitting* x, const Sitting* y) { return x->finished < y->finished; });
    std::string out;
    const std::size_t first = a.flags.count("--all") != 0 ? 0 : reports.size() - 1;
    for (std::size_t i = first; i < reports.size(); ++i) {
        out += ended(terminalSafe(fromCp1251(reports[i]), true));
        if (sat.size() == reports.size()) {
            out += ended(serverFigures(*sat[i]));
        }
    }
    return writeAll(out, {}) ? 0 : 1;
}

int release(const Args& a)
{
    if (a.positional.size() != 1) {
        return usage(tr("release takes one NAME"));
    }
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    const int64_t now = int64_t(clock.calendarSeconds());
    // --move: the sitting stays open and goes on on whichever computer the
    // student's checkpoint is taken to; without it, it is closed.
    const bool move = a.flags.count("--move") != 0;
    bool any = false;
    if (!take(move ? journal->move(a.positional[0], now) : journal->release(a.positional[0], now),
              any)) {
        return 1;
    }
    if (!any) {
        say(stderr, tr("%1 has no open sitting").arg(qs(a.positional[0])));
        return 1;
    }
    const QString done = move ? tr("released %1 to go on on another computer") : tr("released %1");
    std::fputs((done.arg(qs(a.positional[0])) + QLatin1Char('\n')).toUtf8().constData(), stdout);
    return 0;
}

int importReports(const Args& a)
{
    if (a.positional.size() != 1) {
        return usage(tr("import-reports takes one FOLDER"));
    }
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(testDirsOf(a)), tests)) {
        return 1;
    }
    ReportFolder folder(a.positional[0]);
    auto files = folder.files();
    if (!files.ok()) {
        sayFault(files.fault().message);
        return 1;
    }
    auto journal = openJournal(a, QHostInfo::localHostName().toStdString(), true);
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    const auto results =
        qd::server::importReports(*journal, folder.folder(), files.value(),
                                  {modelsOf(tests), int64_t(clock.calendarSeconds())});
    std::map<ImportOutcome, int> counts;
    std::string out;
    bool failed = false;
    for (const ImportedReport& r : results) {
        counts[r.outcome] += 1;
        out += terminalSafe(importLine(r)) + "\n";
        failed =
            failed || r.outcome == ImportOutcome::Refused || r.outcome == ImportOutcome::Failed;
    }
    out += std::to_string(counts[ImportOutcome::Stored] + counts[ImportOutcome::Differs]) +
           " stored (" + std::to_string(counts[ImportOutcome::Differs]) + " as another attempt), " +
           std::to_string(counts[ImportOutcome::Completed]) + " completed, " +
           std::to_string(counts[ImportOutcome::AlreadyThere]) + " already there, " +
           std::to_string(counts[ImportOutcome::Skipped]) + " skipped, " +
           std::to_string(counts[ImportOutcome::Refused] + counts[ImportOutcome::Failed]) +
           " not stored\n";
    return writeAll(out, {}) && !failed ? 0 : 1;
}

int stop(const Args& a)
{
    if (a.positional.size() != 1) {
        return usage(tr("stop takes one NAME"));
    }
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    bool any = false;
    if (!take(journal->stop(a.positional[0], int64_t(clock.calendarSeconds())), any)) {
        return 1;
    }
    if (!any) {
        say(stderr, tr("%1 has no open sitting").arg(qs(a.positional[0])));
        return 1;
    }
    std::fputs((tr("stopped %1").arg(qs(a.positional[0])) + QLatin1Char('\n')).toUtf8().constData(),
               stdout);
    return 0;
}

int incidents(const Args& a)
{
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    std::vector<Incident> list;
    if (!take(journal->incidents(1000000), list)) {
        return 1;
    }
    std::string out;
    for (const Incident& i : list) {
        // Names and details come from the students' computers: shown, never
        // obeyed by the terminal.
        out += isoLocal(i.at) + "  " + terminalSafe(i.kind) + "  " + terminalSafe(i.student) +
               "  " + terminalSafe(i.computer) + "  " + terminalSafe(i.address) + "  " +
               terminalSafe(i.detail);
        if (!i.bytes.empty()) {
            out += "  (" + std::to_string(i.bytes.size()) + " bytes kept)";
        }
        out += "  [" + terminalSafe(i.server) + "]\n";
    }
    return writeAll(out, {}) ? 0 : 1;
}

// The journal as the servers wrote it, and with --test the stored results
// as the stored reports score.
int verify(const Args& a)
{
    if (!a.positional.empty()) {
        return usage(tr("verify takes no argument"));
    }
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(testDirsOf(a)), tests)) {
        return 1;
    }
    auto journal = openJournal(a, {});
    if (!journal) {
        return 1;
    }
    const JournalCheckOutcome o = checkJournal(*journal, modelsOf(tests));
    if (!o.fault.empty()) {
        sayFault(o.fault);
        return 1;
    }
    if (!writeAll(o.out, {})) {
        return 1;
    }
    if (!o.broken.empty()) {
        say(stderr, tr("the journal does not hold: %1").arg(qs(o.broken)));
        return 1;
    }
    return 0;
}

} // namespace
} // namespace qd::server

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("quizdesk-examd %s\n", QUIZDESK_VERSION);
        return 0;
    }
    // --help anywhere, also after a command ("serve --help"), is a request
    // for the usage, not a mistake.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            qd::l10n::useSystemLanguage(QStringLiteral("quizdesk-examd"));
            std::fputs(usageText().toUtf8().constData(), stdout);
            return 0;
        }
    }
    // A file-size limit fails a write (reported, the export's temporary
    // file removed) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    qd::l10n::keepDecimalPoint();
    qd::l10n::useSystemLanguage(QStringLiteral("quizdesk-examd"));
    QString error;
    const auto args = parse(argc, argv, &error);
    if (!args) {
        return usage(error);
    }
    const std::string& c = args->command;
    if (c == "serve") {
        return serve(*args, app);
    }
    if (c == "status") {
        return status(*args);
    }
    if (c == "export") {
        return exportCommand(*args);
    }
    if (c == "report") {
        return report(*args);
    }
    if (c == "release") {
        return release(*args);
    }
    if (c == "stop") {
        return stop(*args);
    }
    if (c == "incidents") {
        return incidents(*args);
    }
    if (c == "verify") {
        return verify(*args);
    }
    if (c == "import-reports") {
        return importReports(*args);
    }
    return usage(c.empty() ? QString() : qd::server::tr("unknown command %1").arg(qs(c)));
}
