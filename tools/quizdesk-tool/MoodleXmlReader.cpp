// Moodle XML: <quiz> holding <question type="..."> elements; a question of
// type "category" sets the category of those after it. Texts are HTML in
// <text>; embedded files are base64 in <file> next to it.

#include "QuestionBank.h"
#include "ToolSupport.h"

#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

namespace qdtool {

QString BankQuestion::label() const
{
    if (!name.isEmpty()) {
        return name;
    }
    const QString words = stem.simplified();
    return words.size() > 40 ? words.left(40) + QStringLiteral("...") : words;
}

QString htmlToText(const QString& html)
{
    static const QRegularExpression breaks(
        QStringLiteral("<\\s*(br\\s*/?|/p|/div|/li|/h[1-6]|/tr)\\s*>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]+);"));
    QString text = html;
    text.replace(breaks, QStringLiteral("\n"));
    text.remove(tags);
    QString decoded;
    qsizetype at = 0;
    for (auto it = numeric.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        decoded += QStringView(text).mid(at, m.capturedStart() - at);
        bool ok = false;
        const uint code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        const char32_t c32 = code;
        decoded += ok && code > 0 && code <= 0x10FFFF ? QString::fromUcs4(&c32, 1) : m.captured(0);
        at = m.capturedEnd();
    }
    decoded += QStringView(text).mid(at);
    decoded.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    decoded.replace(QLatin1String("&lt;"), QLatin1String("<"));
    decoded.replace(QLatin1String("&gt;"), QLatin1String(">"));
    decoded.replace(QLatin1String("&quot;"), QLatin1String("\""));
    decoded.replace(QLatin1String("&apos;"), QLatin1String("'"));
    decoded.replace(QLatin1String("&amp;"), QLatin1String("&"));
    QStringList lines;
    for (const QString& l : decoded.split(QLatin1Char('\n'))) {
        const QString s = l.simplified();
        if (!s.isEmpty()) {
            lines << s;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {

// The reader's state for one <question>: which element's <text> is read.
class XmlQuestions
{
public:
    explicit XmlQuestions(const QByteArray& bytes) : m_xml(bytes) {}

    QuestionBank read();

private:
    void question(const QString& type);
    QString textChild(); // the <text> of the current element
    QString imageText(BankQuestion& q, const QString& html);

    QXmlStreamReader m_xml;
    QuestionBank m_bank;
    QString m_category;
    std::vector<BankPicture> m_files; // of the element being read
};

QString XmlQuestions::textChild()
{
    // At the start of an element holding <text> and perhaps <file>s.
    QString text;
    const QString element = m_xml.name().toString();
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("text")) {
            text = m_xml.readElementText();
        } else if (m_xml.name() == QLatin1String("file")) {
            BankPicture file;
            file.name = m_xml.attributes().value(QLatin1String("name")).toString();
            file.bytes = QByteArray::fromBase64(m_xml.readElementText().toLatin1());
            m_files.push_back(std::move(file));
        } else {
            m_xml.skipCurrentElement();
        }
    }
    return text;
}

// An <img> of the question's text: the picture, if the file is embedded.
QString XmlQuestions::imageText(BankQuestion& q, const QString& html)
{
    static const QRegularExpression img(QStringLiteral("<img[^>]*src=\"([^\"]*)\"[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString src = m.captured(1);
        src.remove(QLatin1String("@@PLUGINFILE@@/"));
        src = QUrl::fromPercentEncoding(src.toUtf8());
        bool found = false;
        for (const BankPicture& f : m_files) {
            if (f.name == src) {
                if (q.pictures.empty()) {
                    q.pictures.push_back(f);
                } else {
                    q.notes << qdtool::tr("picture \"%1\" is left out: a question shows one "
                                          "picture")
                                   .arg(src);
                }
                found = true;
                break;
            }
        }
        if (!found) {
            q.notes << qdtool::tr("picture \"%1\" is not embedded in the file").arg(src);
        }
    }
    return htmlToText(html);
}

void XmlQuestions::question(const QString& type)
{
    BankQuestion q;
    q.line = int(m_xml.lineNumber());
    q.sourceType = type;
    q.category = m_category;
    QString stemHtml;
    QString categoryText;
    m_files.clear();
    while (m_xml.readNextStartElement()) {
        const auto name = m_xml.name();
        if (name == QLatin1String("name")) {
            q.name = textChild().trimmed();
        } else if (name == QLatin1String("category")) {
            categoryText = textChild();
        } else if (name == QLatin1String("questiontext")) {
            stemHtml = textChild();
        } else if (name == QLatin1String("defaultgrade")) {
            bool ok = false;
            const double v = m_xml.readElementText().trimmed().toDouble(&ok);
            if (ok) {
                q.points = v;
            }
        } else if (name == QLatin1String("single")) {
            const QString v = m_xml.readElementText().trimmed();
            q.singleAnswer = v == QLatin1String("true") || v == QLatin1String("1");
        } else if (name == QLatin1String("usecase")) {
            q.caseSensitive = m_xml.readElementText().trimmed() == QLatin1String("1");
        } else if (name == QLatin1String("gradingtype")) {
            q.orderingGrading = m_xml.readElementText().trimmed().toInt();
        } else if (name == QLatin1String("answer")) {
            const QString fraction = m_xml.attributes().value(QLatin1String("fraction")).toString();
            const std::size_t before = m_files.size();
            const QString text = htmlToText(textChild());
            if (m_files.size() != before) {
                q.notes << qdtool::tr("a picture in an answer is left out");
                m_files.resize(before);
            }
            q.options.push_back(BankOption{text, fraction.toDouble()});
        } else if (name == QLatin1String("subquestion")) {
            QString left;
            QString right;
            while (m_xml.readNextStartElement()) {
                if (m_xml.name() == QLatin1String("text")) {
                    left = htmlToText(m_xml.readElementText());
                } else if (m_xml.name() == QLatin1String("answer")) {
                    right = htmlToText(textChild());
                } else {
                    m_xml.skipCurrentElement();
                }
            }
            q.pairs.emplace_back(left, right);
        } else {
            m_xml.skipCurrentElement();
        }
    }
    if (type == QLatin1String("category")) {
        QString path = categoryText.trimmed();
        path.remove(QRegularExpression(QStringLiteral("^\\$[a-z]+\\$/")));
        path.remove(QRegularExpression(QStringLiteral("^top(/|$)")));
        m_category = path;
        return;
    }
    q.stem = imageText(q, stemHtml);
    if (type == QLatin1String("multichoice") || type == QLatin1String("truefalse")) {
        q.kind = BankQuestion::Kind::Choice;
        if (type == QLatin1String("truefalse")) {
            q.singleAnswer = true;
            for (BankOption& o : q.options) {
                const QString t = o.text.toLower();
                if (t == QLatin1String("true")) {
                    o.text = QStringLiteral("Правильно");
                } else if (t == QLatin1String("false")) {
                    o.text = QStringLiteral("Неправильно");
                }
            }
        }
    } else if (type == QLatin1String("shortanswer")) {
        q.kind = BankQuestion::Kind::ShortAnswer;
    } else if (type == QLatin1String("matching")) {
        q.kind = BankQuestion::Kind::Matching;
    } else if (type == QLatin1String("ordering")) {
        q.kind = BankQuestion::Kind::Ordering;
    }
    m_bank.questions.push_back(std::move(q));
}

QuestionBank XmlQuestions::read()
{
    while (!m_xml.atEnd()) {
        m_xml.readNext();
        if (m_xml.isComment()) {
            const QString c = m_xml.text().toString().trimmed();
            if (c.startsWith(QLatin1String(kHeaderComment))) {
                m_bank.header = CarriedHeader{
                    c.mid(qsizetype(qstrlen(kHeaderComment))).trimmed().split(QLatin1Char('|'))};
            }
        } else if (m_xml.isStartElement() && m_xml.name() == QLatin1String("question")) {
            question(m_xml.attributes().value(QLatin1String("type")).toString());
        }
    }
    if (m_xml.hasError()) {
        m_bank.losses.push_back(Loss{int(m_xml.lineNumber()), QString(),
                                     qdtool::tr("the XML is not well formed (%1); the rest of "
                                                "the file is not read")
                                         .arg(m_xml.errorString())});
    }
    return std::move(m_bank);
}

} // namespace

QuestionBank readMoodleXml(const QByteArray& bytes)
{
    return XmlQuestions(bytes).read();
}

} // namespace qdtool
