#include "run/Checkpoint.h"

#include "definition/Cp1251.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <bit>
#include <cmath>

namespace qd {

namespace {

// The first line: this word, the format's version, the body's length and
// the body's SHA-256. A file of another version is not this program's to
// read: it reads as damaged.
constexpr std::string_view kMagic = "QuizDesk checkpoint 1 ";
constexpr std::size_t kMaxFirstLine = 128;
// Whole milliseconds a JSON number holds exactly (2^53).
constexpr double kMaxExact = 9007199254740992.0;

QByteArray bytesOf(std::string_view s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string sha256Hex(std::string_view bytes)
{
    return QCryptographicHash::hash(bytesOf(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

QJsonArray intArray(const std::vector<int32_t>& values)
{
    QJsonArray a;
    for (const int32_t v : values) {
        a.append(v);
    }
    return a;
}

QString base64(std::string_view bytes)
{
    return QString::fromLatin1(bytesOf(bytes).toBase64());
}

// The field readers: each refuses what is missing, of another type or out
// of its bounds, so that a checkpoint that reads is one the run can use.
class Reader
{
public:
    explicit Reader(const QJsonObject& o) : m_o(o) {}
    bool ok() const { return m_ok; }

    int64_t integer(const char* key, int64_t lo, int64_t hi)
    {
        return integerOf(m_o.value(QLatin1String(key)), lo, hi);
    }
    int64_t integerOf(const QJsonValue& v, int64_t lo, int64_t hi)
    {
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || !std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > kMaxExact ||
            d < double(lo) || d > double(hi)) {
            m_ok = false;
            return lo;
        }
        return int64_t(d);
    }
    float number(const char* key) { return numberOf(m_o.value(QLatin1String(key))); }
    float numberOf(const QJsonValue& v)
    {
        const double d = v.toDouble(std::nan(""));
        // A float's every value is a double exactly; anything else was not
        // written by this program.
        if (!v.isDouble() || !std::isfinite(d) || double(float(d)) != d) {
            m_ok = false;
            return 0.0f;
        }
        return float(d);
    }
    bool flag(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isBool()) {
            m_ok = false;
        }
        return v.toBool();
    }
    std::string text(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isString()) {
            m_ok = false;
        }
        return v.toString().toStdString();
    }
    std::string bytes(const char* key)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isString()) {
            m_ok = false;
            return {};
        }
        const auto decoded = QByteArray::fromBase64Encoding(
            v.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            m_ok = false;
            return {};
        }
        return decoded.decoded.toStdString();
    }
    std::vector<int32_t> ints(const QJsonValue& v, int32_t lo, int32_t hi, std::size_t maxCount)
    {
        std::vector<int32_t> out;
        if (!v.isArray() || std::size_t(v.toArray().size()) > maxCount) {
            m_ok = false;
            return out;
        }
        for (const QJsonValue e : v.toArray()) {
            out.push_back(int32_t(integerOf(e, lo, hi)));
        }
        return out;
    }
    QJsonArray array(const char* key, std::size_t maxCount)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (!v.isArray() || std::size_t(v.toArray().size()) > maxCount) {
            m_ok = false;
            return {};
        }
        return v.toArray();
    }
    void fail() { m_ok = false; }

private:
    QJsonObject m_o;
    bool m_ok = true;
};

} // namespace

std::string testIdentity(const TestModel& model)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    // Each file's length first, so that no byte can move from one to the
    // other unnoticed.
    for (const std::string* text : {&model.questionsText, &model.answersText}) {
        const QByteArray length = QByteArray::number(qulonglong(text->size())) + '\n';
        h.addData(length);
        h.addData(bytesOf(*text));
    }
    return h.result().toHex().toStdString();
}

std::vector<std::vector<int32_t>> optionOrdersOf(const TestModel& model,
                                                 const std::vector<int32_t>& asked)
{
    std::vector<std::vector<int32_t>> orders;
    orders.reserve(asked.size());
    for (const int32_t index : asked) {
        std::vector<int32_t> order;
        if (index >= 0 && index < int32_t(model.questions.size())) {
            const Question& q = model.questions[std::size_t(index)];
            if (q.isMatching()) {
                for (const Column& c : q.columns) {
                    order.insert(order.end(), c.displayOrder.begin(), c.displayOrder.end());
                }
            } else {
                const int n = std::clamp(q.optionCount, 0, kMaxAnswers);
                order.assign(q.displayOrder.begin(), q.displayOrder.begin() + n);
            }
        }
        orders.push_back(std::move(order));
    }
    return orders;
}

