// quizdesk-tool scramble / unscramble: turns a test file between its plain
// and scrambled forms. The result replaces the file (or goes to -o OUT)
// atomically: a failure never leaves a half-written test file behind.

#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Scrambler.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <string>

namespace qdtool {

namespace {

enum class Direction { Scramble, Unscramble };

const QString kKind = QStringLiteral("kind");
const QString kOutput = QStringLiteral("output");
const QString kSeed = QStringLiteral("seed");

// The file's kind decides the leading characters and the decoder's extra
// draw: from --kind, or else from the file's name as the program knows it.
qd::Result<qd::FileKind> kindOf(const QCommandLineParser& parser, const QString& file)
{
    QString name;
    if (parser.isSet(kKind)) {
        name = parser.value(kKind);
        if (name == QLatin1String("questions")) {
            return qd::FileKind::Questions;
        }
        if (name == QLatin1String("answers")) {
            return qd::FileKind::Answers;
        }
        return qd::Fault{tr("--kind is questions or answers, not \"%1\"").arg(name).toStdString()};
    }
    name = QFileInfo(file).fileName().toLower();
    if (name == QLatin1String("voprosi.txt")) {
        return qd::FileKind::Questions;
    }
    if (name == QLatin1String("otveti.txt")) {
        return qd::FileKind::Answers;
    }
    return qd::Fault{tr("cannot tell whether \"%1\" holds questions or answers: "
                        "name it voprosi.txt or otveti.txt, or give --kind")
                         .arg(file)
                         .toStdString()};
}

std::optional<std::string> readWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        printError(tr("cannot read \"%1\": %2").arg(path, f.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        printError(tr("cannot read \"%1\": %2").arg(path, f.errorString()));
        return std::nullopt;
    }
    return bytes.toStdString();
}

QString kindName(qd::FileKind kind)
{
    return kind == qd::FileKind::Questions ? QStringLiteral("questions")
                                           : QStringLiteral("answers");
}

int convert(const QStringList& args, Direction direction)
{
    const bool scrambling = direction == Direction::Scramble;
    CommandLine cl(args, scrambling ? tr("Scrambles a plain test file with seed S (0 to 65535).")
                                    : tr("Turns a scrambled test file back into plain text."));
    QCommandLineParser& parser = cl.parser();
    parser.addPositionalArgument(QStringLiteral("FILE"), tr("voprosi.txt or otveti.txt."));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("o"), kOutput},
                                        tr("Write the result to OUT instead of replacing FILE."),
                                        QStringLiteral("OUT")));
    parser.addOption(QCommandLineOption(
        kKind, tr("questions or answers (default: from FILE's name)."), QStringLiteral("KIND")));
    if (scrambling) {
        parser.addOption(
            QCommandLineOption(kSeed, tr("The seed, 0 to 65535."), QStringLiteral("S")));
    }
    if (auto done = cl.parse(1)) {
        return *done;
    }
    if (parser.positionalArguments().isEmpty()) {
        return cl.usageError(tr("which file?"));
    }
    const QString file = parser.positionalArguments().constFirst();
    const QString out = parser.isSet(kOutput) ? parser.value(kOutput) : file;
    const auto kind = kindOf(parser, file);
    if (!kind.ok()) {
        return cl.usageError(QString::fromStdString(kind.fault().message));
    }
    uint16_t seed = 0;
    if (scrambling) {
        const auto v =
            parser.isSet(kSeed) ? parseNumber(parser.value(kSeed), 0, 65535) : std::nullopt;
        if (!v) {
            return cl.usageError(
                parser.isSet(kSeed)
                    ? QStringLiteral("--seed wants a whole number from 0 to 65535, not \"%1\"")
                          .arg(parser.value(kSeed))
                    : QStringLiteral("scrambling needs --seed"));
        }
        seed = uint16_t(*v);
    }

    const auto content = readWhole(file);
    if (!content) {
        return kExitFault;
    }
    std::string result;
    if (scrambling) {
        if (qd::isScrambled(*content)) {
            printError(tr("\"%1\" is scrambled already").arg(file));
            return kExitFault;
        }
        // The scrambled form keeps its seed where the two leading characters
        // stood; any other two characters would be lost.
        const char* lead = qd::leadingChars(kind.value());
        if (content->size() < 2 || std::memcmp(content->data(), lead, 2) != 0) {
            printError(tr("\"%1\" does not begin with \"%2\" as a plain %3 file must; "
                          "scrambling it would lose its first two characters")
                           .arg(file, fromTestText(lead), kindName(kind.value())));
            return kExitFault;
        }
        result = qd::scramble(*content, kind.value(), seed);
    } else {
        if (!qd::isScrambled(*content)) {
            printError(tr("\"%1\" is not scrambled").arg(file));
            return kExitFault;
        }
        if (content->size() < qd::kScrambleHeader) {
            printError(tr("\"%1\" is damaged: it ends before its seed").arg(file));
            return kExitFault;
        }
        seed = uint16_t(static_cast<unsigned char>((*content)[4]) |
                        (static_cast<unsigned char>((*content)[5]) << 8));
        result = qd::unscramble(*content, kind.value());
    }
    if (!writeFile(out, result)) {
        return kExitFault;
    }
    writeOut(QStringLiteral("%1: %2 %3 file, seed %4\n")
                 .arg(out, scrambling ? QStringLiteral("scrambled") : QStringLiteral("unscrambled"),
                      kindName(kind.value()))
                 .arg(seed)
                 .toUtf8());
    return kExitOk;
}

} // namespace

int runScramble(const QStringList& args)
{
    return convert(args, Direction::Scramble);
}

int runUnscramble(const QStringList& args)
{
    return convert(args, Direction::Unscramble);
}

} // namespace qdtool
