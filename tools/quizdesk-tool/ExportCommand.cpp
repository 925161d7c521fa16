// quizdesk-tool export [DIR] --format gift|moodle-xml: the test as a GIFT or
// Moodle XML file, for every kind of question the format holds. The test's
// header travels in a comment, so that importing the file again gives the
// same test; what the format cannot hold is said in comments too.

#include "QuestionBank.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/TestModel.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <cmath>

namespace qdtool {

namespace {

const QString kFormat = QStringLiteral("format");
const QString kOutput = QStringLiteral("output");

// A text of the test as lines: CR LF inside it become line breaks, blanks at
// either end go.
QString plain(const std::string& cp1251)
{
    QString t = fromTestText(cp1251);
    t.remove(QLatin1Char('\r'));
    QStringList lines;
    for (const QString& l : t.split(QLatin1Char('\n'))) {
        if (!l.trimmed().isEmpty()) {
            lines << l.trimmed();
        }
    }
    return lines.join(QLatin1Char('\n'));
}

// An option's text without its brackets.
QString optionText(const qd::AnswerSlot& slot)
{
    std::string t = slot.text;
    if (t.size() >= 2) {
        t = t.substr(1, t.size() - 2);
    }
    return plain(t).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QString share(double percent)
{
    return QString::number(percent, 'f', 5).remove(QRegularExpression(QStringLiteral("\\.?0+$")));
}

// One question in the terms both formats share.
struct Exported
{
    enum class Kind { Choice, Multiple, Ordering, Matching, Typed } kind = Kind::Choice;
    QString name;
    QString stem;
    int section = 0;
    int mark = 0;
    std::vector<BankOption> options;                // choice, typed, ordering
    std::vector<std::pair<QString, QString>> pairs; // matching; empty left = spare
    QString pictureFile;
    QByteArray picture;
};

struct ExportedTest
{
    QStringList header;
    std::vector<Exported> questions;
    QStringList notes; // what the file does not hold, for its comments
};

int sectionOf(const qd::TestModel& m, int index)
{
    int s = 0;
    for (std::size_t k = 0; k < m.sectionStarts.size(); ++k) {
        if (m.sectionStarts[k] - 1 <= index) {
            s = int(k) + 1;
        }
    }
    return s;
}

ExportedTest collect(const qd::TestModel& m, const std::filesystem::path& dir)
{
    ExportedTest out;
    QStringList starts;
    for (const int s : m.sectionStarts) {
        starts << QString::number(s);
    }
    out.header = {fromTestText(m.subjectName).trimmed(),
                  fromTestText(m.testName).trimmed(),
                  QString::number(m.questionCount),
                  QString::number(m.sectionCount),
                  starts.join(QLatin1Char(',')),
                  QString::number(m.askCount),
                  QString::number(m.fontSize),
                  QString::number(m.fontBold),
                  QString::number(m.questionSeconds),
                  QString::number(m.testMinutes),
                  QString::number(m.satisfactoryPercent),
                  QString::number(m.goodPercent),
                  QString::number(m.excellentPercent),
                  QString::number(m.gradeByTime),
                  QString::number(m.excellentSeconds),
                  QString::number(m.goodSeconds),
                  QString::number(m.satisfactorySeconds),
                  QString::number(m.randomSectionOrder),
                  QString::number(m.randomQuestionOrder),
                  QString::number(m.randomOptionOrder)};
    for (std::size_t i = 0; i < m.questions.size(); ++i) {
        const qd::Question& q = m.questions[i];
        const int n = int(i) + 1;
        Exported e;
        e.name = QStringLiteral("Питання %1").arg(n);
        e.stem = plain(q.text);
        e.section = sectionOf(m, int(i));
        e.mark = q.mark;
        if (q.picture == qd::PictureMode::PictureOnly) {
            out.notes << QStringLiteral("question %1 is answered from its picture alone; "
                                        "not written")
                             .arg(n);
            continue;
        }
        if (q.picture == qd::PictureMode::WithOptions) {
            for (const char* ext : {".jpg", ".bmp"}) {
                QFile f(dir / (std::to_string(n) + ext));
                if (f.open(QIODevice::ReadOnly)) {
                    e.pictureFile = QString::number(n) + QLatin1String(ext);
                    e.picture = f.readAll();
                    break;
                }
            }
        }
        const auto used = [](int32_t c) { return std::size_t(std::max(c, 0)); };
        switch (q.type) {
        case qd::QuestionType::SingleChoice:
        case qd::QuestionType::MultipleChoice: {
            const bool single = q.type == qd::QuestionType::SingleChoice;
            e.kind = single ? Exported::Kind::Choice : Exported::Kind::Multiple;
            const double part = 100.0 / std::max(q.correctCount, 1);
            for (int k = 0; k < q.optionCount; ++k) {
                const bool right =
                    std::find(q.correctAnswers.begin(),
                              q.correctAnswers.begin() + std::ptrdiff_t(used(q.correctCount)),
                              k + 1) !=
                    q.correctAnswers.begin() + std::ptrdiff_t(used(q.correctCount));
                e.options.push_back(
                    BankOption{optionText(q.options[std::size_t(k)]),
                               right ? (single ? 100.0 : part) : (single ? 0.0 : -part)});
            }
            break;
        }
        case qd::QuestionType::Ordering:
            e.kind = Exported::Kind::Ordering;
            if (q.correctCount != q.optionCount) {
                out.notes << QStringLiteral("question %1 orders %2 of its %3 options; written "
                                            "with the ordered ones only")
                                 .arg(n)
                                 .arg(q.correctCount)
                                 .arg(q.optionCount);
            }
            for (std::size_t k = 0; k < used(q.correctCount); ++k) {
                const int number = q.correctAnswers[k];
                if (number >= 1 && number <= q.optionCount) {
                    e.options.push_back(
                        BankOption{optionText(q.options[std::size_t(number) - 1]), 100});
                }
            }
            break;
        case qd::QuestionType::TypedText:
            e.kind = Exported::Kind::Typed;
            if (q.acceptedTexts.empty()) {
                e.options.push_back(BankOption{fromTestText(q.expectedText), 100});
            }
            for (const std::string& t : q.acceptedTexts) {
                e.options.push_back(BankOption{fromTestText(t), 100});
            }
            break;
        case qd::QuestionType::Matching:
        case qd::QuestionType::MatchingColumns: {
            e.kind = Exported::Kind::Matching;
            const qd::Column& left = q.columns[0];
            const int further = q.columnCount - 1;
            if (q.type == qd::QuestionType::MatchingColumns && further > 1) {
                out.notes << QStringLiteral("question %1 matches in %2 columns; written as %3 "
                                            "matching questions, one for each further column")
                                 .arg(n)
                                 .arg(q.columnCount)
                                 .arg(further);
            }
            bool whole = true;
            for (int c = 1; c <= further && whole; ++c) {
                Exported part = e;
                part.pairs.clear();
                if (further > 1) {
                    part.name = QStringLiteral("Питання %1.%2").arg(n).arg(c);
                }
                const qd::Column& right = q.columns[std::size_t(c)];
                std::vector<bool> usedRight(std::size_t(right.rowCount()), false);
                for (int g = 0; g < left.rowCount(); ++g) {
                    const qd::Group& grp = q.groups[std::size_t(g)];
                    const int count = q.type == qd::QuestionType::Matching ? grp.numberCount : 1;
                    const int number = q.type == qd::QuestionType::Matching
                                           ? grp.numbers[0]
                                           : grp.numbers[std::size_t(c) - 1];
                    if (count != 1 || number < 1 || number > right.rowCount()) {
                        if (q.type == qd::QuestionType::Matching) {
                            whole = false;
                        }
                        continue;
                    }
                    usedRight[std::size_t(number) - 1] = true;
                    part.pairs.emplace_back(optionText(left.cells[std::size_t(g)]),
                                            optionText(right.cells[std::size_t(number) - 1]));
                }
                for (int r = 0; r < right.rowCount(); ++r) {
                    if (!usedRight[std::size_t(r)]) {
                        part.pairs.emplace_back(QString(), optionText(right.cells[std::size_t(r)]));
                    }
                }
                if (whole) {
                    out.questions.push_back(std::move(part));
                }
            }
            if (!whole) {
                out.notes << QStringLiteral("question %1 matches a row with no or several "
                                            "answers; not written")
                                 .arg(n);
            }
            continue;
        }
        }
        out.questions.push_back(std::move(e));
    }
    return out;
}

// ===== Moodle XML

void xmlText(QXmlStreamWriter& w, const QString& element, const QString& text, bool html = false)
{
    w.writeStartElement(element);
    if (html) {
        w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
    }
    w.writeStartElement(QStringLiteral("text"));
    w.writeCharacters(text);
    w.writeEndElement();
    w.writeEndElement();
}

QString asHtml(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QByteArray moodleXml(const ExportedTest& t)
{
    QByteArray bytes;
    QXmlStreamWriter w(&bytes);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("quiz"));
    w.writeComment(QStringLiteral(" %1 %2 ").arg(QLatin1String(kHeaderComment),
                                                 t.header.join(QLatin1Char('|'))));
    for (const QString& note : t.notes) {
        w.writeComment(QLatin1Char(' ') + note + QLatin1Char(' '));
    }
    int section = 0;
    for (const Exported& e : t.questions) {
        if (e.section != section) {
            section = e.section;
            w.writeStartElement(QStringLiteral("question"));
            w.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
            xmlText(w, QStringLiteral("category"),
                    QStringLiteral("$course$/top/Розділ %1").arg(section));
            w.writeEndElement();
        }
        static const char* const kTypes[] = {"multichoice", "multichoice", "ordering", "matching",
                                             "shortanswer"};
        w.writeStartElement(QStringLiteral("question"));
        w.writeAttribute(QStringLiteral("type"), QLatin1String(kTypes[int(e.kind)]));
        xmlText(w, QStringLiteral("name"), e.name);
        QString stem = asHtml(e.stem);
        if (!e.picture.isEmpty()) {
            stem += QStringLiteral("<br><img src=\"@@PLUGINFILE@@/%1\">").arg(e.pictureFile);
        }
        w.writeStartElement(QStringLiteral("questiontext"));
        w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
        w.writeStartElement(QStringLiteral("text"));
        w.writeCharacters(stem);
        w.writeEndElement();
        if (!e.picture.isEmpty()) {
            w.writeStartElement(QStringLiteral("file"));
            w.writeAttribute(QStringLiteral("name"), e.pictureFile);
            w.writeAttribute(QStringLiteral("path"), QStringLiteral("/"));
            w.writeAttribute(QStringLiteral("encoding"), QStringLiteral("base64"));
            w.writeCharacters(QString::fromLatin1(e.picture.toBase64()));
            w.writeEndElement();
        }
        w.writeEndElement();
        w.writeTextElement(QStringLiteral("defaultgrade"), QString::number(e.mark));
        if (e.kind == Exported::Kind::Choice || e.kind == Exported::Kind::Multiple) {
            w.writeTextElement(QStringLiteral("single"), e.kind == Exported::Kind::Choice
                                                             ? QStringLiteral("true")
                                                             : QStringLiteral("false"));
            w.writeTextElement(QStringLiteral("shuffleanswers"), QStringLiteral("1"));
        }
        if (e.kind == Exported::Kind::Typed) {
            w.writeTextElement(QStringLiteral("usecase"), QStringLiteral("0"));
        }
        if (e.kind == Exported::Kind::Ordering) {
            w.writeTextElement(QStringLiteral("gradingtype"), QStringLiteral("0"));
        }
        for (const BankOption& o : e.options) {
            w.writeStartElement(QStringLiteral("answer"));
            w.writeAttribute(QStringLiteral("fraction"), e.kind == Exported::Kind::Ordering
                                                             ? QStringLiteral("0")
                                                             : share(o.fraction));
            w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
            w.writeStartElement(QStringLiteral("text"));
            w.writeCharacters(e.kind == Exported::Kind::Typed ? o.text : asHtml(o.text));
            w.writeEndElement();
            w.writeEndElement();
        }
        for (const auto& [left, right] : e.pairs) {
            w.writeStartElement(QStringLiteral("subquestion"));
            w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
            w.writeTextElement(QStringLiteral("text"), asHtml(left));
            xmlText(w, QStringLiteral("answer"), right);
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return bytes;
}

// ===== GIFT

QString giftEscape(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (QStringLiteral("~=#{}:\\").contains(c)) {
            out += QLatin1Char('\\');
        }
        out += c == QLatin1Char('\n') ? QStringLiteral("\\n") : QString(c);
    }
    return out;
}

QByteArray gift(const ExportedTest& t)
{
    QString out = QStringLiteral("// %1 %2\n")
                      .arg(QLatin1String(kHeaderComment), t.header.join(QLatin1Char('|')));
    QStringList notes = t.notes;
    for (const Exported& e : t.questions) {
        if (e.kind == Exported::Kind::Ordering) {
            notes << QStringLiteral("%1 orders its options, which GIFT cannot hold; not written")
                         .arg(e.name);
        }
        if (!e.picture.isEmpty()) {
            notes << QStringLiteral("%1 shows the picture %2, which GIFT cannot hold; written "
                                    "without it")
                         .arg(e.name, e.pictureFile);
        }
        if (e.mark != 1 && e.kind != Exported::Kind::Ordering) {
            notes << QStringLiteral("%1 is worth %2 points; GIFT holds no points, so it is "
                                    "imported as worth 1")
                         .arg(e.name)
                         .arg(e.mark);
        }
    }
    for (const QString& n : notes) {
        out += QStringLiteral("// %1\n").arg(n);
    }
    int section = 0;
    for (const Exported& e : t.questions) {
        if (e.kind == Exported::Kind::Ordering) {
            continue;
        }
        if (e.section != section) {
            section = e.section;
            out += QStringLiteral("\n$CATEGORY: $course$/top/Розділ %1\n").arg(section);
        }
        out += QStringLiteral("\n::%1::%2 {").arg(giftEscape(e.name), giftEscape(e.stem));
        for (const BankOption& o : e.options) {
            switch (e.kind) {
            case Exported::Kind::Choice:
                out += (o.fraction > 0 ? QStringLiteral("\n\t=") : QStringLiteral("\n\t~")) +
                       giftEscape(o.text);
                break;
            case Exported::Kind::Multiple:
                out += QStringLiteral("\n\t~%%1%").arg(share(o.fraction)) + giftEscape(o.text);
                break;
            default:
                out += QStringLiteral("\n\t=") + giftEscape(o.text);
            }
        }
        for (const auto& [left, right] : e.pairs) {
            out += QStringLiteral("\n\t=%1 -> %2").arg(giftEscape(left), giftEscape(right));
        }
        out += QStringLiteral("\n}\n");
    }
    return out.toUtf8();
}

} // namespace

int runExport(const QStringList& args)
{
    CommandLine cl(args, tr("Writes the test in DIR as a GIFT or Moodle XML file.\n"
                            "What the format cannot hold is said in its comments."));
    QCommandLineParser& p = cl.parser();
    addLoadOptions(p);
    p.addOption({kFormat, tr("gift or moodle-xml."), QStringLiteral("FORMAT")});
    p.addOption({{QStringLiteral("o"), kOutput},
                 tr("The file to write (default: standard output)."),
                 QStringLiteral("FILE")});
    if (auto done = cl.parse(1)) {
        return *done;
    }
    const QString format = p.value(kFormat);
    if (format != QLatin1String("gift") && format != QLatin1String("moodle-xml")) {
        return cl.usageError(tr("--format is gift or moodle-xml"));
    }
    const auto read = readLoadOptions(p);
    if (!read.ok()) {
        return cl.usageError(QString::fromStdString(read.fault().message));
    }
    LoadOptions options = read.value();
    if (!options.charW) {
        options.charW = 10; // positions on the screen are not exported
    }
    CharWidthSource charWidth(options.charW);
    const auto model = loadOrReport(options, charWidth);
    if (!model) {
        return kExitFault;
    }
    const ExportedTest test = collect(*model, pathOf(options.dir));
    const QByteArray bytes = format == QLatin1String("gift") ? gift(test) : moodleXml(test);
    if (!p.isSet(kOutput)) {
        writeOut(bytes);
        return kExitOk;
    }
    return writeFile(p.value(kOutput),
                     std::string_view(bytes.constData(), std::size_t(bytes.size())))
               ? kExitOk
               : kExitFault;
}

} // namespace qdtool
