#include "CheckHints.h"

#include "ToolSupport.h"

#include "definition/HeaderParser.h"
#include "definition/Scrambler.h"

#include <QRegularExpression>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace qdtool {

namespace {

constexpr const char* kQuestionsFile = "voprosi.txt";
constexpr const char* kAnswersFile = "otveti.txt";

std::string readBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string plainText(const std::string& raw, qd::FileKind kind)
{
    return qd::isScrambled(raw) ? qd::unscramble(raw, kind) : raw;
}

bool startsWith(const std::string& s, std::string_view prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

// Well-formed UTF-8 holding at least one character beyond ASCII. Text in
// code page 1251 practically never is: its letters (0xC0..0xFF) would each
// need continuation bytes (0x80..0xBF) behind them.
bool looksUtf8(const std::string& s)
{
    bool beyondAscii = false;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int follow = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
        } else {
            return false;
        }
        if (i + std::size_t(follow) >= s.size()) {
            return false;
        }
        for (int k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(s[i + std::size_t(k)]) & 0xC0) != 0x80) {
                return false;
            }
        }
        beyondAscii = true;
        i += std::size_t(follow) + 1;
    }
    return beyondAscii;
}

bool looksUtf16(const std::string& s)
{
    if (startsWith(s, "\xFF\xFE") || startsWith(s, "\xFE\xFF")) {
        return true;
    }
    const auto nuls = std::count(s.begin(), s.end(), '\0');
    return s.size() >= 4 && std::size_t(nuls) * 4 >= s.size();
}

std::optional<QString> encodingHint(const std::string& plain, const char* name)
{
    const QString file = QString::fromLatin1(name);
    const QString converted = file + QStringLiteral(".1251");
    if (looksUtf16(plain)) {
        return tr("%1 is saved as UTF-16, but QuizDesk reads code page 1251; "
                  "convert it with: iconv -f UTF-16 -t CP1251 %1 > %2 && mv %2 %1")
            .arg(file, converted);
    }
    if (startsWith(plain, "\xEF\xBB\xBF")) {
        return tr("%1 is saved as UTF-8 (with a byte order mark), but QuizDesk reads "
                  "code page 1251; convert it with: tail -c +4 %1 | iconv -f UTF-8 "
                  "-t CP1251 > %2 && mv %2 %1")
            .arg(file, converted);
    }
    if (looksUtf8(plain)) {
        return tr("%1 is saved as UTF-8, but QuizDesk reads code page 1251; convert "
                  "it with: iconv -f UTF-8 -t CP1251 %1 > %2 && mv %2 %1")
            .arg(file, converted);
    }
    return std::nullopt;
}