// The messages stay whole on their lines, as the guide quotes them.
// clang-format off
CheckpointRefusal refusal(CheckpointProblem problem)
{
    const char* text = "Збережене тестування належить іншому тесту або іншій версії тесту: тест почнеться спочатку.";
    switch (problem) {
    case CheckpointProblem::Unreadable:
        text = "Збережене тестування не вдалося прочитати: тест почнеться спочатку.";
        break;
    case CheckpointProblem::Truncated:
        text = "Збережене тестування обрізане: тест почнеться спочатку.";
        break;
    case CheckpointProblem::Damaged:
        text = "Збережене тестування пошкоджене або змінене: тест почнеться спочатку.";
        break;
    case CheckpointProblem::Foreign:
        break;
    }
    return {problem, toCp1251(text)};
}
// clang-format on

std::string encodeCheckpoint(const Checkpoint& c)
{
    QJsonObject o;
    o.insert(QStringLiteral("test"), QString::fromStdString(c.testId));
    // Readable for the examiner who looks; the bytes decide.
    o.insert(QStringLiteral("student"), QString::fromStdString(fromCp1251(c.studentName)));
    o.insert(QStringLiteral("studentBytes"), base64(c.studentName));
    o.insert(QStringLiteral("exam"), c.examMode);
    o.insert(QStringLiteral("seed"), double(c.seed));
    o.insert(QStringLiteral("asked"), intArray(c.askingOrder));
    QJsonArray orders;
    for (const auto& order : c.optionOrders) {
        orders.append(intArray(order));
    }
    o.insert(QStringLiteral("optionOrders"), orders);
    QJsonArray answers;
    for (const Checkpoint::Answer& a : c.answers) {
        answers.append(QJsonArray{a.question, double(a.points), a.right});
    }
    o.insert(QStringLiteral("answers"), answers);
    o.insert(QStringLiteral("finished"), c.finishedCount);
    o.insert(QStringLiteral("unasked"), c.unaskedCount);
    o.insert(QStringLiteral("score"), double(c.score));
    o.insert(QStringLiteral("maxScore"), c.maxScore);
    o.insert(QStringLiteral("wrong"), intArray(c.wrongQuestions));
    o.insert(QStringLiteral("openQuestion"), c.openQuestion);
    o.insert(QStringLiteral("questionUsedMs"), double(c.questionUsedMs));
    o.insert(QStringLiteral("testUsedMs"), double(c.testUsedMs));
    o.insert(QStringLiteral("writtenAtMs"), double(c.writtenAtMs));
    o.insert(QStringLiteral("report"), QString::fromStdString(c.reportName));
    o.insert(QStringLiteral("reportLength"), double(c.reportText.size()));
    o.insert(QStringLiteral("reportBytes"), base64(c.reportText));
    o.insert(QStringLiteral("registered"), c.registered);
    o.insert(QStringLiteral("acknowledged"), c.acknowledged);
    o.insert(QStringLiteral("resumed"), c.resumeCount);
    const QByteArray body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    const std::string bodyText = body.toStdString();
    std::string out(kMagic);
    out += std::to_string(bodyText.size()) + ' ' + sha256Hex(bodyText) + '\n';
    out += bodyText;
    return out;
}

