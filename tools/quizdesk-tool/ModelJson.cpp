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
        {"row1", s.row1}, {"col1", s.col1}, {"row2", s.row2},     {"col2", s.col2},
        {"str", text(s.str)}, {"left", s.left}, {"top", s.top}, {"right", s.right},
        {"bottom", s.bottom},
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
// answer keys in sans instead (its ncol is then the keys' length).
bool answeredByColumns(const qd::Question& q)
{
    return (q.type == 4 || q.type == 6) && q.graph != 2;
}

QJsonObject question(const qd::Question& q)
{
    QJsonArray columns;
    if (answeredByColumns(q)) {
        for (std::size_t c = 0; c < std::min(used(q.ncol), q.col.size()); ++c) {
            const qd::Column& col = q.col[c];
            columns.append(QJsonObject{
                {"nrow", col.nrow},
                {"cord", ints(col.cord, used(col.nrow))},
                {"cell", slotArray(col.cell, used(col.nrow))},
            });
        }
    }
    QJsonArray groups;
    if (q.type == 4 || (q.type == 6 && q.graph != 2)) {
        for (std::size_t g = 0; g < std::min(used(q.nrans), q.grp.size()); ++g) {
            const qd::Group& grp = q.grp[g];
            groups.append(QJsonObject{
                {"lbl", text(std::string(1, grp.lbl))},
                {"cnt", grp.cnt},
                {"numbers", ints(grp.numbers, used(grp.cnt))},
            });
        }
    }
    QJsonArray keys;
    if (q.type == 6 && q.graph == 2) {
        for (std::size_t k = 0; k < std::min(used(q.nrans), q.sans.size()); ++k) {
            keys.append(text(q.sans[k]));
        }
    }
    return QJsonObject{
        {"type", q.type},
        {"graph", q.graph},
        {"lenq", q.lenq},
        {"indent", q.indent},
        {"text", text(q.text)},
        {"nans", q.nans},
        {"ans", slotArray(q.ans, used(q.nans))},
        {"rans", ints(q.rans, used(q.nrans))},
        {"nrans", q.nrans},
        {"ord", ints(q.ord, used(q.nans))},
        {"ncol", q.ncol},
        {"col", columns},
        {"grp", groups},
        {"tans", text(q.tans)},
        {"sans", keys},
        {"mark", q.mark},
    };
}

} // namespace

QJsonObject modelToJson(const qd::TestModel& m)
{
    QJsonArray questions;
    for (const qd::Question& q : m.stq) {
        questions.append(question(q));
    }
    return QJsonObject{
        {"disc_name", text(m.disc_name)},
        {"test_name", text(m.test_name)},
        {"nq_total", m.nq_total},
        {"nsect", m.nsect},
        {"nqr", ints(m.nqr, m.nqr.size())},
        {"nq_ask", m.nq_ask},
        {"font_size", m.font_size},
        {"font_bold", m.font_bold},
        {"line_h", m.line_h},
        {"char_w", m.char_w},
        {"t_quest", m.t_quest},
        {"t_test", m.t_test},
        {"pc_sat", m.pc_sat},
        {"pc_good", m.pc_good},
        {"pc_exc", m.pc_exc},
        {"by_time", m.by_time},
        {"t_exc", m.t_exc},
        {"t_good", m.t_good},
        {"t_sat", m.t_sat},
        {"rnd_sect", m.rnd_sect},
        {"rnd_quest", m.rnd_quest},
        {"rnd_ans", m.rnd_ans},
        {"kb_layout", m.kb_layout},
        {"rez_dir", text(m.rez_dir)},
        {"questions", questions},
    };
}

} // namespace qdtool
