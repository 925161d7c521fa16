#pragma once

// Small builders of test models for the run engine's tests: questions are
// filled in code the way the loader leaves them (identity orders, one line
// per option), so that a test shows only what matters to it.

#include "definition/AnswerLayout.h"
#include "definition/TestModel.h"
#include "run/Clock.h"

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <string>
#include <vector>

namespace qdtest {

constexpr int kCharW = 8;
constexpr int kLineH = 16;

// An option on one line of the grid: with charWidth 8 and lineHeight 16, an
// option on line r, columns c1..c2 covers x (c1 - 1) * 8 .. c2 * 8 and
// y (r - 1) * 16 .. r * 16 - 2.
inline qd::AnswerSlot slot(int row, int col1, const std::string& text)
{
    qd::AnswerSlot s;
    s.startRow = s.endRow = row;
    s.startColumn = col1;
    s.text = "<" + text + ">";
    s.endColumn = col1 + int(s.text.size()) - 1;
    qd::rect(s, kCharW, kLineH);
    return s;
}

// Types 1 to 3: options "A", "B", ... one per line from line 2, column 3;
// correctAnswers in file numbers (1-based; the display order is the file's).
inline qd::Question choice(qd::QuestionType type, int optionCount,
                           std::initializer_list<int> correctAnswers, int mark,
                           qd::PictureMode picture = qd::PictureMode::None)
{
    qd::Question q;
    q.type = type;
    q.picture = picture;
    q.text = "Q";
    q.mark = mark;
    q.optionCount = picture == qd::PictureMode::PictureOnly ? 0 : optionCount;
    for (int i = 0; i < q.optionCount; ++i) {
        q.options.push_back(slot(2 + i, 3, std::string(1, char('A' + i))));
    }
    q.correctCount = int(correctAnswers.size());
    std::copy(correctAnswers.begin(), correctAnswers.end(), q.correctAnswers.begin());
    std::iota(q.displayOrder.begin(), q.displayOrder.end(), 0);
    return q;
}

// Type 5 with its expected text (already without blanks, lowered); the
// answer area lies at the window's bottom edge (768).
inline qd::Question typed(const std::string& expectedText, int mark)
{
    qd::Question q;
    q.type = qd::QuestionType::TypedText;
    q.text = "T";
    q.mark = mark;
    q.expectedText = expectedText;
    qd::AnswerSlot s;
    s.top = s.bottom = 768;
    q.options.push_back(s);
    return q;
}

struct GroupSpec
{
    char label;
    std::vector<int> numbers;
};

// Types 4 and 6 answered with the mouse: columns of the given heights side
// by side, 12 grid columns apart from column 3; cell texts are the column's
// letter and the row ("a0", "b2"); `groups` in file order.
inline qd::Question columns(qd::QuestionType type, std::initializer_list<int> nrows,
                            std::initializer_list<GroupSpec> groups, int mark)
{
    qd::Question q;
    q.type = type;
    q.text = "M";
    q.mark = mark;
    const std::vector<int> heights(nrows);
    q.columns.resize(heights.size());
    const int most = heights.empty() ? 0 : *std::max_element(heights.begin(), heights.end());
    // Options in the order the parser reads them: line by line.
    for (int r = 0; r < most; ++r) {
        for (std::size_t c = 0; c < heights.size(); ++c) {
            if (r < heights[c]) {
                const std::string cell = std::string(1, char('a' + c)) + std::to_string(r);
                q.options.push_back(slot(2 + r, 3 + 12 * int(c), cell));
                q.columns[c].cells.push_back(q.options.back());
            }
        }
    }
    for (std::size_t c = 0; c < heights.size(); ++c) {
        q.columns[c].displayOrder.resize(std::size_t(heights[c]));
        std::iota(q.columns[c].displayOrder.begin(), q.columns[c].displayOrder.end(), 0);
    }
    q.columnCount = int(heights.size());
    q.optionCount = int(q.options.size());
    for (const GroupSpec& g : groups) {
        qd::Group grp;
        grp.label = g.label;
        grp.numberCount = int(g.numbers.size());
        std::copy(g.numbers.begin(), g.numbers.end(), grp.numbers.begin());
        q.groups.push_back(grp);
    }
    q.correctCount = int(q.groups.size());
    return q;
}

// The same with one unnumbered group (A, B, ...) per cell of the first
// column: enough for tests of what the mouse does, not of the score.
inline qd::Question columns(qd::QuestionType type, std::initializer_list<int> nrows, int mark)
{
    qd::Question q = columns(type, nrows, {}, mark);
    const int rows = nrows.size() == 0 ? 0 : *nrows.begin();
    for (int g = 0; g < rows; ++g) {
        qd::Group grp;
        grp.label = char('A' + g);
        q.groups.push_back(grp);
    }
    q.correctCount = rows;
    return q;
}

// A typed type 4: groups only.
inline qd::Question typedGroups(std::initializer_list<GroupSpec> groups, int mark)
{
    qd::Question q = columns(qd::QuestionType::Matching, {}, groups, mark);
    q.picture = qd::PictureMode::PictureOnly;
    q.optionCount = 0;
    q.options.clear();
    return q;
}

// A typed type 6: keys of equal length.
inline qd::Question typedKeys(std::initializer_list<std::string> keys, int mark)
{
    qd::Question q;
    q.type = qd::QuestionType::MatchingColumns;
    q.picture = qd::PictureMode::PictureOnly;
    q.mark = mark;
    q.acceptedStrings.assign(keys.begin(), keys.end());
    q.correctCount = int(q.acceptedStrings.size());
    q.columnCount = int(q.acceptedStrings.front().size());
    return q;
}

// One section, every question asked in file order, 100 seconds a question
// within 60 minutes, percentage grading 60/75/90. A test that depends on a
// time limit sets it itself.
inline qd::TestModel modelOf(std::vector<qd::Question> questions)
{
    qd::TestModel m;
    m.subjectName = "D";
    m.testName = "T";
    m.questions = std::move(questions);
    m.questionCount = int(m.questions.size());
    m.askCount = m.questionCount;
    m.sectionCount = 1;
    m.sectionStarts = {1};
    m.charWidth = kCharW;
    m.lineHeight = kLineH;
    m.questionSeconds = 100;
    m.testMinutes = 60;
    m.satisfactoryPercent = 60;
    m.goodPercent = 75;
    m.excellentPercent = 90;
    m.excellentSeconds = 300;
    m.goodSeconds = 600;
    m.satisfactorySeconds = 900;
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
