#include "ModelJson.h"

#include "ToolSupport.h"

#include <QJsonArray>

#include <algorithm>
#include <string>

namespace qdtool {

namespace {

QJsonValue text(const std::string& cp1251)
{
    return fromTestText(cp1251);
}

template <typename Container>
QJsonArray ints(const Container& values, std::size_t count)
{
    QJsonArray out;
    const std::size_t n = std::min<std::size_t>(count, values.size());
    for (std::size_t i = 0; i < n; ++i) {
        out.append(int(values[i]));
    }
    return out;
}

std::size_t used(int32_t count)
{
    return count > 0 ? std::size_t(count) : 0;
}

QJsonObject slot(const qd::AnswerSlot& s)
{
    return QJsonObject{
        {"row1", s.startRow},  {"col1", s.startColumn}, {"row2", s.endRow},
        {"col2", s.endColumn}, {"str", text(s.text)},   {"left", s.left},
        {"top", s.top},        {"right", s.right},      {"bottom", s.bottom},
    };
}

QJsonArray slotArray(const std::vector<qd::AnswerSlot>& all, std::size_t count)
{
    QJsonArray out;
    for (std::size_t i = 0; i < std::min(count, all.size()); ++i) {
        out.append(slot(all[i]));
    }
    return out;
}

// Columns and groups belong to the matching types; a typed type 6 holds its
// answer keys in sans instead (its columnCount is then the keys' length).
bool answeredByColumns(const qd::Question& q)
{
    return q.isMatching() && q.picture != qd::PictureMode::PictureOnly;
}

QJsonObject question(const qd::Question& q)
{
    QJsonArray columns;
    if (answeredByColumns(q)) {
        for (std::size_t c = 0; c < std::min(used(q.columnCount), q.columns.size()); ++c) {
            const qd::Column& col = q.columns[c];
            columns.append(QJsonObject{
                {"nrow", col.rowCount()},
                {"cord", ints(col.displayOrder, used(col.rowCount()))},
                {"cell", slotArray(col.cells, used(col.rowCount()))},
            });
        }
    }
    QJsonArray groups;
    if (q.type == qd::QuestionType::Matching ||
        (q.type == qd::QuestionType::MatchingColumns && q.picture != qd::PictureMode::PictureOnly)) {
        for (std::size_t g = 0; g < std::min(used(q.correctCount), q.groups.size()); ++g) {
            const qd::Group& grp = q.groups[g];
            groups.append(QJsonObject{
                {"lbl", text(std::string(1, grp.label))},
                {"cnt", grp.numberCount},
                {"numbers", ints(grp.numbers, used(grp.numberCount))},
            });
        }
    }
    QJsonArray keys;
    if (q.type == qd::QuestionType::MatchingColumns && q.picture == qd::PictureMode::PictureOnly) {
        for (std::size_t k = 0; k < std::min(used(q.correctCount), q.acceptedStrings.size()); ++k) {
            keys.append(text(q.acceptedStrings[k]));
        }
    }
    return QJsonObject{
        {"type", qd::typeNumber(q.type)},
        {"graph", qd::pictureModeNumber(q.picture)},
        {"lenq", q.stemLength},
        {"indent", q.indent},
        {"text", text(q.text)},
        {"nans", q.optionCount},
        {"ans", slotArray(q.options, used(q.optionCount))},
        {"rans", ints(q.correctAnswers, used(q.correctCount))},
        {"nrans", q.correctCount},
        {"ord", ints(q.displayOrder, used(q.optionCount))},
        {"ncol", q.columnCount},
        {"col", columns},
        {"grp", groups},
        {"tans", text(q.expectedText)},
        {"sans", keys},
        {"mark", q.mark},
    };
}

} // namespace

QJsonObject modelToJson(const qd::TestModel& m)
{
    QJsonArray questions;
    for (const qd::Question& q : m.questions) {
        questions.append(question(q));
    }
    return QJsonObject{
        {"disc_name", text(m.subjectName)},
        {"test_name", text(m.testName)},
        {"nq_total", m.questionCount},
        {"nsect", m.sectionCount},
        {"nqr", ints(m.sectionStarts, m.sectionStarts.size())},
        {"nq_ask", m.askCount},
        {"font_size", m.fontSize},
        {"font_bold", m.fontBold},
        {"line_h", m.lineHeight},
        {"char_w", m.charWidth},
        {"t_quest", m.questionSeconds},
        {"t_test", m.testMinutes},
        {"pc_sat", m.satisfactoryPercent},
        {"pc_good", m.goodPercent},
        {"pc_exc", m.excellentPercent},
        {"by_time", m.gradeByTime},
        {"t_exc", m.excellentSeconds},
        {"t_good", m.goodSeconds},
        {"t_sat", m.satisfactorySeconds},
        {"rnd_sect", m.randomSectionOrder},
        {"rnd_quest", m.randomQuestionOrder},
        {"rnd_ans", m.randomOptionOrder},
        {"kb_layout", m.keyboardLayout},
        {"rez_dir", text(m.reportDir)},
        {"questions", questions},
    };
}

} // namespace qdtool
