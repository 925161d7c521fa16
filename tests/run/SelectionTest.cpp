#include "run/Selection.h"

#include "definition/Cp1251.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

using namespace qd;
using qdtest::choice;
using qdtest::columns;
using qdtest::modelOf;

namespace {

// The state after `n` draws from `seed`: what a function that consumed
// exactly n draws leaves behind.
uint64_t stateAfter(uint32_t seed, int n)
{
    TestRandom r;
    r.seed(seed);
    for (int i = 0; i < n; ++i) {
        r.draw31();
    }
    return r.state();
}

// A model of `total` questions in sections starting at `sectionStarts`.
TestModel sectioned(int total, std::vector<int32_t> sectionStarts, int ask,
                    int randomSectionOrder = 0, int randomQuestionOrder = 0)
{
    std::vector<Question> qs(std::size_t(total), choice(QuestionType::SingleChoice, 2, {1}, 1));
    TestModel m = modelOf(qs);
    m.sectionCount = int(sectionStarts.size());
    m.sectionStarts = std::move(sectionStarts);
    m.askCount = ask;
    m.randomSectionOrder = randomSectionOrder;
    m.randomQuestionOrder = randomQuestionOrder;
    return m;
}

} // namespace

TEST(DrawSample, SeedOneGivesTheKnownPermutation)
{
    TestRandom r;
    r.seed(1);
    int32_t a[] = {0, 1, 2, 3, 4};
    ASSERT_TRUE(drawSample(a, 5, 5, r).ok());
    EXPECT_EQ(std::vector<int32_t>(a, a + 5), (std::vector<int32_t>{4, 0, 3, 1, 2}));
    EXPECT_EQ(r.state(), stateAfter(1, 5));
}

TEST(DrawSample, PartialSampleLeavesTheTailAsItWas)
{
    // Seed 19 draws rnd(4) = 2, then rnd(3) = 0.
    TestRandom r;
    r.seed(19);
    int32_t a[] = {10, 20, 30, 40};
    ASSERT_TRUE(drawSample(a, 4, 2, r).ok());
    EXPECT_EQ(std::vector<int32_t>(a, a + 4), (std::vector<int32_t>{30, 10, 30, 40}));
    EXPECT_EQ(r.state(), stateAfter(19, 2));
}

TEST(DrawSample, NothingAskedDrawsNothingAndTooManyIsAFault)
{
    TestRandom r;
    r.seed(3);
    int32_t a[] = {7, 8};
    ASSERT_TRUE(drawSample(a, 2, 0, r).ok());
    EXPECT_EQ(r.state(), stateAfter(3, 0));
    EXPECT_EQ(a[0], 7);

    const Status f = drawSample(a, 2, 3, r);
    ASSERT_FALSE(f.ok());
    EXPECT_EQ(f.fault().message, "nv > n in intermix()!\n");
}

TEST(DrawQuestions, SectionSharesWithoutRandomness)
{
    struct Case
    {
        int total;
        std::vector<int32_t> sectionStarts;
        int ask;
        std::vector<int32_t> askingOrder;
    };
    const Case cases[] = {
        {5, {1}, 5, {0, 1, 2, 3, 4}},
        // Shares 2.0, 2.5, 2.0 round to 2 each: six entries, the sixth never asked.
        {10, {1, 4, 8}, 5, {0, 1, 3, 4, 7, 8}},
        {10, {1, 4, 8}, 4, {0, 3, 4, 7}},
        {10, {1, 4, 8}, 1, {0, 3, 7}},
        // Shares 1, 1, 1 leave one: the first section is raised.
        {9, {1, 4, 7}, 4, {0, 1, 3, 6}},
    };
    for (const Case& c : cases) {
        TestRandom r;
        r.seed(5);
        std::vector<int32_t> askingOrder;
        ASSERT_TRUE(drawQuestions(sectioned(c.total, c.sectionStarts, c.ask), r, askingOrder).ok());
        EXPECT_EQ(askingOrder, c.askingOrder) << c.total << " questions, ask " << c.ask;
        EXPECT_EQ(r.state(), stateAfter(5, 0));
    }
}

TEST(DrawQuestions, DrawsSectionsFirstThenEachBlock)
{
    // Sections 1..3 and 4..5, all asked: seed 1 puts the second section
    // first; each block is then a permutation of its section.
    TestRandom r;
    r.seed(1);
    std::vector<int32_t> askingOrder;
    ASSERT_TRUE(drawQuestions(sectioned(5, {1, 4}, 5, 1, 1), r, askingOrder).ok());
    EXPECT_EQ(askingOrder, (std::vector<int32_t>{3, 4, 0, 2, 1}));
    EXPECT_EQ(r.state(), stateAfter(1, 2 + 2 + 3));

    // Sections of 3, 4, 3 asking 5: 3 section draws, then 2 per block.
    r.seed(7);
    ASSERT_TRUE(drawQuestions(sectioned(10, {1, 4, 8}, 5, 1, 1), r, askingOrder).ok());
    EXPECT_EQ(askingOrder, (std::vector<int32_t>{6, 3, 0, 1, 8, 9}));
    EXPECT_EQ(r.state(), stateAfter(7, 3 + 6));
}

