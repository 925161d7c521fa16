#include "run/Selection.h"

#include "definition/Cp1251.h"
#include "../support/ModelBuilder.h"

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

// A model of `total` questions in sections starting at `nqr`.
TestModel sectioned(int total, std::vector<int32_t> nqr, int ask, int rnd_sect = 0, int rnd_quest = 0)
{
    std::vector<Question> qs(std::size_t(total), choice(1, 2, {1}, 1));
    TestModel m = modelOf(qs);
    m.nsect = int(nqr.size());
    m.nqr = std::move(nqr);
    m.nq_ask = ask;
    m.rnd_sect = rnd_sect;
    m.rnd_quest = rnd_quest;
    return m;
}

} // namespace

TEST(Intermix, SeedOneGivesTheKnownPermutation)
{
    TestRandom r;
    r.seed(1);
    int32_t a[] = {0, 1, 2, 3, 4};
    ASSERT_FALSE(drawSample(a, 5, 5, r));
    EXPECT_EQ(std::vector<int32_t>(a, a + 5), (std::vector<int32_t>{4, 0, 3, 1, 2}));
    EXPECT_EQ(r.state(), stateAfter(1, 5));
}

TEST(Intermix, PartialSampleLeavesTheTailAsItWas)
{
    // Seed 19 draws rnd(4) = 2, then rnd(3) = 0.
    TestRandom r;
    r.seed(19);
    int32_t a[] = {10, 20, 30, 40};
    ASSERT_FALSE(drawSample(a, 4, 2, r));
    EXPECT_EQ(std::vector<int32_t>(a, a + 4), (std::vector<int32_t>{30, 10, 30, 40}));
    EXPECT_EQ(r.state(), stateAfter(19, 2));
}

TEST(Intermix, NothingAskedDrawsNothingAndTooManyIsAFault)
{
    TestRandom r;
    r.seed(3);
    int32_t a[] = {7, 8};
    ASSERT_FALSE(drawSample(a, 2, 0, r));
    EXPECT_EQ(r.state(), stateAfter(3, 0));
    EXPECT_EQ(a[0], 7);

    const Status f = drawSample(a, 2, 3, r);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message, "nv > n in intermix()!\n");
}

TEST(RandomQ, SectionSharesWithoutRandomness)
{
    struct Case
    {
        int total;
        std::vector<int32_t> nqr;
        int ask;
        std::vector<int32_t> i_r;
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
        std::vector<int32_t> i_r;
        ASSERT_FALSE(drawQuestions(sectioned(c.total, c.nqr, c.ask), r, i_r));
        EXPECT_EQ(i_r, c.i_r) << c.total << " questions, ask " << c.ask;
        EXPECT_EQ(r.state(), stateAfter(5, 0));
    }
}

TEST(RandomQ, DrawsSectionsFirstThenEachBlock)
{
    // Sections 1..3 and 4..5, all asked: seed 1 puts the second section
    // first; each block is then a permutation of its section.
    TestRandom r;
    r.seed(1);
    std::vector<int32_t> i_r;
    ASSERT_FALSE(drawQuestions(sectioned(5, {1, 4}, 5, 1, 1), r, i_r));
    EXPECT_EQ(i_r, (std::vector<int32_t>{3, 4, 0, 2, 1}));
    EXPECT_EQ(r.state(), stateAfter(1, 2 + 2 + 3));

    // Sections of 3, 4, 3 asking 5: 3 section draws, then 2 per block.
    r.seed(7);
    ASSERT_FALSE(drawQuestions(sectioned(10, {1, 4, 8}, 5, 1, 1), r, i_r));
    EXPECT_EQ(i_r, (std::vector<int32_t>{6, 3, 0, 1, 8, 9}));
    EXPECT_EQ(r.state(), stateAfter(7, 3 + 6));
}

