#pragma once

#include "RecordingView.h"

#include "definition/AnswerLayout.h"
#include "results/ReportFile.h"
#include "run/ManualClock.h"
#include "run/TestSession.h"

#include <memory>
#include <numeric>
#include <string>
#include <vector>

// Small hand-made tests for the session: options laid on the grid with
// charWidth 8 and lineHeight 16, so an option on line r, columns c1..c2 covers
// x (c1 - 1) * 8 .. c2 * 8 and y (r - 1) * 16 .. r * 16 - 2.
namespace fixture {

constexpr int kCharW = 8;
constexpr int kLineH = 16;

inline qd::AnswerSlot option(int row, int col1, const std::string& text)
{
    qd::AnswerSlot s;
    s.startRow = s.endRow = row;
    s.startColumn = col1;
    s.endColumn = col1 + int(text.size()) + 1;
    s.text = "<" + text + ">";
    qd::rect(s, kCharW, kLineH);
    return s;
}

// Types 1 to 3: options "A", "B", ... one per line from line 2, column 3.
// `correctAnswers` as shown numbers (1-based).
inline qd::Question choice(qd::QuestionType type, int n, std::vector<int> correctAnswers, int mark)
{
    qd::Question q;
    q.type = type;
    q.text = "Q";
    q.optionCount = n;
    for (int i = 0; i < n; ++i) {
        q.options.push_back(option(2 + i, 3, std::string(1, char('A' + i))));
        q.displayOrder[std::size_t(i)] = i;
    }
    q.correctCount = int(correctAnswers.size());
    for (std::size_t i = 0; i < correctAnswers.size(); ++i) {
        q.correctAnswers[i] = correctAnswers[i];
    }
    q.mark = mark;
    return q;
}

// Types 4 and 6: `rows[c]` cells in column c, side by side 12 columns apart;
// cell texts are the column letter and the row ("a0", "b2"); the first
// column's labels are A, B, C, ... Groups empty unless set by the test.
inline qd::Question matching(qd::QuestionType type, std::vector<int> rows, int mark)
{
    qd::Question q;
    q.type = type;
    q.text = "M";
    q.columnCount = int(rows.size());
    q.mark = mark;
    q.columns.resize(rows.size());
    int most = 0;
    for (std::size_t c = 0; c < rows.size(); ++c) {
        most = std::max(most, rows[c]);
        q.columns[c].displayOrder.resize(std::size_t(rows[c]));
        std::iota(q.columns[c].displayOrder.begin(), q.columns[c].displayOrder.end(), 0);
    }
    for (int r = 0; r < most; ++r) {
        for (std::size_t c = 0; c < rows.size(); ++c) {
            if (r < rows[c]) {
                const std::string text = std::string(1, char('a' + c)) + std::to_string(r);
                q.options.push_back(option(2 + r, 3 + 12 * int(c), text));
                q.columns[c].cells.push_back(q.options.back());
            }
        }
    }
    q.optionCount = int(q.options.size());
    q.correctCount = rows.empty() ? 0 : rows[0];
    q.groups.resize(std::size_t(q.correctCount));
    for (int g = 0; g < q.correctCount; ++g) {
        q.groups[std::size_t(g)].label = char('A' + g);
    }
    return q;
}

// Type 5: the answer area lies at the window's bottom edge (768).
inline qd::Question typed(const std::string& expectedText, int mark)
{
    qd::Question q;
    q.type = qd::QuestionType::TypedText;
    q.text = "T";
    q.expectedText = expectedText;
    q.mark = mark;
    qd::AnswerSlot s;
    s.top = s.bottom = 768;
    q.options.push_back(s);
    return q;
}

inline qd::TestModel model(std::vector<qd::Question> questions)
{
    qd::TestModel m;
    m.subjectName = "D";
    m.testName = "T";
    m.questionCount = m.askCount = int(questions.size());
    m.sectionCount = 1;
    m.sectionStarts = {1};
    m.questionSeconds = 100;
    m.testMinutes = 60;
    m.satisfactoryPercent = 60;
    m.goodPercent = 75;
    m.excellentPercent = 90;
    m.excellentSeconds = 300;
    m.goodSeconds = 600;
    m.satisfactorySeconds = 900;
    m.charWidth = kCharW;
    m.lineHeight = kLineH;
    m.questions = std::move(questions);
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
        st.askingOrder.resize(std::size_t(model.questionCount));
        std::iota(st.askingOrder.begin(), st.askingOrder.end(), 0);
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