std::variant<Checkpoint, CheckpointRefusal> decodeCheckpoint(std::string_view bytes)
{
    const CheckpointRefusal damaged = refusal(CheckpointProblem::Damaged);
    const std::size_t eol = bytes.substr(0, kMaxFirstLine).find('\n');
    if (eol == std::string_view::npos) {
        // A file cut within its first line is cut, not foreign.
        if (bytes.size() < kMaxFirstLine && kMagic.starts_with(bytes.substr(0, kMagic.size()))) {
            return refusal(CheckpointProblem::Truncated);
        }
        return damaged;
    }
    const std::string_view first = bytes.substr(0, eol);
    const std::string_view body = bytes.substr(eol + 1);
    if (!first.starts_with(kMagic)) {
        return damaged;
    }
    const std::string_view rest = first.substr(kMagic.size());
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos || space == 0 || space > 9) {
        return damaged;
    }
    std::size_t length = 0;
    for (const char ch : rest.substr(0, space)) {
        if (ch < '0' || ch > '9') {
            return damaged;
        }
        length = length * 10 + std::size_t(ch - '0');
    }
    if (body.size() < length) {
        return refusal(CheckpointProblem::Truncated);
    }
    if (body.size() > length || rest.substr(space + 1) != sha256Hex(body)) {
        return damaged;
    }

    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytesOf(body), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return damaged;
    }
    Reader r(doc.object());
    Checkpoint c;
    c.testId = r.text("test");
    c.studentName = r.bytes("studentBytes");
    c.examMode = r.flag("exam");
    c.seed = uint32_t(r.integer("seed", 0, UINT32_MAX));
    const QJsonObject& o = doc.object();
    c.askingOrder = r.ints(o.value(QLatin1String("asked")), 0, kMaxQuestions - 1, kMaxQuestions);
    for (const QJsonValue v : r.array("optionOrders", kMaxQuestions)) {
        c.optionOrders.push_back(
            r.ints(v, 0, kMaxAnswers - 1, std::size_t(kMaxAnswers) * kMaxColumns));
    }
    for (const QJsonValue v : r.array("answers", kMaxQuestions)) {
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != 3 || !a.at(2).isBool()) {
            r.fail();
            break;
        }
        c.answers.push_back({int32_t(r.integerOf(a.at(0), 1, kMaxQuestions)), r.numberOf(a.at(1)),
                             a.at(2).toBool()});
    }
    c.finishedCount = int32_t(r.integer("finished", 0, kMaxQuestions));
    c.unaskedCount = int32_t(r.integer("unasked", 0, kMaxQuestions));
    c.score = r.number("score");
    c.maxScore = int32_t(r.integer("maxScore", INT32_MIN, INT32_MAX));
    c.wrongQuestions = r.ints(o.value(QLatin1String("wrong")), 1, kMaxQuestions, kMaxQuestions);
    c.openQuestion = int32_t(r.integer("openQuestion", -1, kMaxQuestions - 1));
    c.questionUsedMs = uint32_t(r.integer("questionUsedMs", 0, UINT32_MAX));
    c.testUsedMs = uint32_t(r.integer("testUsedMs", 0, UINT32_MAX));
    c.writtenAtMs = r.integer("writtenAtMs", -int64_t(kMaxExact), int64_t(kMaxExact));
    c.reportName = r.text("report");
    const int64_t reportLength = r.integer("reportLength", 0, int64_t(Checkpoint::kMaxBytes));
    c.reportText = r.bytes("reportBytes");
    c.registered = r.flag("registered");
    c.acknowledged = r.flag("acknowledged");
    c.resumeCount = int32_t(r.integer("resumed", 0, INT32_MAX));
    if (!r.ok()) {
        return damaged;
    }
    // What holds for every checkpoint this program writes, whatever the test.
    const bool consistent =
        c.testId.size() == 64 && !c.studentName.empty() && c.studentName.size() < 50 &&
        c.studentName.find('\0') == std::string::npos &&
        int64_t(c.reportText.size()) == reportLength &&
        c.optionOrders.size() == c.askingOrder.size() &&
        c.finishedCount == int32_t(c.answers.size()) + c.unaskedCount &&
        c.finishedCount <= int32_t(c.askingOrder.size()) &&
        c.wrongQuestions.size() <= c.answers.size() &&
        (c.openQuestion < 0 || (c.finishedCount < int32_t(c.askingOrder.size()) &&
                                c.askingOrder[std::size_t(c.finishedCount)] == c.openQuestion)) &&
        (c.openQuestion >= 0 || c.questionUsedMs == 0) && c.questionUsedMs <= c.testUsedMs &&
        c.reportName.find('/') == std::string::npos && c.reportName != "." &&
        c.reportName != ".." && (c.reportName.empty() || c.reportName.ends_with(".txt")) &&
        (!c.registered || c.examMode);
    if (!consistent) {
        return damaged;
    }
    return c;
}

std::optional<CheckpointRefusal> checkpointFits(const Checkpoint& c, const TestModel& model,
                                                const RunState& st)
{
    if (c.testId != testIdentity(model)) {
        return refusal(CheckpointProblem::Foreign);
    }
    const std::size_t asked =
        std::size_t(std::clamp(model.askCount, 0, int(st.askingOrder.size())));
    const std::vector<int32_t> order(st.askingOrder.begin(),
                                     st.askingOrder.begin() + std::ptrdiff_t(asked));
    if (c.askingOrder != order || c.optionOrders != optionOrdersOf(model, order)) {
        return refusal(CheckpointProblem::Damaged);
    }
    // The answers are those of the questions asked first, in that order; the
    // score and the list of wrong ones are theirs.
    // Summed as the run sums them (the float in the same order, the marks
    // saturating), so that the totals agree to the bit.
    RunState sums;
    std::vector<int32_t> wrong;
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
        const Checkpoint::Answer& a = c.answers[i];
        if (a.question != order[i] + 1) {
            return refusal(CheckpointProblem::Damaged);
        }
        const Question& q = model.questions[std::size_t(order[i])];
        sums.score += a.points;
        sums.addMaxScore(q.mark);
        if (!a.right) {
            wrong.push_back(a.question);
        }
    }
    for (std::size_t i = c.answers.size(); i < std::size_t(c.finishedCount); ++i) {
        sums.addMaxScore(model.questions[std::size_t(order[i])].mark);
    }
    const bool fits = (c.unaskedCount == 0 || c.finishedCount == int32_t(asked)) &&
                      std::bit_cast<uint32_t>(sums.score) == std::bit_cast<uint32_t>(c.score) &&
                      sums.maxScore == c.maxScore && wrong == c.wrongQuestions;
    if (!fits) {
        return refusal(CheckpointProblem::Damaged);
    }
    return std::nullopt;
}

} // namespace qd