// The question a fault names, if it names one.
std::optional<int> questionOf(const qd::Fault& fault)
{
    static const QRegularExpression named(
        QStringLiteral("[Вв]опрос[а-я]*\\s+(\\d+)|(\\d+)\\s+(?:ответа|вопроса)"));
    const QString text = QString::fromStdString(fault.utf8());
    const QRegularExpressionMatch m = named.match(text);
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    const QString digits = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// The question count the header announces, when the header itself is sound.
std::optional<int> headerCount(const std::string& answers)
{
    qd::TestModel m;
    m.answersText = answers;
    if (!qd::parseHeader(m, 1024).ok()) {
        return std::nullopt;
    }
    return m.questionCount;
}

int lineOf(const std::string& s, std::size_t offset)
{
    return 1 +
           int(std::count(s.begin(), s.begin() + std::ptrdiff_t(std::min(offset, s.size())), '\n'));
}

// Where question n's text lies: between the (n-1)th and the nth '#'.
std::pair<std::size_t, std::size_t> questionSpan(const std::string& v, int n)
{
    std::size_t from = 0;
    for (int k = 1; k < n; ++k) {
        const std::size_t hash = v.find('#', from);
        if (hash == std::string::npos) {
            return {v.size(), v.size()};
        }
        from = hash + 1;
    }
    const std::size_t end = v.find('#', from);
    return {from, end == std::string::npos ? v.size() : end};
}

std::optional<QString> bracketHint(const std::string& v, int n)
{
    const auto [from, to] = questionSpan(v, n);
    std::optional<std::size_t> open;
    for (std::size_t i = from; i < to; ++i) {
        if (v[i] == '<') {
            if (open) {
                return tr("question %1: the '<' on line %2 of voprosi.txt is not "
                          "closed by '>' before the next '<' on line %3")
                    .arg(n)
                    .arg(lineOf(v, *open))
                    .arg(lineOf(v, i));
            }
            open = i;
        } else if (v[i] == '>') {
            if (!open) {
                return QStringLiteral(
                           "question %1: the '>' on line %2 of voprosi.txt has no '<' before it")
                    .arg(n)
                    .arg(lineOf(v, i));
            }
            open.reset();
        }
    }
    if (open) {
        return tr("question %1: the '<' on line %2 of voprosi.txt is not closed by "
                  "'>' before the question ends")
            .arg(n)
            .arg(lineOf(v, *open));
    }
    return std::nullopt;
}

// A file that mixes its line ends: the first line ending differently from
// the file's first line. Test files are written with CR LF.
std::optional<QString> lineEndHint(const std::string& s, const char* name)
{
    std::optional<bool> crlfFirst;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool lf = s[i] == '\n';
        const bool bareCr = s[i] == '\r' && (i + 1 == s.size() || s[i + 1] != '\n');
        if (!lf && !bareCr) {
            continue;
        }
        const bool crlf = lf && i > 0 && s[i - 1] == '\r';
        if (!crlfFirst) {
            crlfFirst = crlf;
            continue;
        }
        if (crlf != *crlfFirst || bareCr) {
            return tr("line %1 of %2 ends with %3, the lines before it with %4; "
                      "save the file with CR LF line ends throughout")
                .arg(lineOf(s, i))
                .arg(QString::fromLatin1(name))
                .arg(bareCr ? tr("CR alone")
                     : crlf ? QStringLiteral("CR LF")
                            : tr("LF alone"))
                .arg(*crlfFirst ? QStringLiteral("CR LF") : tr("LF alone"));
        }
    }
    return std::nullopt;
}

} // namespace

TestFiles readTestFiles(const std::filesystem::path& dir)
{
    return TestFiles{plainText(readBytes(dir / kQuestionsFile), qd::FileKind::Questions),
                     plainText(readBytes(dir / kAnswersFile), qd::FileKind::Answers)};
}

std::optional<QString> hintFor(const TestFiles& files, const qd::Fault& fault)
{
    if (auto h = encodingHint(files.questions, kQuestionsFile)) {
        return h;
    }
    if (auto h = encodingHint(files.answers, kAnswersFile)) {
        return h;
    }
    const std::optional<int> n = questionOf(fault);
    if (!n) {
        return std::nullopt;
    }
    const int found = int(std::count(files.questions.begin(), files.questions.end(), '#'));
    if (const std::optional<int> announced = headerCount(files.answers);
        announced && *announced != found) {
        return tr("the header of otveti.txt announces %1 questions, but voprosi.txt "
                  "holds %2 (each question ends with '#')")
            .arg(*announced)
            .arg(found);
    }
    if (auto h = bracketHint(files.questions, *n)) {
        return h;
    }
    if (auto h = lineEndHint(files.questions, kQuestionsFile)) {
        return h;
    }
    return lineEndHint(files.answers, kAnswersFile);
}

std::optional<QString> loadedTestHint(const TestFiles& files, int questionCount)
{
    if (auto h = encodingHint(files.questions, kQuestionsFile)) {
        return h;
    }
    if (auto h = encodingHint(files.answers, kAnswersFile)) {
        return h;
    }
    const int found = int(std::count(files.questions.begin(), files.questions.end(), '#'));
    if (found <= questionCount) {
        return std::nullopt;
    }
    return tr("the header of otveti.txt announces %1 questions, but voprosi.txt "
              "holds %2 (each question ends with '#'); the last %3 are never asked")
        .arg(questionCount)
        .arg(found)
        .arg(found - questionCount);
}

} // namespace qdtool
