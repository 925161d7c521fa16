#include "BankToTest.h"
#include "ToolSupport.h"

#include "definition/Cp1251.h"
#include "definition/HeaderParser.h"
#include "definition/TestModel.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace qdtool {

namespace {

constexpr int kWrapColumn = 70;
const QString kLineEnd = QStringLiteral("\r\n");
// Group labels of a matching question, one per row of its first column.
const QString kLabels =
    QStringLiteral("АБВГДЕЖЗИІКЛМНОПРСТУФХЦЧШЩЮЯ123456789abcdefghijklmnopqrstuvwxyz");

// The header the examiner edits after an import (the guide lists these).
struct Defaults
{
    int fontSize = 16;
    int questionSeconds = 120;
    int percents[3] = {60, 75, 90};
    int seconds[3] = {300, 600, 900};
};

// One question as it goes into the two files.
struct Entry
{
    QString category;
    QString text; // behind "n) ", up to and without "#"
    QString key;  // behind "n) " in the answers file
    bool hasPicture = false;
    TestPicture picture; // fileName without the number yet: its extension
};

class Converter
{
public:
    WrittenTest run(const QuestionBank& bank, const QString& testName);

private:
    void lose(const BankQuestion& q, const QString& what)
    {
        m_out.losses.push_back(Loss{q.line, q.label(), what});
    }
    // Text for the files: characters code page 1251 lacks, and the
    // characters the file format reserves, are replaced and listed.
    QString fileText(const BankQuestion& q, const QString& text, const QString& reserved);
    QString wrapped(const QString& text) const;
    std::optional<int> points(const BankQuestion& q);
    std::optional<Entry> convert(const BankQuestion& q);
    bool choice(const BankQuestion& q, Entry& e, int mark);
    bool shortAnswer(const BankQuestion& q, Entry& e, int mark);
    bool matching(const BankQuestion& q, Entry& e, int mark);
    bool ordering(const BankQuestion& q, Entry& e, int mark);
    void picture(const BankQuestion& q, Entry& e);

