#include "ModelJson.h"

#include "ToolSupport.h"

#include <QJsonArray>

#include <algorithm>
#include <string>

namespace qdtool {

using namespace Qt::StringLiterals;

namespace {

QJsonValue text(const std::string& cp1251)
{
    return fromTestText(cp1251);
}

template <typename Container> QJsonArray ints(const Container& values, std::size_t count)
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
        {u"row1"_s, s.startRow},  {u"col1"_s, s.startColumn}, {u"row2"_s, s.endRow},
        {u"col2"_s, s.endColumn}, {u"str"_s, text(s.text)},   {u"left"_s, s.left},
        {u"top"_s, s.top},        {u"right"_s, s.right},      {u"bottom"_s, s.bottom},
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
                {u"nrow"_s, col.rowCount()},
                {u"cord"_s, ints(col.displayOrder, used(col.rowCount()))},
                {u"cell"_s, slotArray(col.cells, used(col.rowCount()))},
            });
        }
    }
    QJsonArray groups;
    if (q.type == qd::QuestionType::Matching || (q.type == qd::QuestionType::MatchingColumns &&
                                                 q.picture != qd::PictureMode::PictureOnly)) {
        for (std::size_t g = 0; g < std::min(used(q.correctCount), q.groups.size()); ++g) {
            const qd::Group& grp = q.groups[g];
            groups.append(QJsonObject{
                {u"lbl"_s, text(std::string(1, grp.label))},
                {u"cnt"_s, grp.numberCount},
                {u"numbers"_s, ints(grp.numbers, used(grp.numberCount))},
            });
        }
    }
    QJsonArray keys;
    if (q.type == qd::QuestionType::MatchingColumns && q.picture == qd::PictureMode::PictureOnly) {
        for (std::size_t k = 0; k < std::min(used(q.correctCount), q.acceptedStrings.size()); ++k) {
            keys.append(text(q.acceptedStrings[k]));
        }
    }
    QJsonObject json{
        {u"type"_s, qd::typeNumber(q.type)},
        {u"graph"_s, qd::pictureModeNumber(q.picture)},
        {u"lenq"_s, q.stemLength},
        {u"indent"_s, q.indent},
        {u"text"_s, text(q.text)},
        {u"nans"_s, q.optionCount},
        {u"ans"_s, slotArray(q.options, used(q.optionCount))},
        {u"rans"_s, ints(q.correctAnswers, used(q.correctCount))},
        {u"nrans"_s, q.correctCount},
        {u"ord"_s, ints(q.displayOrder, used(q.optionCount))},
        {u"ncol"_s, q.columnCount},
        {u"col"_s, columns},
        {u"grp"_s, groups},
        {u"tans"_s, text(q.expectedText)},
        {u"sans"_s, keys},
        {u"mark"_s, q.mark},
    };
    // Only a question written with several spellings has the key, so the
    // dump of every other test keeps its bytes.
    if (!q.acceptedTexts.empty()) {
        QJsonArray accepted;
        for (const std::string& t : q.acceptedTexts) {
            accepted.append(text(t));
        }
        json.insert(u"accepted"_s, accepted);
    }
    return json;
}

} // namespace

QJsonObject modelToJson(const qd::TestModel& m)
{
    QJsonArray questions;
    for (const qd::Question& q : m.questions) {
        questions.append(question(q));
    }
    return QJsonObject{
        {u"disc_name"_s, text(m.subjectName)},
        {u"test_name"_s, text(m.testName)},
        {u"nq_total"_s, m.questionCount},
        {u"nsect"_s, m.sectionCount},
        {u"nqr"_s, ints(m.sectionStarts, m.sectionStarts.size())},
        {u"nq_ask"_s, m.askCount},
        {u"font_size"_s, m.fontSize},
        {u"font_bold"_s, m.fontBold},
        {u"line_h"_s, m.lineHeight},
        {u"char_w"_s, m.charWidth},
        {u"t_quest"_s, m.questionSeconds},
        {u"t_test"_s, m.testMinutes},
        {u"pc_sat"_s, m.satisfactoryPercent},
        {u"pc_good"_s, m.goodPercent},
        {u"pc_exc"_s, m.excellentPercent},
        {u"by_time"_s, m.gradeByTime},
        {u"t_exc"_s, m.excellentSeconds},
        {u"t_good"_s, m.goodSeconds},
        {u"t_sat"_s, m.satisfactorySeconds},
        {u"rnd_sect"_s, m.randomSectionOrder},
        {u"rnd_quest"_s, m.randomQuestionOrder},
        {u"rnd_ans"_s, m.randomOptionOrder},
        {u"kb_layout"_s, m.keyboardLayout},
        {u"rez_dir"_s, text(m.reportDir)},
        {u"questions"_s, questions},
    };
}

} // namespace qdtool