TEST(ShuffleOptions, RenumbersTheCorrectOptionToItsShownPosition)
{
    // Seed 19 shuffles four options to 2, 0, 3, 1: the third option (the
    // correct one) is shown first.
    TestModel m =
        modelOf({choice(QuestionType::SingleChoice, 4, {3}, 1), qdtest::typed("x", 1),
                 choice(QuestionType::MultipleChoice, 3, {1, 3}, 1, PictureMode::PictureOnly)});
    m.randomOptionOrder = 1;
    const std::string third = m.questions[0].options[2].text;
    TestRandom r;
    r.seed(19);
    ASSERT_TRUE(shuffleOptions(m, r).ok());
    const Question& q = m.questions[0];
    EXPECT_EQ(std::vector<int32_t>(q.displayOrder.begin(), q.displayOrder.begin() + 4),
              (std::vector<int32_t>{2, 0, 3, 1}));
    EXPECT_EQ(q.correctAnswers[0], 1);
    EXPECT_EQ(q.options[0].text, third);
    EXPECT_EQ(q.options[0].startRow, 2);
    // Typed questions keep their order and numbers and draw nothing.
    EXPECT_EQ(m.questions[2].correctAnswers[0], 1);
    EXPECT_EQ(m.questions[2].correctAnswers[1], 3);
    EXPECT_EQ(m.questions[2].displayOrder[1], 1);
    EXPECT_EQ(r.state(), stateAfter(19, 4));
}

TEST(ShuffleOptions, ShufflesEveryColumnAndKeepsTheGroups)
{
    TestModel m = modelOf(
        {columns(QuestionType::Matching, {3, 4}, {{'A', {1, 3}}, {'B', {2}}, {'C', {4}}}, 3)});
    m.randomOptionOrder = 1;
    const std::vector<Column> before = m.questions[0].columns;
    TestRandom r;
    r.seed(11);
    ASSERT_TRUE(shuffleOptions(m, r).ok());
    const Question& q = m.questions[0];
    for (std::size_t c = 0; c < q.columns.size(); ++c) {
        const Column& col = q.columns[c];
        std::vector<int32_t> sorted = col.displayOrder;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, before[c].displayOrder); // a permutation of the identity
        for (std::size_t i = 0; i < col.cells.size(); ++i) {
            EXPECT_EQ(col.cells[i].text, before[c].cells[std::size_t(col.displayOrder[i])].text);
            EXPECT_EQ(col.cells[i].startRow, before[c].cells[i].startRow);
        }
    }
    EXPECT_NE(q.columns[1].displayOrder, before[1].displayOrder);
    EXPECT_EQ(q.groups[0].numbers[1], 3);
    EXPECT_EQ(r.state(), stateAfter(11, 3 + 4));

    TestModel off = modelOf({choice(QuestionType::SingleChoice, 4, {3}, 1)});
    r.seed(11);
    ASSERT_TRUE(shuffleOptions(off, r).ok());
    EXPECT_EQ(off.questions[0].displayOrder[0], 0);
    EXPECT_EQ(r.state(), stateAfter(11, 0));
}

TEST(RearrangeSlots, KeepsHeightsAndTheGapsOfTheFile)
{
    // A spans lines 2-3, B line 4, a blank line, C line 6, D line 7.
    AnswerSlot s[4];
    s[0].startRow = 2, s[0].endRow = 3, s[0].startColumn = 1, s[0].endColumn = 6,
    s[0].text = "<a\r\naa>";
    s[1].startRow = s[1].endRow = 4, s[1].startColumn = 1, s[1].endColumn = 3, s[1].text = "<b>";
    s[2].startRow = s[2].endRow = 6, s[2].startColumn = 1, s[2].endColumn = 3, s[2].text = "<c>";
    s[3].startRow = s[3].endRow = 7, s[3].startColumn = 1, s[3].endColumn = 3, s[3].text = "<d>";
    const int32_t perm[] = {2, 0, 3, 1};
    rearrangeSlots(4, s, perm, 8, 16);
    const struct
    {
        const char* text;
        int startRow, endRow;
    } want[] = {{"<c>", 2, 2}, {"<a\r\naa>", 3, 4}, {"<d>", 6, 6}, {"<b>", 7, 7}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s[i].text, want[i].text);
        EXPECT_EQ(s[i].startRow, want[i].startRow) << i;
        EXPECT_EQ(s[i].endRow, want[i].endRow) << i;
        EXPECT_EQ(s[i].top, (want[i].startRow - 1) * 16);
        EXPECT_EQ(s[i].bottom, want[i].endRow * 16 - 2);
    }
}

TEST(ToFileNumbers, MapsShownPositionsToFileNumbers)
{
    const int32_t perm[] = {2, 0, 1};
    int32_t v[] = {0, 2};
    ASSERT_TRUE(toFileNumbers(v, 2, 3, perm).ok());
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 2);

    for (int32_t bad : {-1, 3}) {
        int32_t w[] = {bad};
        const Status f = toFileNumbers(w, 1, 3, perm);
        ASSERT_FALSE(f.ok());
        EXPECT_EQ(f.fault().message, toCp1251("Не правильное обращение к функции RestoreNumb()!"));
    }
}