TEST(RandomAns, RenumbersTheCorrectOptionToItsShownPosition)
{
    // Seed 19 shuffles four options to 2, 0, 3, 1: the third option (the
    // correct one) is shown first.
    TestModel m = modelOf({choice(1, 4, {3}, 1), qdtest::text("x", 1), choice(2, 3, {1, 3}, 1, 2)});
    m.rnd_ans = 1;
    const std::string third = m.stq[0].ans[2].str;
    TestRandom r;
    r.seed(19);
    ASSERT_FALSE(shuffleOptions(m, r));
    const Question& q = m.stq[0];
    EXPECT_EQ(std::vector<int32_t>(q.ord.begin(), q.ord.begin() + 4), (std::vector<int32_t>{2, 0, 3, 1}));
    EXPECT_EQ(q.rans[0], 1);
    EXPECT_EQ(q.ans[0].str, third);
    EXPECT_EQ(q.ans[0].row1, 2);
    // Typed questions keep their order and numbers and draw nothing.
    EXPECT_EQ(m.stq[2].rans[0], 1);
    EXPECT_EQ(m.stq[2].rans[1], 3);
    EXPECT_EQ(m.stq[2].ord[1], 1);
    EXPECT_EQ(r.state(), stateAfter(19, 4));
}

TEST(RandomAns, ShufflesEveryColumnAndKeepsTheGroups)
{
    TestModel m = modelOf({columns(4, {3, 4}, {{'A', {1, 3}}, {'B', {2}}, {'C', {4}}}, 3)});
    m.rnd_ans = 1;
    const std::vector<Column> before = m.stq[0].col;
    TestRandom r;
    r.seed(11);
    ASSERT_FALSE(shuffleOptions(m, r));
    const Question& q = m.stq[0];
    for (std::size_t c = 0; c < q.col.size(); ++c) {
        const Column& col = q.col[c];
        std::vector<int32_t> sorted = col.cord;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, before[c].cord); // a permutation of the identity
        for (std::size_t i = 0; i < col.cell.size(); ++i) {
            EXPECT_EQ(col.cell[i].str, before[c].cell[std::size_t(col.cord[i])].str);
            EXPECT_EQ(col.cell[i].row1, before[c].cell[i].row1);
        }
    }
    EXPECT_NE(q.col[1].cord, before[1].cord);
    EXPECT_EQ(q.grp[0].numbers[1], 3);
    EXPECT_EQ(r.state(), stateAfter(11, 3 + 4));

    TestModel off = modelOf({choice(1, 4, {3}, 1)});
    r.seed(11);
    ASSERT_FALSE(shuffleOptions(off, r));
    EXPECT_EQ(off.stq[0].ord[0], 0);
    EXPECT_EQ(r.state(), stateAfter(11, 0));
}

TEST(ItermixAns, KeepsHeightsAndTheGapsOfTheFile)
{
    // A spans lines 2-3, B line 4, a blank line, C line 6, D line 7.
    AnswerSlot s[4];
    s[0].row1 = 2, s[0].row2 = 3, s[0].col1 = 1, s[0].col2 = 6, s[0].str = "<a\r\naa>";
    s[1].row1 = s[1].row2 = 4, s[1].col1 = 1, s[1].col2 = 3, s[1].str = "<b>";
    s[2].row1 = s[2].row2 = 6, s[2].col1 = 1, s[2].col2 = 3, s[2].str = "<c>";
    s[3].row1 = s[3].row2 = 7, s[3].col1 = 1, s[3].col2 = 3, s[3].str = "<d>";
    const int32_t perm[] = {2, 0, 3, 1};
    itermix_ans(4, s, perm, 8, 16);
    const struct
    {
        const char* str;
        int row1, row2;
    } want[] = {{"<c>", 2, 2}, {"<a\r\naa>", 3, 4}, {"<d>", 6, 6}, {"<b>", 7, 7}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(s[i].str, want[i].str);
        EXPECT_EQ(s[i].row1, want[i].row1) << i;
        EXPECT_EQ(s[i].row2, want[i].row2) << i;
        EXPECT_EQ(s[i].top, (want[i].row1 - 1) * 16);
        EXPECT_EQ(s[i].bottom, want[i].row2 * 16 - 2);
    }
}

TEST(RestoreNumb, MapsShownPositionsToFileNumbers)
{
    const int32_t perm[] = {2, 0, 1};
    int32_t v[] = {0, 2};
    ASSERT_FALSE(RestoreNumb(v, 2, 3, perm));
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 2);

    for (int32_t bad : {-1, 3}) {
        int32_t w[] = {bad};
        const Status f = RestoreNumb(w, 1, 3, perm);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->message, toCp1251("Не правильное обращение к функции RestoreNumb()!"));
    }
}
