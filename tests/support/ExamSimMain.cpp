// exam_sim: a simulated testing computer for the exam server's script
// tests and benchmark. It sends the client's messages, built by the same
// ExamMessage as the client's, one at a time on one connection, and prints
// the reply to each. Like the client, when the connection ends before a
// reply it connects again and sends the same message again. Every wait is
// bounded (--wait, default 5 s per message).
//
//   exam_sim --port P [--address A] [--host H] --name NAME [--wait S] [--resend S] STEP...
//
// Steps: reg, progress:N:SCORE:RIGHT, final:PERCENT:GRADE[:REPORTFILE], raw:HEX (bytes
// as they stand, the reply printed), drop (close the connection now),
// sleep:MS (wait, the connection kept; "closed" is printed when the server
// closed it meanwhile), name:NAME (the next messages carry another name).
// Output, one line a step: "code N", "again" (accepted 0), "bad" (a reply
// that does not check), "none" (no reply in time).
// With --resend S a message answered "accepted 0" is sent again at once, as
// the client does, for up to S seconds; each reply is then printed with the
// time it took: "again after N ms", "code C after N ms".

#include "definition/Cp1251.h"
#include "exam/Crc32.h"
#include "exam/ExamMessage.h"
#include "exam/ServerReply.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>
#include <string>

namespace {

struct Link
{
    QString address;
    quint16 port = 0;
    int waitMs = 5000;
    QTcpSocket socket;

    bool connectNow(const QDeadlineTimer& deadline)
    {
        while (!deadline.hasExpired()) {
            socket.abort();
            socket.connectToHost(address, port);
            if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) {
                return true;
            }
            QThread::msleep(20);
        }
        return false;
    }

    // Sends `bytes` and reads one 7-byte reply; on a dropped connection,
    // connects again and sends again.
    std::string exchange(const std::string& bytes)
    {
        const QDeadlineTimer deadline(waitMs);
        while (!deadline.hasExpired()) {
            if (socket.state() != QAbstractSocket::ConnectedState && !connectNow(deadline)) {
                break;
            }
            socket.write(bytes.data(), qint64(bytes.size()));
            socket.flush();
            std::string reply;
            while (reply.size() < 7 && !deadline.hasExpired() &&
                   socket.state() == QAbstractSocket::ConnectedState) {
                if (socket.bytesAvailable() == 0) {
                    socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
                }
                const QByteArray got = socket.read(qint64(7 - reply.size()));
                reply.append(got.constData(), std::size_t(got.size()));
            }
            if (reply.size() == 7) {
                return reply;
            }
        }
        return {};
    }
};

std::string fromHex(const QString& hex)
{
    const QByteArray b = QByteArray::fromHex(hex.toLatin1());
    return std::string(b.constData(), std::size_t(b.size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    Link link;
    link.address = QStringLiteral("127.0.0.1");
    qd::ExamMessage m;
    m.hostName = "sim-pc";
    QStringList steps;
    int resendMs = 0;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--port") && hasValue) {
            link.port = quint16(args[++i].toUInt());
        } else if (a == QLatin1String("--address") && hasValue) {
            link.address = args[++i];
        } else if (a == QLatin1String("--host") && hasValue) {
            m.hostName = args[++i].toStdString();
        } else if (a == QLatin1String("--name") && hasValue) {
            m.studentName = qd::toCp1251(args[++i].toStdString());
        } else if (a == QLatin1String("--resend") && hasValue) {
            resendMs = int(args[++i].toDouble() * 1000);
        } else if (a == QLatin1String("--wait") && hasValue) {
            link.waitMs = int(args[++i].toDouble() * 1000);
        } else {
            steps << a;
        }
    }
    for (const QString& step : steps) {
        const QStringList p = step.split(QLatin1Char(':'));
        std::string bytes;
        if (p[0] == QLatin1String("reg")) {
            m.kind = qd::ExamMessage::Registration;
            bytes = m.bytes();
        } else if (p[0] == QLatin1String("progress") && p.size() == 4) {
            m.kind = qd::ExamMessage::Progress;
            m.answeredCount = int16_t(p[1].toInt());
            m.scoreValue = p[2].toFloat();
            m.lastRight = uint8_t(p[3].toInt());
            bytes = m.bytes();
        } else if (p[0] == QLatin1String("final") && p.size() >= 3) {
            m.kind = qd::ExamMessage::Final;
            m.scoreValue = p[1].toFloat();
            m.gradeText = qd::toCp1251(p[2].toStdString());
            std::string report;
            if (p.size() >= 4) {
                QFile f(p.mid(3).join(QLatin1Char(':')));
                if (!f.open(QIODevice::ReadOnly)) {
                    std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
                    return 2;
                }
                const QByteArray b = f.readAll();
                report.assign(b.constData(), std::size_t(b.size()));
            }
            bytes = m.finalMessage(report);
        } else if (p[0] == QLatin1String("raw") && p.size() == 2) {
            bytes = fromHex(p[1]);
        } else if (p[0] == QLatin1String("sleep") && p.size() == 2) {
            const QDeadlineTimer until(p[1].toInt());
            bool closed = false;
            while (!until.hasExpired()) {
                if (link.socket.state() != QAbstractSocket::ConnectedState) {
                    closed = true;
                    break;
                }
                // A close by the server shows as the end of the stream.
                link.socket.waitForReadyRead(int(std::max<qint64>(1, until.remainingTime())));
                link.socket.readAll();
            }
            if (closed || link.socket.state() != QAbstractSocket::ConnectedState) {
                std::printf("closed\n");
            }
            std::fflush(stdout);
            continue;
        } else if (p[0] == QLatin1String("name") && p.size() == 2) {
            m.studentName = qd::toCp1251(p[1].toStdString());
            continue;
        } else if (p[0] == QLatin1String("drop")) {
            link.socket.abort();
            std::printf("dropped\n");
            continue;
        } else {
            std::fprintf(stderr, "unknown step %s\n", qPrintable(step));
            return 2;
        }
        const QDeadlineTimer resendUntil(resendMs);
        for (;;) {
            QElapsedTimer took;
            took.start();
            const std::string reply = link.exchange(bytes);
            const std::string after =
                resendMs > 0 ? " after " + std::to_string(took.elapsed()) + " ms" : "";
            if (reply.empty()) {
                std::printf("none\n");
            } else if (qd::Crc32(reply) != 0) {
                std::printf("bad\n");
            } else {
                const qd::ServerReply r = qd::ServerReply::parse(reply);
                if (r.accepted == 0) {
                    std::printf("again%s\n", after.c_str());
                    std::fflush(stdout);
                    if (resendMs > 0 && !resendUntil.hasExpired()) {
                        continue;
                    }
                } else {
                    std::printf("code %d%s\n", int(r.code), after.c_str());
                }
            }
            break;
        }
        std::fflush(stdout);
    }
    return 0;
}
