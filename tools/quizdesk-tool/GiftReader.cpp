// GIFT: questions separated by blank lines, "//" comments, "$CATEGORY:"
// lines, "::name::" in front, the answers in one "{...}" block. Special
// characters are escaped with a backslash.

#include "QuestionBank.h"
#include "ToolSupport.h"

#include <QRegularExpression>

namespace qdtool {

namespace {

const QString kSpecial = QStringLiteral("~=#{}:\\");

// The position of the first c in s at or after from that no backslash
// escapes, or -1.
qsizetype findUnescaped(const QString& s, QChar c, qsizetype from = 0)
{
    for (qsizetype i = from; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('\\')) {
            ++i;
        } else if (s[i] == c) {
            return i;
        }
    }
    return -1;
}

QString unescape(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('\\') && i + 1 < s.size()) {
            const QChar next = s[i + 1];
            if (next == QLatin1Char('n')) {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (kSpecial.contains(next)) {
                out += next;
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// An answer's text without its "#feedback".
QString withoutFeedback(const QString& s)
{
    const qsizetype hash = findUnescaped(s, QLatin1Char('#'));
    return hash < 0 ? s : s.left(hash);
}

struct Item
{
    QChar mark; // '=' or '~'
    QString text;
};

// The "=" and "~" items of an answer block, raw (still escaped).
std::vector<Item> splitItems(const QString& block)
{
    std::vector<Item> items;
    for (qsizetype i = 0; i < block.size(); ++i) {
        if (block[i] == QLatin1Char('\\')) {
            if (!items.empty()) {
                items.back().text += block.mid(i, 2);
            }
            ++i;
            continue;
        }
        if (block[i] == QLatin1Char('=') || block[i] == QLatin1Char('~')) {
            items.push_back(Item{block[i], QString()});
            continue;
        }
        if (!items.empty()) {
            items.back().text += block[i];
        }
    }
    return items;
}

// "%50%text": the weight and the rest.
std::pair<std::optional<double>, QString> weighted(const QString& text)
{
    static const QRegularExpression weight(QStringLiteral("^\\s*%(-?[0-9]+(?:\\.[0-9]+)?)%"));
    const QRegularExpressionMatch m = weight.match(text);
    if (!m.hasMatch()) {
        return {std::nullopt, text};
    }
    return {m.captured(1).toDouble(), text.mid(m.capturedEnd())};
}

QString cleanText(const QString& raw, bool html)
{
    const QString text = unescape(raw).trimmed();
    return html ? htmlToText(text) : text;
}

void readAnswers(BankQuestion& q, const QString& block, bool html)
{
    const QString trimmed = block.trimmed();
    const QString head = withoutFeedback(trimmed).trimmed().toUpper();
    if (trimmed.isEmpty()) {
        q.sourceType = QStringLiteral("essay");
        return;
    }
    if (trimmed.startsWith(QLatin1Char('#'))) {
        q.sourceType = QStringLiteral("numerical");
        return;
    }
    if (head == QLatin1String("T") || head == QLatin1String("TRUE") || head == QLatin1String("F") ||
        head == QLatin1String("FALSE")) {
        const bool right = head.startsWith(QLatin1Char('T'));
        q.kind = BankQuestion::Kind::Choice;
        q.sourceType = QStringLiteral("truefalse");
        q.options = {BankOption{QStringLiteral("Правильно"), right ? 100.0 : 0.0},
                     BankOption{QStringLiteral("Неправильно"), right ? 0.0 : 100.0}};
        return;
    }
    const std::vector<Item> items = splitItems(block);
    if (items.empty()) {
        q.sourceType = QStringLiteral("unreadable answers");
        return;
    }
    bool matching = false;
    bool anyWrong = false;
    bool weightedWrong = false;
    for (const Item& it : items) {
        if (it.mark == QLatin1Char('=') && it.text.contains(QLatin1String("->"))) {
            matching = true;
        }
        if (it.mark == QLatin1Char('~')) {
            anyWrong = true;
            if (weighted(it.text).first) {
                weightedWrong = true;
            }
        }
    }
    if (matching) {
        q.kind = BankQuestion::Kind::Matching;
        q.sourceType = QStringLiteral("matching");
        for (const Item& it : items) {
            const QString text = withoutFeedback(it.text);
            const qsizetype arrow = text.indexOf(QLatin1String("->"));
            if (arrow < 0) {
                q.notes << QStringLiteral(
                    "an answer without \"->\" in a matching question is left out");
                continue;
            }
            q.pairs.emplace_back(cleanText(text.left(arrow), html),
                                 cleanText(text.mid(arrow + 2), html));
        }
        return;
    }
    q.kind = anyWrong ? BankQuestion::Kind::Choice : BankQuestion::Kind::ShortAnswer;
    q.sourceType = anyWrong ? QStringLiteral("multichoice") : QStringLiteral("shortanswer");
    q.singleAnswer = !weightedWrong;
    for (const Item& it : items) {
        const auto [weight, rest] = weighted(withoutFeedback(it.text));
        const double fraction = weight ? *weight : (it.mark == QLatin1Char('=') ? 100.0 : 0.0);
        q.options.push_back(BankOption{cleanText(rest, html), fraction});
    }
}

BankQuestion readQuestion(const QString& block, int line, const QString& category)
{
    BankQuestion q;
    q.line = line;
    q.category = category;
    QString rest = block;
    if (rest.startsWith(QLatin1String("::"))) {
        const qsizetype end = rest.indexOf(QLatin1String("::"), 2);
        if (end > 0) {
            q.name = unescape(rest.mid(2, end - 2)).trimmed();
            rest = rest.mid(end + 2);
        }
    }
    rest = rest.trimmed();
    bool html = false;
    static const QRegularExpression format(QStringLiteral("^\\[(html|plain|moodle|markdown)\\]"));
    if (const QRegularExpressionMatch m = format.match(rest); m.hasMatch()) {
        html = m.captured(1) == QLatin1String("html");
        if (m.captured(1) == QLatin1String("markdown")) {
            q.notes << tr("Markdown formatting is shown as plain text");
        }
        rest = rest.mid(m.capturedEnd());
    }
    const qsizetype open = findUnescaped(rest, QLatin1Char('{'));
    const qsizetype close = open < 0 ? -1 : findUnescaped(rest, QLatin1Char('}'), open);
    if (open < 0 || close < 0) {
        q.stem = cleanText(rest, html);
        q.sourceType = open < 0 ? QStringLiteral("description") : QStringLiteral("unclosed '{'");
        return q;
    }
    const QString after = rest.mid(close + 1).trimmed();
    if (findUnescaped(after, QLatin1Char('{')) >= 0) {
        q.stem = cleanText(rest.left(open), html);
        q.sourceType = QStringLiteral("cloze (several answer blocks)");
        return q;
    }
    const QString before = cleanText(rest.left(open), html);
    q.stem = after.isEmpty() ? before : before + QStringLiteral(" _____ ") + cleanText(after, html);
    readAnswers(q, rest.mid(open + 1, close - open - 1), html);
    return q;
}

} // namespace

QuestionBank readGift(const QString& text)
{
    QuestionBank bank;
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString category;
    QString block;
    int blockLine = 0;
    auto finish = [&]() {
        if (!block.trimmed().isEmpty()) {
            bank.questions.push_back(readQuestion(block, blockLine, category));
        }
        block.clear();
    };
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("//"))) {
            const QString comment = trimmed.mid(2).trimmed();
            if (comment.startsWith(QLatin1String(kHeaderComment))) {
                bank.header = CarriedHeader{comment.mid(qsizetype(qstrlen(kHeaderComment)))
                                                .trimmed()
                                                .split(QLatin1Char('|'))};
            }
            continue;
        }
        if (trimmed.isEmpty()) {
            finish();
            continue;
        }
        if (block.isEmpty() && trimmed.startsWith(QLatin1String("$CATEGORY:"))) {
            category = trimmed.mid(10).trimmed();
            category.remove(QRegularExpression(QStringLiteral("^\\$[a-z]+\\$/")));
            category.remove(QRegularExpression(QStringLiteral("^top(/|$)")));
            continue;
        }
        if (block.isEmpty()) {
            blockLine = i + 1;
        } else {
            block += QLatin1Char('\n');
        }
        block += line;
    }
    finish();
    return bank;
}

} // namespace qdtool
