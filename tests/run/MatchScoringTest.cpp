#include "run/MatchScoring.h"

#include "definition/Cp1251.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

using namespace qd;
using qdtest::columns;
using qdtest::modelOf;

namespace {

struct Scored
{
    float points = -99;
    std::string text;
};

// Type 4 by mouse: per shown row of the first column, its shown picks.
Scored matchingPicks(const Question& q, const std::vector<std::vector<int>>& rows)
{
    const TestModel m = modelOf({q});
    RunState st;
    st.matchingPicks.assign(std::size_t(q.columns[0].rowCount()), {});
    for (std::size_t r = 0; r < rows.size(); ++r) {
        st.matchingPicks[r][0] = int32_t(rows[r].size());
        std::copy(rows[r].begin(), rows[r].end(), st.matchingPicks[r].begin() + 1);
    }
    Scored res;
    const qd::Result<float> points = scoreMatching(m, st);
    EXPECT_TRUE(points.ok());
    res.points = points.ok() ? points.value() : -99;
    res.text = st.answerText;
    return res;
}

// Type 6 by mouse: per shown row, the shown cell in each further column.
Scored columnPicks(const Question& q, const std::vector<std::vector<int>>& rows)
{
    const TestModel m = modelOf({q});
    RunState st;
    for (auto& row : st.columnPicks) {
        row.fill(-1);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::copy(rows[r].begin(), rows[r].end(), st.columnPicks[r].begin());
    }
    Scored res;
    const qd::Result<float> points = scoreMatchingColumns(m, st);
    EXPECT_TRUE(points.ok());
    res.points = points.ok() ? points.value() : -99;
    res.text = st.answerText;
    return res;
}

float typed(const Question& q, const std::string& text)
{
    const TestModel m = modelOf({q});
    RunState st;
    st.answerText = text;
    const qd::Result<float> points =
        q.type == QuestionType::Matching ? scoreMatching(m, st) : scoreMatchingColumns(m, st);
    EXPECT_TRUE(points.ok());
    return points.ok() ? points.value() : -99;
}

const Question kType4 =
    columns(QuestionType::Matching, {3, 4}, {{'A', {1, 3}}, {'B', {2}}, {'C', {4}}}, 3);
const Question kType6 =
    columns(QuestionType::MatchingColumns, {2, 2, 2}, {{'A', {2, 1}}, {'B', {1, 0}}}, 2);

} // namespace

TEST(MatchScoring, MouseAnsweredColumns)
{
    const struct
    {
        const char* what;
        Scored got;
        float points;
        const char* text;
    } cases[] = {
        {"type 4 example", matchingPicks(kType4, {{0, 2}, {1, 3}, {}}), 1, " A:1,3, B:2,4,"},
        {"type 4 nothing", matchingPicks(kType4, {}), 0, ""},
        {"type 4 picks in the order chosen", matchingPicks(kType4, {{2, 0}}), 1, " A:3,1,"},
        // One number expected, all four chosen: a unit minus three.
        {"type 4 every cell", matchingPicks(kType4, {{}, {0, 1, 2, 3}}), -2, " B:1,2,3,4,"},
        {"type 6 example", columnPicks(kType6, {{1, 0}, {0, -1}}), 2, " A:2,1, B:1,0,"},
        // An empty row is not answered, yet earns where it expects nothing.
        {"type 6 empty row", columnPicks(kType6, {{1, 0}}), 1.5f, " A:2,1, B:0,0,"},
        {"type 6 too many rows",
         columnPicks(
             columns(QuestionType::MatchingColumns, {3, 2}, {{'A', {1}}, {'B', {}}, {'C', {2}}}, 2),
             {{0}, {0}, {1}}),
         1, " A:1, C:2,"},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(c.got.points, c.points) << c.what;
        EXPECT_EQ(c.got.text, c.text) << c.what;
    }
}

TEST(MatchScoring, ShuffledColumnsScoreAndReportInFileNumbers)
{
    // First column shown as C, A, B; second column reversed.
    Question q = kType4;
    q.columns[0].displayOrder = {2, 0, 1};
    q.columns[1].displayOrder = {3, 2, 1, 0};
    // A (shown row 1) chose file 1 and 3 (shown 3 and 1); B (row 2) file 2
    // and 4 (shown 2 and 0): the example's matching.
    const Scored r = matchingPicks(q, {{}, {3, 1}, {2, 0}});
    EXPECT_FLOAT_EQ(r.points, 1);
    EXPECT_EQ(r.text, " A:1,3, B:2,4,");
}

