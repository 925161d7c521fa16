#include "ToolSupport.h"

#include "definition/Cp1251.h"
#include "definition/WholeFile.h"
#include "screen/TestFont.h"

#include <QGuiApplication>
#include <QStringDecoder>

#include <cstdio>

namespace qdtool {

void writeOut(const QByteArray& utf8)
{
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), stdout);
    std::fflush(stdout);
}

void writeErr(const QByteArray& utf8)
{
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), stderr);
    std::fflush(stderr);
}

QString fromTestText(std::string_view cp1251)
{
    return QString::fromStdString(qd::fromCp1251(cp1251));
}

QString argumentText(const char* arg)
{
    const QByteArrayView bytes(arg);
    QString text;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = c < 0x80           ? 1
                                 : (c >> 5) == 0x6  ? 2
                                 : (c >> 4) == 0xE  ? 3
                                 : (c >> 3) == 0x1E ? 4
                                                    : 0;
        if (length > 0 && i + length <= bytes.size()) {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString decoded = utf8.decode(bytes.sliced(i, length));
            if (!utf8.hasError()) {
                text += decoded;
                i += length;
                continue;
            }
        }
        text += QChar(char16_t(0xDC00 + c));
        ++i;
    }
    return text;
}

std::filesystem::path pathOf(const QString& argument)
{
    std::string bytes;
    QString run; // characters to encode as UTF-8
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const char16_t u = argument.at(i).unicode();
        const bool paired = i > 0 && argument.at(i - 1).isHighSurrogate();
        if (u >= 0xDC80 && u <= 0xDCFF && !paired) {
            bytes += run.toUtf8().toStdString();
            run.clear();
            bytes += char(u - 0xDC00);
        } else {
            run += argument.at(i);
        }
    }
    bytes += run.toUtf8().toStdString();
    return std::filesystem::path(bytes);
}

void printFault(const qd::Fault& fault)
{
    QByteArray text = QByteArray::fromStdString(fault.utf8());
    if (!text.endsWith('\n')) {
        text.append('\n');
    }
    writeErr(text);
}

void printError(const QString& message)
{
    writeErr("quizdesk-tool: " + message.toUtf8() + '\n');
}

bool writeFile(const QString& path, std::string_view bytes)
{
    if (qd::Status s = qd::writeWholeFile(pathOf(path), bytes); !s.ok()) {
        printError(
            tr("cannot write \"%1\": %2").arg(path, QString::fromStdString(s.fault().message)));
        return false;
    }
    return true;
}

void keepQtQuiet()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            writeErr("quizdesk-tool: Qt: " + message.toUtf8() + '\n');
        }
    });
}

CommandLine::CommandLine(const QStringList& args, const QString& description) : m_args(args)
{
    m_parser.setApplicationDescription(description);
}

namespace {

// QCommandLineParser's own words. Qt translates them through the
// application object, which the tool makes only when it needs fonts, so
// the tool's catalogue carries them (under Qt's context) and they are put
// into the reader's language here. Each is Qt's English text exactly: that
// is what is found in the parser's output and replaced.
const char* const kParserContext = "QCommandLineParser";
const char* const kUsageLine = QT_TRANSLATE_NOOP("QCommandLineParser", "Usage: %1");
const char* const kOptionsHeading = QT_TRANSLATE_NOOP("QCommandLineParser", "Options:");
const char* const kArgumentsHeading = QT_TRANSLATE_NOOP("QCommandLineParser", "Arguments:");
const char* const kOptionsMark = QT_TRANSLATE_NOOP("QCommandLineParser", "[options]");

QString parserText(const char* source)
{
    return qd::l10n::translate(kParserContext, source);
}

// An error of the parser in the reader's language: its text matched
// against each of Qt's patterns, the quoted part carried over.
QString parserError(const QString& english)
{
    static const char* const patterns[] = {
        QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown option '%1'."),
        QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown options: %1."),
        QT_TRANSLATE_NOOP("QCommandLineParser", "Missing value after '%1'."),
        QT_TRANSLATE_NOOP("QCommandLineParser", "Unexpected value after '%1'."),
    };
    for (const char* pattern : patterns) {
        const QString text = QString::fromLatin1(pattern);
        const qsizetype at = text.indexOf(QLatin1String("%1"));
        const QString before = text.left(at);
        const QString after = text.mid(at + 2);
        if (english.size() >= before.size() + after.size() && english.startsWith(before) &&
            english.endsWith(after)) {
            const QString part = english.mid(before.size(), english.size() - text.size() + 2);
            return parserText(pattern).arg(part);
        }
    }
    return english;
}

} // namespace

QString CommandLine::help() const
{
    QString text = m_parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), m_args.value(0));
    if (parserText(kOptionsHeading) == QLatin1String(kOptionsHeading)) {
        return text; // English: Qt's words as they are
    }
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        for (const char* heading : {kOptionsHeading, kArgumentsHeading}) {
            if (line == QLatin1String(heading)) {
                line = parserText(heading);
            }
        }
    }
    QString& usage = lines.first();
    const QString usagePrefix = QString::fromLatin1(kUsageLine).remove(QLatin1String("%1"));
    if (usage.startsWith(usagePrefix)) {
        const QString options = QLatin1Char(' ') + QLatin1String(kOptionsMark);
        usage = parserText(kUsageLine)
                    .arg(usage.mid(usagePrefix.size())
                             .replace(options, QLatin1Char(' ') + parserText(kOptionsMark)));
    }
    return lines.join(QLatin1Char('\n'));
}

