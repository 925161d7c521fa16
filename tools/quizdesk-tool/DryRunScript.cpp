#include "DryRunScript.h"
#include "ToolSupport.h"

#include <QList>
#include <QRegularExpression>
#include <QStringConverter>
#include <QStringDecoder>

namespace qdtool {

namespace {

// A day of test time is far more than any test allows (600 minutes).
constexpr uint64_t kMaxWaitMs = 100000ull * 1000ull;

struct Keyword
{
    const char* word;
    ScriptAction::Kind kind;
    enum Args { None, Rest, TwoCounts, TwoInts, Seconds, KeyName, Options, CrashPoint } args;
};

const Keyword kKeywords[] = {
    {"name", ScriptAction::Name, Keyword::Rest},
    {"exam", ScriptAction::Exam, Keyword::None},
    {"begin", ScriptAction::Begin, Keyword::None},
    {"press", ScriptAction::Press, Keyword::TwoCounts},
    {"marker", ScriptAction::Marker, Keyword::TwoCounts},
    {"click", ScriptAction::Click, Keyword::TwoInts},
    {"move", ScriptAction::Move, Keyword::TwoInts},
    {"type", ScriptAction::Type, Keyword::Rest},
    {"wait", ScriptAction::Wait, Keyword::Seconds},
    {"next", ScriptAction::Next, Keyword::None},
    {"close", ScriptAction::Close, Keyword::None},
    {"key", ScriptAction::Key, Keyword::KeyName},
    {"choose", ScriptAction::Choose, Keyword::Options},
    {"order", ScriptAction::Order, Keyword::Options},
    {"match", ScriptAction::Match, Keyword::Options},
    {"crash", ScriptAction::Crash, Keyword::CrashPoint},
};

// "text" (a backslash escapes '"' and itself) or a row number, separated by
// blanks; false when anything else stands there.
bool readOptions(const QString& rest, std::vector<OptionRef>& out)
{
    static const QRegularExpression token(
        QStringLiteral("\\G\\s*(?:\"((?:[^\"\\\\]|\\\\.)*)\"|([0-9]{1,3}))(?=\\s|$)"));
    qsizetype at = 0;
    while (at < rest.size() && !rest.mid(at).trimmed().isEmpty()) {
        const QRegularExpressionMatch m = token.match(rest, at);
        if (!m.hasMatch()) {
            return false;
        }
        OptionRef ref;
        if (m.capturedStart(1) >= 0) {
            static const QRegularExpression escaped(QStringLiteral("\\\\(.)"));
            ref.text = m.captured(1);
            ref.text.replace(escaped, QStringLiteral("\\1"));
        } else {
            ref.row = m.captured(2).toInt();
        }
        out.push_back(ref);
        at = m.capturedEnd();
    }
    return !out.empty();
}

// Whole numbers that fit a pixel coordinate or a row with room to spare;
// larger ones are typing errors, not positions.
bool readInt(const QString& s, bool allowNegative, int& out)
{
    static const QRegularExpression re(QStringLiteral("^-?[0-9]{1,7}$"));
    if (!re.match(s).hasMatch() || (!allowNegative && s.startsWith(QLatin1Char('-')))) {
        return false;
    }
    out = s.toInt();
    return true;
}

bool readSeconds(const QString& s, uint64_t& ms)
{
    static const QRegularExpression re(QStringLiteral("^([0-9]{1,9})(?:\\.([0-9]{1,3}))?$"));
    const QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch()) {
        return false;
    }
    QString frac = m.captured(2);
    while (frac.size() < 3) {
        frac += QLatin1Char('0');
    }
    ms = m.captured(1).toULongLong() * 1000ull + frac.toULongLong();
    return ms <= kMaxWaitMs;
}

// The fault of a line of the script, as the tool prints it after the
// script's name.
qd::Fault lineFault(int line, const QString& message)
{
    return qd::Fault{std::to_string(line) + ": " + message.toStdString()};
}

} // namespace

qd::Result<std::vector<ScriptAction>> parseScript(const QByteArray& utf8)
{
    std::vector<ScriptAction> actions;
    const QList<QByteArray> lines = utf8.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i) + 1;
        QByteArray raw = lines[i];
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        QStringDecoder decode(QStringConverter::Utf8);
        const QString line = decode(raw);
        if (decode.hasError()) {
            return lineFault(lineNo, tr("the line is not UTF-8 text"));
        }
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        const QString word = space < 0 ? line : line.left(space);
        const QString rest = space < 0 ? QString() : line.mid(space + 1);
        const Keyword* kw = nullptr;
        for (const Keyword& k : kKeywords) {
            if (word == QLatin1String(k.word)) {
                kw = &k;
            }
        }
        if (kw == nullptr) {
            return lineFault(lineNo, tr("unknown action \"%1\" (name, exam, begin, press, "
                                        "marker, click, move, type, wait, next, close, key, "
                                        "choose, order, match, crash)")
                                         .arg(word));
        }
        ScriptAction a;
        a.kind = kw->kind;
        a.line = lineNo;
        const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        switch (kw->args) {
        case Keyword::None:
            if (!args.isEmpty()) {
                return lineFault(lineNo, tr("\"%1\" takes nothing after it").arg(word));
            }
            break;
        case Keyword::Rest:
            a.text = rest;
            break;
        case Keyword::TwoCounts:
        case Keyword::TwoInts: {
            const bool counts = kw->args == Keyword::TwoCounts;
            if (args.size() != 2 || !readInt(args[0], !counts, a.a) ||
                !readInt(args[1], !counts, a.b)) {
                return lineFault(
                    lineNo, counts
                                ? QStringLiteral("\"%1\" wants a column and a row, two whole "
                                                 "numbers from 0: %1 C R")
                                      .arg(word)
                                : QStringLiteral("\"%1\" wants two whole pixel coordinates: %1 X Y")
                                      .arg(word));
            }
            break;
        }
        case Keyword::KeyName: {
            // key NAME [TIMES]: the key's index into kKeyNames, and how often.
            a.a = -1;
            if (!args.isEmpty()) {
                for (int k = 0; k < int(std::size(kKeyNames)); ++k) {
                    if (args[0] == QLatin1String(kKeyNames[k])) {
                        a.a = k;
                    }
                }
            }
            a.b = 1;
            if (a.a < 0 || args.size() > 2 ||
                (args.size() == 2 && (!readInt(args[1], false, a.b) || a.b < 1 || a.b > 100))) {
                return lineFault(lineNo, tr("\"key\" wants a key (up, down, left, "
                                            "right, home, end, space, enter, f1) "
                                            "and how often, 1 to 100: key K [N]"));
            }
            break;
        }
        case Keyword::Options:
            if (!readOptions(rest, a.options)) {
                return lineFault(lineNo, tr("\"%1\" wants options, each its text "
                                            "in double quotes or its row: %1 "
                                            "\"TEXT\" ...")
                                             .arg(word));
            }
            break;
        case Keyword::CrashPoint:
            if (args.size() > 1 || (args.size() == 1 && args[0] != QLatin1String("answered"))) {
                return lineFault(lineNo, tr("\"crash\" takes nothing or "
                                            "\"answered\" after it"));
            }
            a.text = args.isEmpty() ? QString() : args[0];
            break;
        case Keyword::Seconds:
            if (args.size() != 1 || !readSeconds(args[0], a.ms)) {
                return lineFault(lineNo, tr("\"wait\" wants seconds from 0 to 100000, "
                                            "at most three decimals: wait S"));
            }
            break;
        }
        actions.push_back(a);
    }
    return actions;
}

} // namespace qdtool