    WrittenTest m_out;
};

QString Converter::fileText(const BankQuestion& q, const QString& text, const QString& reserved)
{
    static const std::map<QChar, QChar> kStandIns = {
        {QLatin1Char('<'), QChar(0x2039)},    {QLatin1Char('>'), QChar(0x203A)},
        {QLatin1Char('#'), QChar(0x2116)},    {QLatin1Char('/'), QLatin1Char('\\')},
        {QLatin1Char('|'), QLatin1Char('!')}, {QLatin1Char(';'), QLatin1Char(',')}};
    QString out;
    std::set<uint> lost;
    const QList<uint> codes = text.toUcs4();
    for (const uint c : codes) {
        const QString one = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
        if (reserved.contains(one)) {
            const QChar standIn = kStandIns.at(one.at(0));
            lose(q, qdtool::tr("'%1' is reserved by the test files; written as '%2'")
                        .arg(one, standIn));
            out += standIn;
            continue;
        }
        if (c != '\n' && c != '\t' && (c < 0x20 || c == 0x7F)) {
            continue; // control characters carry nothing to show
        }
        const std::string utf8 = one.toStdString();
        if (qd::fromCp1251(qd::toCp1251(utf8)) != utf8) {
            if (lost.insert(c).second) {
                lose(q, qdtool::tr("'%1' (U+%2) is not in code page 1251; written as '?'")
                            .arg(one, QString::number(c, 16).toUpper().rightJustified(
                                          4, QLatin1Char('0'))));
            }
            out += QLatin1Char('?');
            continue;
        }
        out += one;
    }
    return out;
}

// Lines of at most kWrapColumn characters, broken at blanks.
QString Converter::wrapped(const QString& text) const
{
    QStringList lines;
    for (const QString& para : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : para.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > kWrapColumn) {
                lines << line;
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines << line;
    }
    return lines.join(kLineEnd);
}

std::optional<int> Converter::points(const BankQuestion& q)
{
    const double p = q.points.value_or(1.0);
    if (p <= 0 || p > 1000) {
        lose(q, qdtool::tr("points %1 cannot be given; the question is worth 1").arg(p));
        return 1;
    }
    const int whole = int(std::lround(p));
    if (std::fabs(p - whole) > 1e-6) {
        lose(q, qdtool::tr("points %1 are not a whole number; the question is worth %2")
                    .arg(p)
                    .arg(std::max(whole, 1)));
    }
    return std::max(whole, 1);
}

QString optionLines(const QStringList& options)
{
    QStringList lines;
    for (const QString& o : options) {
        lines << QLatin1Char('<') + o + QLatin1Char('>');
    }
    return lines.join(kLineEnd);
}

QString percent(double f)
{
    return QString::number(f, 'g', 6) + QLatin1Char('%');
}

bool Converter::choice(const BankQuestion& q, Entry& e, int mark)
{
    const QString reserved = QStringLiteral("<>#");
    QStringList options;
    QList<int> right;
    for (std::size_t i = 0; i < q.options.size(); ++i) {
        options << fileText(q, q.options[i].text.simplified(), reserved);
        if (q.options[i].fraction > 0) {
            right << int(i) + 1;
        }
    }
    if (options.size() < 2 || options.size() > qd::kMaxAnswers) {
        lose(q, qdtool::tr("%1 options: a question has 2 to %2; left out")
                    .arg(options.size())
                    .arg(qd::kMaxAnswers));
        return false;
    }
    if (right.isEmpty()) {
        lose(q, qdtool::tr("no option carries points; left out"));
        return false;
    }
    if (q.singleAnswer) {
        const auto full = std::find_if(q.options.begin(), q.options.end(), [](const BankOption& o) {
            return std::fabs(o.fraction - 100) < 0.01;
        });
        if (full == q.options.end()) {
            lose(q, qdtool::tr("no option earns 100%; left out"));
            return false;
        }
        for (const BankOption& o : q.options) {
            if (&o != &*full && std::fabs(o.fraction) > 0.01) {
                lose(q, qdtool::tr("option \"%1\" earns %2; a single-choice option earns all "
                                   "or nothing, so it earns 0")
                            .arg(o.text.simplified(), percent(o.fraction)));
            }
        }
        e.key = QStringLiteral("1 %1 %2").arg(full - q.options.begin() + 1).arg(mark);
    } else {
        const double share = 100.0 / double(right.size());
        for (const BankOption& o : q.options) {
            if (o.fraction > 0 && std::fabs(o.fraction - share) > 0.01) {
                lose(q, qdtool::tr("option \"%1\" earns %2; every right option earns an equal "
                                   "share (%3)")
                            .arg(o.text.simplified(), percent(o.fraction), percent(share)));
            } else if (o.fraction < 0 && std::fabs(o.fraction + share) > 0.01) {
                lose(q, qdtool::tr("option \"%1\" costs %2; a wrong pick costs one share (%3) "
                                   "once more options are picked than are right")
                            .arg(o.text.simplified(), percent(o.fraction), percent(-share)));
            }
        }
        QStringList numbers;
        for (const int r : right) {
            numbers << QString::number(r);
        }
        e.key = QStringLiteral("2 / %1 / %2").arg(numbers.join(QLatin1Char(','))).arg(mark);
    }
    e.text = wrapped(fileText(q, q.stem, reserved)) + kLineEnd + optionLines(options);
    return true;
}

bool Converter::shortAnswer(const BankQuestion& q, Entry& e, int mark)
{
    QStringList accepted;
    for (const BankOption& o : q.options) {
        if (std::fabs(o.fraction - 100) < 0.01) {
            if (o.text.contains(QLatin1Char('*'))) {
                lose(q, qdtool::tr("answer \"%1\" uses the wildcard '*'; it is compared as "
                                   "written")
                            .arg(o.text));
            }
            if (o.text.contains(QLatin1Char('/')) || o.text.contains(QLatin1Char('|'))) {
                lose(q, qdtool::tr("answer \"%1\" holds '/' or '|', which a key cannot hold; "
                                   "left out")
                            .arg(o.text));
                continue;
            }
            // The key's blanks go only after its length is checked.
            const std::size_t bytes = qd::toCp1251(o.text.simplified().toStdString()).size();
            if (o.text.simplified().isEmpty() || bytes + 2 >= 128) {
                lose(q, qdtool::tr("answer \"%1\" is empty or too long; left out").arg(o.text));
                continue;
            }
            accepted << fileText(q, o.text.simplified(), QString());
        } else if (o.fraction > 0.01) {
            lose(q, qdtool::tr("answer \"%1\" earns %2; a typed answer earns all or "
                               "nothing, so it earns 0")
                        .arg(o.text, percent(o.fraction)));
        }
    }
    if (accepted.isEmpty()) {
        lose(q, qdtool::tr("no answer earns 100%; left out"));
        return false;
    }
    const QString joined = accepted.join(QStringLiteral(" | "));
    if (joined.toUtf8().size() >= 400 || qd::toCp1251(joined.toStdString()).size() > 199) {
        lose(q, qdtool::tr("the accepted answers are longer than 199 characters; left out"));
        return false;
    }
    if (q.caseSensitive) {
        lose(q, qdtool::tr("the answer is case-sensitive; QuizDesk ignores case and blanks"));
    }
    e.key = accepted.size() == 1 ? QStringLiteral("5 / %1 / %2").arg(accepted.front()).arg(mark)
                                 : QStringLiteral("%1 / %2 / %3")
                                       .arg(qd::kTypedAlternativesNumber)
                                       .arg(joined)
                                       .arg(mark);
    e.text = wrapped(fileText(q, q.stem, QStringLiteral("<>#")));
    return true;
}

bool Converter::matching(const BankQuestion& q, Entry& e, int mark)
{
    const QString reserved = QStringLiteral("<>#");
    QStringList lefts;
    QStringList rights;
    QList<int> numbers;
    for (const auto& [left, right] : q.pairs) {
        const QString r = fileText(q, right.simplified(), reserved);
        qsizetype at = rights.indexOf(r);
        if (at < 0) {
            rights << r;
            at = rights.size() - 1;
        }
        if (!left.simplified().isEmpty()) {
            lefts << fileText(q, left.simplified(), reserved);
            numbers << int(at) + 1;
        }
    }
    if (lefts.isEmpty() || lefts.size() > qd::kMaxGroups || lefts.size() > kLabels.size() ||
        lefts.size() + rights.size() > qd::kMaxAnswers) {
        lose(q, qdtool::tr("%1 pairs with %2 answers do not fit a matching question; left out")
                    .arg(lefts.size())
                    .arg(rights.size()));
        return false;
    }
    qsizetype width = 0;
    for (const QString& l : lefts) {
        width = std::max(width, l.size() + 2);
    }
    QStringList lines;
    for (qsizetype r = 0; r < std::max(lefts.size(), rights.size()); ++r) {
        QString line =
            r < lefts.size() ? QLatin1Char('<') + lefts[r] + QLatin1Char('>') : QString();
        if (r < rights.size()) {
            line = line.leftJustified(width + 4) + QLatin1Char('<') + rights[r] + QLatin1Char('>');
        }
        lines << line;
    }
    QStringList groups;
    for (qsizetype g = 0; g < lefts.size(); ++g) {
        groups << QStringLiteral("%1: %2").arg(kLabels.at(g)).arg(numbers[g]);
    }
    e.text = wrapped(fileText(q, q.stem, reserved)) + kLineEnd + lines.join(kLineEnd);
    e.key = QStringLiteral("4 / %1 / %2").arg(groups.join(QStringLiteral("; "))).arg(mark);
    return true;
}

bool Converter::ordering(const BankQuestion& q, Entry& e, int mark)
{
    if (q.orderingGrading != 0) {
        lose(q, qdtool::tr("ordering graded by rule %1; QuizDesk gives a share for each item "
                           "in its place")
                    .arg(q.orderingGrading));
    }
    QStringList options;
    QStringList order;
    for (const BankOption& o : q.options) {
        options << fileText(q, o.text.simplified(), QStringLiteral("<>#"));
        order << QString::number(options.size());
    }
    if (options.size() < 2 || options.size() > qd::kMaxAnswers) {
        lose(q, qdtool::tr("%1 items: a question has 2 to %2; left out")
                    .arg(options.size())
                    .arg(qd::kMaxAnswers));
        return false;
    }
    e.text = wrapped(fileText(q, q.stem, QStringLiteral("<>#"))) + kLineEnd + optionLines(options);
    e.key = QStringLiteral("3 / %1 / %2").arg(order.join(QLatin1Char(','))).arg(mark);
    return true;
}

void Converter::picture(const BankQuestion& q, Entry& e)
{
    if (q.pictures.empty()) {
        return;
    }
    const BankPicture& p = q.pictures.front();
    const QString lower = p.name.toLower();
    if (lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg"))) {
        e.picture = TestPicture{".jpg", p.bytes};
    } else if (lower.endsWith(QLatin1String(".bmp"))) {
        e.picture = TestPicture{".bmp", p.bytes};
    } else {
        // QuizDesk shows JPEG and BMP; anything else becomes a bitmap,
        // which keeps every pixel.
        QImage image;
        QByteArray bmp;
        QBuffer out(&bmp);
        if (!image.loadFromData(p.bytes) || !out.open(QIODevice::WriteOnly) ||
            !image.save(&out, "BMP")) {
            lose(q, qdtool::tr("picture \"%1\" cannot be read; the question has none").arg(p.name));
            return;
        }
        e.picture = TestPicture{".bmp", bmp};
    }
    e.hasPicture = true;
}

std::optional<Entry> Converter::convert(const BankQuestion& q)
{
    for (const QString& note : q.notes) {
        lose(q, note);
    }
    if (q.kind == BankQuestion::Kind::Unsupported) {
        lose(q,
             qdtool::tr("a question of type %1 has no QuizDesk kind; left out").arg(q.sourceType));
        return std::nullopt;
    }
    Entry e;
    e.category = q.category;
    const int mark = *points(q);
    bool ok = false;
    switch (q.kind) {
    case BankQuestion::Kind::Choice:
        ok = choice(q, e, mark);
        break;
    case BankQuestion::Kind::ShortAnswer:
        ok = shortAnswer(q, e, mark);
        break;
    case BankQuestion::Kind::Matching:
        ok = matching(q, e, mark);
        break;
    case BankQuestion::Kind::Ordering:
        ok = ordering(q, e, mark);
        break;
    case BankQuestion::Kind::Unsupported:
        break;
    }
    if (!ok) {
        return std::nullopt;
    }
    // A question's text is at most 3998 bytes, its number mark included.
    if (qd::toCp1251(e.text.toStdString()).size() + 8 > std::size_t(qd::kMaxTextLength)) {
        lose(q, qdtool::tr("the question is longer than %1 characters; left out")
                    .arg(qd::kMaxTextLength));
        return std::nullopt;
    }
    picture(q, e);
    return e;
}

// A name for the header: no "#" (it closes the item) and no "1)" (the
// first answer's number mark is searched from the file's start).
QString headerName(QString name)
{
    name.remove(QLatin1Char('#'));
    name.replace(QLatin1Char(')'), QLatin1Char(']'));
    return name.simplified();
}

WrittenTest Converter::run(const QuestionBank& bank, const QString& testName)
{
    m_out.losses = bank.losses;
    // Categories become sections, in the order they first appear.
    QStringList categories;
    std::vector<Entry> entries;
    for (const BankQuestion& q : bank.questions) {
        if (auto e = convert(q)) {
            if (!categories.contains(e->category)) {
                categories << e->category;
            }
            entries.push_back(std::move(*e));
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        return categories.indexOf(a.category) < categories.indexOf(b.category);
    });
    const int n = int(entries.size());
    m_out.questionCount = n;
    if (n == 0) {
        return std::move(m_out);
    }
    QStringList starts;
    QString questions;
    QString answers;
    for (int i = 0; i < n; ++i) {
        const Entry& e = entries[std::size_t(i)];
        if (i == 0 || e.category != entries[std::size_t(i) - 1].category) {
            starts << QString::number(i + 1);
        }
        questions += QStringLiteral("%1) %2#%3")
                         .arg(i + 1)
                         .arg(e.text, e.hasPicture ? QStringLiteral("&") : QString()) +
                     kLineEnd;
        answers += QStringLiteral("%1) %2").arg(i + 1).arg(e.key) + kLineEnd;
        if (e.hasPicture) {
            m_out.pictures.push_back(
                TestPicture{std::to_string(i + 1) + e.picture.fileName, e.picture.bytes});
        }
    }
    const Defaults d;
    QStringList items = {
        headerName(categories.front().section(QLatin1Char('/'), 0, 0)),
        headerName(testName),
        QString::number(n),
        QString::number(starts.size()),
        starts.join(QLatin1Char(',')),
        QString::number(n),
        QString::number(d.fontSize),
        QStringLiteral("0"),
        QString::number(d.questionSeconds),
        QString::number(std::clamp(2 * n, 1, 600)),
        QString::number(d.percents[0]),
        QString::number(d.percents[1]),
        QString::number(d.percents[2]),
        QStringLiteral("0"),
        QString::number(d.seconds[0]),
        QString::number(d.seconds[1]),
        QString::number(d.seconds[2]),
        QStringLiteral("0"),
        QStringLiteral("0"),
        QStringLiteral("1"),
    };
    const QStringList defaults = items;
    if (bank.header && bank.header->values.size() == items.size()) {
        // An exported QuizDesk test: its own settings, with the counts of
        // what was read.
        const QStringList& carried = bank.header->values;
        for (int i : {0, 1, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}) {
            items[i] = i < 2 ? headerName(carried[i]) : carried[i].trimmed();
        }
        items[5] = QString::number(std::clamp(carried[5].toInt(), 1, n));
    }
    static const char* const kLabelsOfItems[] = {"Дисципліна",
                                                 "Тест",
                                                 "Питань",
                                                 "Розділів",
                                                 "Перші питання розділів",
                                                 "Задавати",
                                                 "Шрифт",
                                                 "Жирний",
                                                 "Секунд на питання",
                                                 "Хвилин на тест",
                                                 "Задовільно від",
                                                 "Добре від",
                                                 "Відмінно від",
                                                 "Оцінка за часом",
                                                 "Відмінно до",
                                                 "Добре до",
                                                 "Задовільно до",
                                                 "Розділи випадково",
                                                 "Питання випадково",
                                                 "Відповіді випадково"};
    const auto headerText = [&](const QStringList& values) {
        QString text;
        for (int i = 0; i < values.size(); ++i) {
            text += QString::fromUtf8(kLabelsOfItems[i]) + QStringLiteral(": ") + values[i] +
                    (i < 2 ? QStringLiteral("#") : QString()) + kLineEnd;
        }
        return text;
    };
    QString header = headerText(items);
    qd::TestModel check;
    check.answersText = qd::toCp1251(header.toStdString());
    if (!qd::parseHeader(check, 1024).ok()) {
        m_out.losses.push_back(Loss{0, QString(),
                                    qdtool::tr("the settings carried in the file are not "
                                               "valid; the defaults are written")});
        header = headerText(defaults);
    }
    m_out.questions = qd::toCp1251(questions.toStdString());
    m_out.answers = qd::toCp1251((header + answers).toStdString());
    return std::move(m_out);
}

} // namespace

WrittenTest bankToTest(const QuestionBank& bank, const QString& testName)
{
    return Converter().run(bank, testName);
}

} // namespace qdtool
