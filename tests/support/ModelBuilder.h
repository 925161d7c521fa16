#pragma once

// Small builders of test models for the run engine's tests: questions are
// filled in code the way the loader leaves them (identity orders, one line
// per option), so that a test shows only what matters to it.

#include "definition/AnswerLayout.h"
#include "definition/TestModel.h"
#include "run/Clock.h"

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
    s.startRow = s.endRow = row;
    s.startColumn = col1;
    s.text = "<" + text + ">";
    s.endColumn = col1 + int(s.text.size()) - 1;
    qd::rect(s, kCharW, kLineH);
    return s;
}

// Types 1 to 3: `optionCount` options on lines 2, 3, ...; correctAnswers in
// file numbers.
inline qd::Question choice(qd::QuestionType type, int optionCount,
                           std::initializer_list<int> correctAnswers, int mark,
                           qd::PictureMode picture = qd::PictureMode::None)
{
    qd::Question q;
    q.type = type;
    q.picture = picture;
    q.mark = mark;
    q.optionCount = picture == qd::PictureMode::PictureOnly ? 0 : optionCount;
    for (int i = 0; i < q.optionCount; ++i) {
        q.options.push_back(slot(2 + i, 1, "option " + std::to_string(i + 1)));
    }
    q.correctCount = int(correctAnswers.size());
    std::copy(correctAnswers.begin(), correctAnswers.end(), q.correctAnswers.begin());
    std::iota(q.displayOrder.begin(), q.displayOrder.end(), 0);
    return q;
}

// Type 5 with its expected text (already without blanks, lowered).
inline qd::Question text(const std::string& expectedText, int mark)
{
    qd::Question q;
    q.type = qd::QuestionType::TypedText;
    q.mark = mark;
    q.expectedText = expectedText;
    q.options.resize(1);
    return q;
}

struct GroupSpec
{
    char label;
    std::vector<int> numbers;
};

// Types 4 and 6 answered with the mouse: columns of the given heights side
// by side, one group per row of the first column (file order).
inline qd::Question columns(qd::QuestionType type, std::initializer_list<int> nrows,
                            std::initializer_list<GroupSpec> groups, int mark)
{
    qd::Question q;
    q.type = type;
    q.mark = mark;
    int c = 0;
    for (int n : nrows) {
        qd::Column col;
        for (int r = 0; r < n; ++r) {
            col.cells.push_back(slot(2 + r, 1 + 12 * c, std::string(1, char('a' + c)) + std::to_string(r + 1)));
            q.options.push_back(col.cells.back());
        }
        col.displayOrder.resize(std::size_t(n));
        std::iota(col.displayOrder.begin(), col.displayOrder.end(), 0);
        q.columns.push_back(col);
        ++c;
    }
    q.columnCount = c;
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

// One section, every question asked, percentage grading 60/75/90.
inline qd::TestModel modelOf(std::vector<qd::Question> questions)
{
    qd::TestModel m;
    m.questions = std::move(questions);
    m.questionCount = int(m.questions.size());
    m.askCount = m.questionCount;
    m.sectionCount = 1;
    m.sectionStarts = {1};
    m.charWidth = kCharW;
    m.lineHeight = kLineH;
    m.questionSeconds = 60;
    m.testMinutes = 10;
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
