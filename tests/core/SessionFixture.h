#pragma once

#include "RecordingView.h"

#include "results/ReportFile.h"
#include "run/ManualClock.h"
#include "run/TestSession.h"
#include "screen/AnswerLayout.h"

#include <memory>
#include <numeric>
#include <string>
#include <vector>

// Small hand-made tests for the session: options laid on the grid with
// char_w 8 and line_h 16, so an option on line r, columns c1..c2 covers
// x (c1 - 1) * 8 .. c2 * 8 and y (r - 1) * 16 .. r * 16 - 2.
namespace fixture {

constexpr int kCharW = 8;
constexpr int kLineH = 16;

inline qd::AnswerSlot option(int row, int col1, const std::string& text)
{
    qd::AnswerSlot s;
    s.row1 = s.row2 = row;
    s.col1 = col1;
    s.col2 = col1 + int(text.size()) + 1;
    s.str = "<" + text + ">";
    qd::rect(s, kCharW, kLineH);
    return s;
}

// Types 1 to 3: options "A", "B", ... one per line from line 2, column 3.
// `rans` as shown numbers (1-based).
inline qd::Question choice(int type, int n, std::vector<int> rans, int mark)
{
    qd::Question q;
    q.type = type;
    q.text = "Q";
    q.nans = n;
    for (int i = 0; i < n; ++i) {
        q.ans.push_back(option(2 + i, 3, std::string(1, char('A' + i))));
        q.ord[std::size_t(i)] = i;
    }
    q.nrans = int(rans.size());
    for (std::size_t i = 0; i < rans.size(); ++i) {
        q.rans[i] = rans[i];
    }
    q.mark = mark;
    return q;
}

// Types 4 and 6: `rows[c]` cells in column c, side by side 12 columns apart;
// cell texts are the column letter and the row ("a0", "b2"); the first
// column's labels are A, B, C, ... Groups empty unless set by the test.
inline qd::Question matching(int type, std::vector<int> rows, int mark)
{
    qd::Question q;
    q.type = type;
    q.text = "M";
    q.ncol = int(rows.size());
    q.mark = mark;
    q.col.resize(rows.size());
    int most = 0;
    for (std::size_t c = 0; c < rows.size(); ++c) {
        most = std::max(most, rows[c]);
        q.col[c].nrow = int16_t(rows[c]);
        q.col[c].cord.resize(std::size_t(rows[c]));
        std::iota(q.col[c].cord.begin(), q.col[c].cord.end(), 0);
    }
    for (int r = 0; r < most; ++r) {
        for (std::size_t c = 0; c < rows.size(); ++c) {
            if (r < rows[c]) {
                const std::string text = std::string(1, char('a' + c)) + std::to_string(r);
                q.ans.push_back(option(2 + r, 3 + 12 * int(c), text));
                q.col[c].cell.push_back(q.ans.back());
            }
        }
    }
    q.nans = int(q.ans.size());
    q.nrans = rows.empty() ? 0 : rows[0];
    q.grp.resize(std::size_t(q.nrans));
    for (int g = 0; g < q.nrans; ++g) {
        q.grp[std::size_t(g)].lbl = char('A' + g);
    }
    return q;
}

// Type 5: the answer area lies at the window's bottom edge (768).
inline qd::Question typed(const std::string& tans, int mark)
{
    qd::Question q;
    q.type = 5;
    q.text = "T";
    q.tans = tans;
    q.mark = mark;
    qd::AnswerSlot s;
    s.top = s.bottom = 768;
    q.ans.push_back(s);
    return q;
}

inline qd::TestModel model(std::vector<qd::Question> questions)
{
    qd::TestModel m;
    m.disc_name = "D";
    m.test_name = "T";
    m.nq_total = m.nq_ask = int(questions.size());
    m.nsect = 1;
    m.nqr = {1};
    m.t_quest = 100;
    m.t_test = 60;
    m.pc_sat = 60;
    m.pc_good = 75;
    m.pc_exc = 90;
    m.t_exc = 300;
    m.t_good = 600;
    m.t_sat = 900;
    m.char_w = kCharW;
    m.line_h = kLineH;
    m.stq = std::move(questions);
    return m;
}

// A session over `m`, asking its questions in record order, on a clock that
// starts at 10:00:00 with a tick count close to its wrap.
struct Rig
{
    explicit Rig(qd::TestModel m, uint32_t startTicks = 0xFFFF0000u)
        : model(std::move(m)), clock(qd::LocalTime{2026, 12, 7, 10, 0, 0}, startTicks)
    {
        qd::RunState st;
        st.i_r.resize(std::size_t(model.nq_total));
        std::iota(st.i_r.begin(), st.i_r.end(), 0);
        session = std::make_unique<qd::TestSession>(model, std::move(st), clock, view, report,
                                                     std::filesystem::path("/tmp"));
    }

    // "Почати тестування" without a name (no report) and the start tick.
    void begin()
    {
        session->OnClickBegin("", false);
        (void)session->OnTimerWaitServer();
        view.take();
    }

    // Runs the 50 ms timer for `ms` milliseconds.
    void run(uint32_t ms)
    {
        for (uint32_t t = 0; t < ms; t += 50) {
            clock.advance(50);
            (void)session->OnTimer();
        }
    }

    // Centre of an option's text and of its marker cell, as on the screen.
    void press(int col, int row)
    {
        const qd::AnswerSlot& s = session->slotAt(col, row);
        session->OnMouseDown((s.left + s.right) / 2, s.top + 1);
    }
    void pressMarker(int col, int row)
    {
        const qd::AnswerSlot& s = session->slotAt(col, row);
        session->OnMouseDown(s.left - kCharW / 2, s.top + 1);
    }
    void hover(int col, int row)
    {
        const qd::AnswerSlot& s = session->slotAt(col, row);
        session->OnMouseMove((s.left + s.right) / 2, s.top + 1);
    }

    qd::TestModel model;
    qd::ManualClock clock;
    RecordingView view;
    qd::ReportFile report;
    std::unique_ptr<qd::TestSession> session;
};

} // namespace fixture
