// quizdesk-tool import FILE: a QuizDesk test from a GIFT, Moodle XML or
// Aiken file. What the test cannot hold as the source meant it is listed
// with the source's line and the question's name; --strict refuses to write
// anything when there is such a loss.

#include "BankToTest.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Cp1251.h"
#include "definition/Scrambler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace qdtool {

namespace {

const QString kFormat = QStringLiteral("format");
const QString kOutput = QStringLiteral("output");
const QString kScramble = QStringLiteral("scramble");
const QString kStrict = QStringLiteral("strict");

// A text file as UTF-8; a file that is not UTF-8 is taken as code page 1251,
// the other encoding a Ukrainian teacher's files come in.
QString decodeText(const QByteArray& bytes)
{
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF")) {
        b.remove(0, 3);
    }
    QString utf8 = QString::fromUtf8(b);
    if (utf8.toUtf8() == b) {
        return utf8;
    }
    return QString::fromStdString(qd::fromCp1251(b.toStdString()));
}

QString formatOf(const QString& file, const QByteArray& bytes)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("xml")) {
        return QStringLiteral("moodle-xml");
    }
    if (suffix == QLatin1String("gift")) {
        return QStringLiteral("gift");
    }
    return bytes.contains("\nANSWER:") || bytes.startsWith("ANSWER:") ? QStringLiteral("aiken")
                                                                      : QStringLiteral("gift");
}

} // namespace

int runImport(const QStringList& args)
{
    CommandLine cl(args, tr("Makes a QuizDesk test (voprosi.txt, otveti.txt and pictures) in DIR\n"
                            "from a GIFT, Moodle XML or Aiken file. Parts the test cannot hold\n"
                            "as written are listed on stderr as FILE:LINE: \"QUESTION\": WHAT."));
    QCommandLineParser& p = cl.parser();
    p.addPositionalArgument(QStringLiteral("FILE"), tr("The file to import."));
    p.addOption({kFormat, tr("gift, moodle-xml or aiken (default: by the file)."),
                 QStringLiteral("FORMAT")});
    p.addOption({{QStringLiteral("o"), kOutput},
                 tr("The test's folder (default: the file's name without its "
                    "extension); it must not hold a test yet."),
                 QStringLiteral("DIR")});
    p.addOption({kScramble, tr("Write both files scrambled.")});
    p.addOption({kStrict, tr("Write nothing when anything would be lost (exit 1).")});
    if (auto done = cl.parse(1)) {
        return *done;
    }
    if (p.positionalArguments().size() != 1) {
        return cl.usageError(tr("import needs the FILE to read"));
    }
    const QString file = p.positionalArguments().constFirst();
    QFile in(pathOf(file));
    if (!in.open(QIODevice::ReadOnly)) {
        printError(tr("cannot read \"%1\": %2").arg(file, in.errorString()));
        return kExitFault;
    }
    // A question bank is text; a file far beyond any is refused unread.
    constexpr qint64 kLargestFile = 256 * 1024 * 1024;
    if (in.size() > kLargestFile) {
        printError(tr("\"%1\" is larger than 256 MB").arg(file));
        return kExitFault;
    }
    const QByteArray bytes = in.readAll();
    const QString format = p.isSet(kFormat) ? p.value(kFormat) : formatOf(file, bytes);
    QuestionBank bank;
    if (format == QLatin1String("gift")) {
        bank = readGift(decodeText(bytes));
    } else if (format == QLatin1String("moodle-xml")) {
        bank = readMoodleXml(bytes);
    } else if (format == QLatin1String("aiken")) {
        bank = readAiken(decodeText(bytes));
    } else {
        return cl.usageError(tr("--format is gift, moodle-xml or aiken, not \"%1\"").arg(format));
    }
    const QFileInfo info(file);
    const QString dirName =
        p.isSet(kOutput) ? p.value(kOutput) : info.dir().filePath(info.completeBaseName());
    const QDir dir(QString::fromStdString(pathOf(dirName).string()));
    if (dir.exists(QStringLiteral("voprosi.txt")) || dir.exists(QStringLiteral("otveti.txt"))) {
        printError(tr("\"%1\" already holds a test; nothing written").arg(dirName));
        return kExitFault;
    }
    const WrittenTest test = bankToTest(bank, info.completeBaseName());
    const QString name = info.fileName();
    for (const Loss& l : test.losses) {
        writeErr(QStringLiteral("%1:%2: \"%3\": %4\n")
                     .arg(name)
                     .arg(l.line)
                     .arg(l.question, l.what)
                     .toUtf8());
    }
    if (test.questionCount == 0) {
        printError(tr("\"%1\" holds no question QuizDesk can ask").arg(file));
        return kExitFault;
    }
    if (p.isSet(kStrict) && !test.losses.empty()) {
        printError(tr("%1 losses; nothing written (--strict)").arg(test.losses.size()));
        return kExitFault;
    }
    // What is written must load: the program's own loader has the last word.
    const qd::LoadResult loaded = qd::loadTestBytes(
        test.questions, test.answers, qd::WindowGeometry{}, [](int, bool) { return 10; });
    if (!loaded.ok()) {
        printError(tr("the test made from \"%1\" does not load; nothing written:").arg(file));
        printFault(loaded.fault());
        return kExitFault;
    }
    if (!QDir().mkpath(dir.path())) {
        printError(tr("cannot make the folder \"%1\"").arg(dirName));
        return kExitFault;
    }
    std::string questions = test.questions;
    std::string answers = test.answers;
    if (p.isSet(kScramble)) {
        const auto seed = quint16(QRandomGenerator::global()->bounded(65536));
        questions = qd::scramble(questions, qd::FileKind::Questions, seed);
        answers = qd::scramble(answers, qd::FileKind::Answers, quint16(seed ^ 0x5A5A));
    }
    bool ok = writeFile(dir.filePath(QStringLiteral("voprosi.txt")), questions) &&
              writeFile(dir.filePath(QStringLiteral("otveti.txt")), answers);
    for (const TestPicture& pic : test.pictures) {
        ok =
            ok && writeFile(dir.filePath(QString::fromStdString(pic.fileName)),
                            std::string_view(pic.bytes.constData(), std::size_t(pic.bytes.size())));
    }
    if (!ok) {
        return kExitFault;
    }
    writeOut(tr("imported %1 questions into %2 (%3 pictures, %4 losses)\n")
                 .arg(test.questionCount)
                 .arg(dirName)
                 .arg(test.pictures.size())
                 .arg(test.losses.size())
                 .toUtf8());
    return kExitOk;
}

} // namespace qdtool