TEST(MatchScoring, NoGroupWithNumbersScoresZero)
{
    const Question q = columns(QuestionType::Matching, {2, 2}, {{'A', {}}, {'B', {}}}, 2);
    const Scored r = matchingPicks(q, {{0}, {1}});
    EXPECT_FLOAT_EQ(r.points, 0);
    EXPECT_EQ(r.text, "");
}

TEST(MatchScoring, ReportTextStopsAtAWholeEntryWithinItsCapacity)
{
    // A row choosing all 48 cells would report 138 bytes, and B follows.
    std::vector<int> all(48);
    std::iota(all.begin(), all.end(), 0);
    std::vector<int> numbers(30);
    std::iota(numbers.begin(), numbers.end(), 1);
    Question q = columns(QuestionType::Matching, {2, 48}, {{'A', numbers}, {'B', {1}}}, 2);
    const Scored r = matchingPicks(q, {all, {0}});
    std::string want = " A:1,";
    for (int n = 2; n <= 44; ++n) {
        want += std::to_string(n) + ",";
    }
    EXPECT_EQ(r.text, want);
    EXPECT_EQ(r.text.size(), 126u); // "45," would pass 127
    // Scoring still sees every pick: A 1 - 18/30, B 1.
    EXPECT_NEAR(r.points, 1.4f, 1e-5);

    // Type 6: ten columns, 49 rows of nine picks would give 49 * 21 bytes.
    Question q6 = columns(QuestionType::MatchingColumns, {49, 2, 2, 2, 2, 2, 2, 2, 2, 2}, {}, 49);
    for (int g = 0; g < 49; ++g) {
        Group grp;
        grp.label = char('A' + g % 26);
        grp.numberCount = 9;
        grp.numbers.fill(1);
        q6.groups.push_back(grp);
    }
    q6.correctCount = 49;
    std::vector<std::vector<int>> rows(49, std::vector<int>(9, 0));
    const Scored r6 = columnPicks(q6, rows);
    EXPECT_NEAR(r6.points, 49, 0.001);
    EXPECT_EQ(r6.text.substr(0, 21), " A:1,1,1,1,1,1,1,1,1,");
    EXPECT_EQ(r6.text.size(), 126u); // six whole rows
}

TEST(MatchScoring, TypedGroupsAndKeys)
{
    const Question t4 = qdtest::typedGroups({{'A', {1, 3}}, {'B', {2}}}, 2);
    const Question t6 = qdtest::typedKeys({"A21", "B10"}, 2);
    const struct
    {
        const char* what;
        float got;
        float points;
    } cases[] = {
        {"type 4 example", typed(t4, "A1,3;B2,4"), 1},
        {"type 4 right with blanks", typed(t4, " A 1, 3 ; B2"), 2},
        {"type 4 empty", typed(t4, ""), 0},
        {"type 4 colon after the label", typed(t4, "A:1,3;B2"), 1},
        {"type 4 a group too many", typed(t4, "A1,3;B2;C1"), 1},
        {"type 4 a number twice", typed(t4, "A1,1;B2"), 2},
        {"type 6 example", typed(t6, "A21;B11"), 5.0f / 3},
        {"type 6 a character too many", typed(t6, "A210;B10"), 1},
        {"type 6 a label missing", typed(t6, "B10"), 1},
        {"type 6 short key", typed(t6, "A2"), 2.0f / 3},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.got, c.points, 1e-5) << c.what;
    }
}

TEST(MatchScoring, PickOutsideItsColumnIsAFault)
{
    const TestModel m = modelOf({kType4});
    RunState st;
    st.matchingPicks.assign(3, {});
    st.matchingPicks[0][0] = 1;
    st.matchingPicks[0][1] = 4;
    const qd::Result<float> points = scoreMatching(m, st);
    ASSERT_FALSE(points.ok());
    EXPECT_EQ(points.fault().message, toCp1251("Не правильное обращение к функции RestoreNumb()!"));
}
