// fake_exam_server: the tests' stand-in for the exam-server program, for the
// script tests of the dry run. It listens on 127.0.0.1 only, on a port the
// system picks, prints "port N" on stdout, answers each message the client
// sends with the next step of its command line (a grant once they run out)
// and writes one line per message to the log. It ends by itself after --lifetime seconds, so that a failed test
// never leaves it behind.
//
//   fake_exam_server --log FILE [--report FILE] [--lifetime S]
//                    [--fallback STEP] [--close-on-accept] [--flood STEP] [STEP...]
//   fake_exam_server --unused-port     (prints a port where nothing listens)
//
// Steps: grant, code:N (a verdict), again (accepted 0), flip (a grant with
// one bit flipped), silent (no reply), hangup (no reply, the connection
// closed), vanish (hangup, and every later connection closed at once).
// Broken servers: --fallback answers every message after the steps (grant
// unless given), --close-on-accept closes every connection at once,
// --flood never reads and sends that step's reply over and over;
// --accepts FILE gets a line per connection accepted.

#include "FakeExamServer.h"

#include "definition/Cp1251.h"
#include "exam/ServerReply.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <optional>

using qd::test::FakeExamServer;

namespace {

std::optional<FakeExamServer::Step> parseStep(const QString& word)
{
    if (word == QLatin1String("grant")) {
        return FakeExamServer::verdict(0);
    }
    if (word == QLatin1String("again")) {
        return FakeExamServer::verdict(0, 0);
    }
    if (word == QLatin1String("flip")) {
        std::string reply = qd::ServerReply::encode(1, 0);
        reply[3] = char(reply[3] ^ 0x10);
        return FakeExamServer::raw(reply);
    }
    if (word == QLatin1String("silent")) {
        return FakeExamServer::silence();
    }
    if (word == QLatin1String("hangup")) {
        return FakeExamServer::hangUp();
    }
    if (word == QLatin1String("vanish")) {
        return FakeExamServer::vanish();
    }
    if (word.startsWith(QLatin1String("code:"))) {
        bool ok = false;
        const int code = word.mid(5).toInt(&ok);
        if (ok && code >= -32768 && code <= 32767) {
            return FakeExamServer::verdict(int16_t(code));
        }
    }
    return std::nullopt;
}

const char* kindName(int kind)
{
    switch (kind) {
    case qd::ExamMessage::Registration:
        return "registration";
    case qd::ExamMessage::Progress:
        return "progress";
    case qd::ExamMessage::Final:
        return "final";
    default:
        return "kind?";
    }
}

QByteArray utf8(const std::string& cp1251)
{
    return QByteArray::fromStdString(qd::fromCp1251(cp1251));
}

// One line per message: the connection it came on, its kind and fields.
QByteArray describe(const FakeExamServer::Received& r)
{
    const qd::ExamMessage& m = r.fields;
    QByteArray line = QByteArray::number(r.connection) + ' ' + kindName(m.kind);
    line += " host=" + utf8(m.hostName);
    line += " name=\"" + utf8(m.studentName) + '"';
    line += " count=" + QByteArray::number(m.answeredCount);
    line += " right=" + QByteArray::number(m.lastRight);
    line += " score=" + QByteArray::number(double(m.scoreValue));
    line += " grade=\"" + utf8(m.gradeText) + '"';
    if (m.kind == qd::ExamMessage::Final) {
        line += " report=" + QByteArray::number(qsizetype(r.report.size()));
    }
    line += r.checks ? " checks" : " BROKEN";
    return line + '\n';
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Log file."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption reportOption(QStringLiteral("report"),
                                          QStringLiteral("Where a final message's report goes."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption lifetimeOption(QStringLiteral("lifetime"),
                                            QStringLiteral("Seconds before it ends (30)."),
                                            QStringLiteral("S"), QStringLiteral("30"));
    const QCommandLineOption unusedOption(QStringLiteral("unused-port"),
                                          QStringLiteral("Print a port where nothing listens."));
    const QCommandLineOption acceptsOption(QStringLiteral("accepts"),
                                           QStringLiteral("A line per connection accepted."),
                                           QStringLiteral("FILE"));
    const QCommandLineOption fallbackOption(QStringLiteral("fallback"),
                                            QStringLiteral("The reply once the steps run out."),
                                            QStringLiteral("STEP"));
    const QCommandLineOption closeOption(QStringLiteral("close-on-accept"),
                                         QStringLiteral("Close every connection at once."));
    const QCommandLineOption floodOption(
        QStringLiteral("flood"), QStringLiteral("Never read; send this reply over and over."),
        QStringLiteral("STEP"));
    parser.addOptions({logOption, reportOption, lifetimeOption, unusedOption, fallbackOption,
                       closeOption, floodOption, acceptsOption});
    parser.addPositionalArgument(QStringLiteral("steps"), QStringLiteral("The replies, in order."));
    parser.process(app);

    if (parser.isSet(unusedOption)) {
        std::printf("%u\n", unsigned(FakeExamServer::unusedPort()));
        return 0;
    }

    FakeExamServer server;
    for (const QCommandLineOption* o : {&fallbackOption, &floodOption}) {
        if (!parser.isSet(*o)) {
            continue;
        }
        const auto step = parseStep(parser.value(*o));
        if (!step || (o == &floodOption && step->reply.empty())) {
            std::fprintf(stderr, "not a reply: %s\n", qPrintable(parser.value(*o)));
            return 2;
        }
        if (o == &fallbackOption) {
            server.setFallback(*step);
        } else {
            server.setFlood(step->reply);
        }
    }
    server.setCloseOnAccept(parser.isSet(closeOption));
    for (const QString& word : parser.positionalArguments()) {
        const auto step = parseStep(word);
        if (!step) {
            std::fprintf(stderr, "unknown step %s\n", qPrintable(word));
            return 2;
        }
        server.push(*step);
    }
    QFile log(parser.value(logOption));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        std::fprintf(stderr, "cannot write the log %s\n", qPrintable(log.fileName()));
        return 2;
    }
    const QString reportPath = parser.value(reportOption);
    QFile accepts(parser.value(acceptsOption));
    if (parser.isSet(acceptsOption) &&
        !accepts.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(accepts.fileName()));
        return 2;
    }
    QObject::connect(&server, &FakeExamServer::connectionAccepted, [&] {
        if (accepts.isOpen()) {
            accepts.write("accept " + QByteArray::number(server.connections()) + '\n');
        }
    });

    QObject::connect(&server, &FakeExamServer::messageReceived, [&] {
        const FakeExamServer::Received& r = server.received().back();
        log.write(describe(r));
        if (r.fields.kind == qd::ExamMessage::Final && !reportPath.isEmpty()) {
            QFile out(reportPath);
            if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                out.write(r.report.data(), qint64(r.report.size()));
            }
        }
    });

    if (!server.listen()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    QTimer::singleShot(parser.value(lifetimeOption).toInt() * 1000, &app, &QCoreApplication::quit);
    std::printf("port %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
