#pragma once

// Small builders of test models for the run engine's tests: questions are
// filled in code the way the loader leaves them (identity orders, one line
// per option), so that a test shows only what matters to it.

#include "definition/TestModel.h"
#include "run/Clock.h"
#include "screen/AnswerLayout.h"

#include <initializer_list>
#include <numeric>
#include <string>
#include <vector>

namespace qdtest {

constexpr int kCharW = 8;
constexpr int kLineH = 16;

// An option on one line of the grid.
inline qd::AnswerSlot slot(int row, int col1, const std::string& text)
{
    qd::AnswerSlot s;
    s.row1 = s.row2 = row;
    s.col1 = col1;
    s.str = "<" + text + ">";
    s.col2 = col1 + int(s.str.size()) - 1;
    qd::rect(s, kCharW, kLineH);
    return s;
}

// Types 1 to 3: `nans` options on lines 2, 3, ...; rans in file numbers.
inline qd::Question choice(int type, int nans, std::initializer_list<int> rans, int mark,
                           int graph = 0)
{
    qd::Question q;
    q.type = type;
    q.graph = graph;
    q.mark = mark;
    q.nans = graph == 2 ? 0 : nans;
    for (int i = 0; i < q.nans; ++i) {
        q.ans.push_back(slot(2 + i, 1, "option " + std::to_string(i + 1)));
    }
    q.nrans = int(rans.size());
    std::copy(rans.begin(), rans.end(), q.rans.begin());
    std::iota(q.ord.begin(), q.ord.end(), 0);
    return q;
}

// Type 5 with its expected text (already without blanks, lowered).
inline qd::Question text(const std::string& tans, int mark)
{
    qd::Question q;
    q.type = 5;
    q.mark = mark;
    q.tans = tans;
    q.ans.resize(1);
    return q;
}

struct GroupSpec
{
    char lbl;
    std::vector<int> numbers;
};

// Types 4 and 6 answered with the mouse: columns of the given heights side
// by side, one group per row of the first column (file order).
inline qd::Question columns(int type, std::initializer_list<int> nrows,
                            std::initializer_list<GroupSpec> groups, int mark)
{
    qd::Question q;
    q.type = type;
    q.mark = mark;
    int c = 0;
    for (int n : nrows) {
        qd::Column col;
        col.nrow = int16_t(n);
        for (int r = 0; r < n; ++r) {
            col.cell.push_back(slot(2 + r, 1 + 12 * c, std::string(1, char('a' + c)) + std::to_string(r + 1)));
            q.ans.push_back(col.cell.back());
        }
        col.cord.resize(std::size_t(n));
        std::iota(col.cord.begin(), col.cord.end(), 0);
        q.col.push_back(col);
        ++c;
    }
    q.ncol = c;
    q.nans = int(q.ans.size());
    for (const GroupSpec& g : groups) {
        qd::Group grp;
        grp.lbl = g.lbl;
        grp.cnt = int(g.numbers.size());
        std::copy(g.numbers.begin(), g.numbers.end(), grp.numbers.begin());
        q.grp.push_back(grp);
    }
    q.nrans = int(q.grp.size());
    return q;
}

// A typed type 4: groups only.
inline qd::Question typedGroups(std::initializer_list<GroupSpec> groups, int mark)
{
    qd::Question q = columns(4, {}, groups, mark);
    q.graph = 2;
    q.nans = 0;
    q.ans.clear();
    return q;
}

// A typed type 6: keys of equal length.
inline qd::Question typedKeys(std::initializer_list<std::string> keys, int mark)
{
    qd::Question q;
    q.type = 6;
    q.graph = 2;
    q.mark = mark;
    q.sans.assign(keys.begin(), keys.end());
    q.nrans = int(q.sans.size());
    q.ncol = int(q.sans.front().size());
    return q;
}

// One section, every question asked, percentage grading 60/75/90.
inline qd::TestModel modelOf(std::vector<qd::Question> questions)
{
    qd::TestModel m;
    m.stq = std::move(questions);
    m.nq_total = int(m.stq.size());
    m.nq_ask = m.nq_total;
    m.nsect = 1;
    m.nqr = {1};
    m.char_w = kCharW;
    m.line_h = kLineH;
    m.t_quest = 60;
    m.t_test = 10;
    m.pc_sat = 60;
    m.pc_good = 75;
    m.pc_exc = 90;
    m.t_exc = 300;
    m.t_good = 600;
    m.t_sat = 900;
    return m;
}

// A clock that stands still unless a test moves it.
class FixedClock : public qd::Clock
{
public:
    uint32_t tick = 0;
    qd::LocalTime time;
    uint32_t ticks() const override { return tick; }
    qd::LocalTime now() const override { return time; }
    uint32_t calendarSeconds() const override { return 0; }
};

} // namespace qdtest