int CommandLine::usageError(const QString& message) const
{
    printError(message);
    writeErr(help().toUtf8());
    return kExitUsage;
}

std::optional<int> CommandLine::parse(int maxPositional)
{
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        tr("Show this help."));
    m_parser.addOption(helpOption);
    if (!m_parser.parse(m_args)) {
        return usageError(parserError(m_parser.errorText()));
    }
    if (m_parser.isSet(helpOption)) {
        writeOut(help().toUtf8());
        return kExitOk;
    }
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > maxPositional) {
        return usageError(tr("unexpected argument \"%1\"").arg(positional.at(maxPositional)));
    }
    return std::nullopt;
}

qd::Result<std::optional<uint32_t>> readSeedOption(const QCommandLineParser& parser,
                                                   const QCommandLineOption& option)
{
    if (!parser.isSet(option)) {
        return std::optional<uint32_t>();
    }
    const QString text = parser.value(option);
    const auto v = parseNumber(text, 0, UINT32_MAX);
    if (!v) {
        return qd::Fault{tr("--seed wants a whole number from 0 to 4294967295, not \"%1\"")
                             .arg(text)
                             .toStdString()};
    }
    return std::optional<uint32_t>(uint32_t(*v));
}

std::optional<qint64> parseNumber(const QString& text, qint64 lo, qint64 hi)
{
    // Digits only: no sign, no blanks, no base prefixes.
    if (text.isEmpty() || text.size() > 18) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
    }
    const qint64 v = text.toLongLong();
    if (v < lo || v > hi) {
        return std::nullopt;
    }
    return v;
}

namespace {

const QString kWidth = QStringLiteral("width");
const QString kHeight = QStringLiteral("height");
const QString kCharW = QStringLiteral("char-w");

// Generous bounds: a screen is never wider than this, a character never
// wider than a quarter of that.
constexpr qint64 kMaxWindowSide = 100000;
constexpr qint64 kMaxCharW = 1000;

} // namespace

void addLoadOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 tr("Directory holding voprosi.txt and otveti.txt (default: .)."),
                                 QStringLiteral("[DIR]"));
    parser.addOption(QCommandLineOption(kWidth, tr("Window width in pixels (default 1024)."),
                                        QStringLiteral("W")));
    parser.addOption(QCommandLineOption(kHeight, tr("Window height in pixels (default 768)."),
                                        QStringLiteral("H")));
    parser.addOption(QCommandLineOption(
        kCharW, tr("Character width in pixels instead of measuring the test font."),
        QStringLiteral("N")));
}

qd::Result<LoadOptions> readLoadOptions(const QCommandLineParser& parser)
{
    LoadOptions options;
    if (!parser.positionalArguments().isEmpty()) {
        options.dir = parser.positionalArguments().constFirst();
    }
    struct Field
    {
        const QString& name;
        qint64 max;
        int* target;
    };
    int charW = 0;
    const Field fields[] = {
        {kWidth, kMaxWindowSide, &options.window.width},
        {kHeight, kMaxWindowSide, &options.window.height},
        {kCharW, kMaxCharW, &charW},
    };
    for (const Field& f : fields) {
        if (!parser.isSet(f.name)) {
            continue;
        }
        const QString text = parser.value(f.name);
        const auto v = parseNumber(text, 1, f.max);
        if (!v) {
            return qd::Fault{tr("--%1 wants a whole number from 1 to %2, not \"%3\"")
                                 .arg(f.name)
                                 .arg(f.max)
                                 .arg(text)
                                 .toStdString()};
        }
        *f.target = int(*v);
    }
    if (parser.isSet(kCharW)) {
        options.charW = charW;
    }
    return options;
}

CharWidthSource::CharWidthSource(std::optional<int> fixed)
    : m_fixed(fixed),
      m_argv{const_cast<char*>("quizdesk-tool"), nullptr}
{
}

CharWidthSource::~CharWidthSource() = default;

int CharWidthSource::operator()(int fontSize, bool bold)
{
    if (m_fixed) {
        return *m_fixed;
    }
    if (!QGuiApplication::instance()) {
        // The tool needs fonts, not a screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
        qd::l10n::keepDecimalPoint();
    }
    return qd::testFontCharWidth(fontSize, bold);
}

std::unique_ptr<qd::TestModel> loadOrReport(const LoadOptions& options, CharWidthSource& charWidth)
{
    qd::LoadResult result =
        qd::loadTestDir(pathOf(options.dir), options.window, [&charWidth](int fontSize, bool bold) {
            return charWidth(fontSize, bold);
        });
    if (!result.ok()) {
        printFault(result.fault());
        return nullptr;
    }
    return std::move(result).value();
}

} // namespace qdtool
