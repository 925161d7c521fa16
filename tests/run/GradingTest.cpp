#include "run/Grading.h"

#include "definition/Cp1251.h"
#include "results/ReportFile.h"
#include "run/Scoring.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

using namespace qd;
using qdtest::choice;
using qdtest::modelOf;

TEST(Grading, Percentage)
{
    const struct
    {
        float score;
        int max;
        int percent;
    } cases[] = {{7.5f, 10, 75}, {7.49f, 10, 75}, {7.44f, 10, 74},
                 {3, 0, 0},      {0, 1, 0},       {10, 10, 100}};
    for (const auto& c : cases) {
        EXPECT_EQ(percentOf(c.score, c.max), c.percent) << c.score << " of " << c.max;
    }
}

TEST(Grading, GradeWords)
{
    TestModel pc = modelOf({});   // 60 / 75 / 90
    TestModel time = modelOf({}); // 300 / 600 / 900 seconds
    time.gradeByTime = 1;
    const struct
    {
        const TestModel& m;
        int percent;
        uint32_t seconds;
        bool allEarned;
        const char* grade;
    } cases[] = {
        {pc, 90, 9999, false, "Відмінно"},
        {pc, 89, 0, true, "Добре"},
        {pc, 75, 0, false, "Добре"},
        {pc, 74, 0, false, "Задовільно"},
        {pc, 60, 0, false, "Задовільно"},
        {pc, 59, 0, true, "Незадовільно"},
        {time, 100, 250, true, "Відмінно"},
        {time, 100, 300, true, "Відмінно"},
        {time, 100, 301, true, "Добре"},
        {time, 100, 900, true, "Задовільно"},
        {time, 100, 901, true, "Незадовільно"},
        {time, 80, 10, false, "Незадовільно"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gradeText(c.m, c.percent, c.seconds, c.allEarned), toCp1251(c.grade))
            << c.percent << "% " << c.seconds << " s";
    }
}

namespace {

struct Finished
{
    TestModel model;
    RunState st;
    qdtest::FixedClock clock;
    ReportFile report;
};

} // namespace

TEST(SummarizeResults, TimeAndSortedWrongList)
{
    Finished r;
    r.model = modelOf(std::vector<Question>(12, choice(QuestionType::SingleChoice, 2, {1}, 1)));
    r.st.finishedCount = 12;
    r.st.score = 9;
    r.st.maxScore = 12;
    r.st.wrongQuestions = {12, 3, 7};
    r.st.testStartTick = 4000000000u; // the tick count wraps during the test
    r.clock.tick = r.st.testStartTick + 3725999u;
    const ResultsSummary s = summarizeResults(r.model, r.st, r.clock, r.report);
    EXPECT_EQ(s.points, "9.00");
    EXPECT_EQ(s.maxScore, 12);
    EXPECT_EQ(s.percent, 75);
    EXPECT_EQ(s.minutes, 62u);
    EXPECT_EQ(s.seconds, 5u);
    EXPECT_EQ(s.grade, toCp1251("Добре"));
    EXPECT_FALSE(s.everyPointEarned);
    EXPECT_EQ(s.wrongList, "  3,   7,  12, ");
}

TEST(SummarizeResults, UnfinishedTest)
{
    Finished r;
    r.model = modelOf(std::vector<Question>(10, choice(QuestionType::SingleChoice, 2, {1}, 1)));
    r.st.finishedCount = 3;
    r.st.score = 3;
    r.st.maxScore = 3;
    const ResultsSummary s = summarizeResults(r.model, r.st, r.clock, r.report);
    EXPECT_EQ(s.grade, toCp1251("Тест не завершено!"));
    EXPECT_EQ(s.percent, 100);
    EXPECT_TRUE(s.everyPointEarned);
    EXPECT_EQ(s.wrongList, "");

    // Closed before the first answer: no division by zero.
    Finished none;
    none.model = r.model;
    const ResultsSummary z = summarizeResults(none.model, none.st, none.clock, none.report);
    EXPECT_EQ(z.percent, 0);
    EXPECT_EQ(z.grade, toCp1251("Тест не завершено!"));
}

TEST(SummarizeResults, EveryQuestionRightIsEveryPointEvenWhenTheFloatsFallShort)
{
    // Twelve correct options worth 1/12 each: each question's float sum is
    // 0.99999988, yet it is fully right, and so is the whole test.
    const Question twelve =
        choice(QuestionType::MultipleChoice, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 1);
    Finished r;
    r.model = modelOf({twelve, twelve});
    r.model.gradeByTime = 1;
    r.st.askingOrder = {0, 1};
    for (int q = 0; q < 2; ++q) {
        r.st.currentQuestion = q;
        r.st.pickCount = 12;
        for (int i = 0; i < 12; ++i) {
            r.st.picks[std::size_t(i)] = i;
        }
        ASSERT_TRUE(scoreQuestion(r.model, r.st, "", r.report).ok());
    }
    r.st.finishedCount = 2;
    ASSERT_LT(r.st.score, 2.0f);
    ASSERT_EQ(r.st.maxScore, 2);
    ASSERT_TRUE(r.st.wrongQuestions.empty());

    r.clock.tick = 250000;
    const ResultsSummary s = summarizeResults(r.model, r.st, r.clock, r.report);
    EXPECT_EQ(s.grade, toCp1251("Відмінно"));
    EXPECT_TRUE(s.everyPointEarned);
    EXPECT_EQ(s.wrongList, "");
    EXPECT_EQ(s.percent, 100);
}

TEST(SummarizeResults, QuestionsLeftByTheTimeLimitAreNotEarned)
{
    Finished r;
    r.model = modelOf(std::vector<Question>(3, choice(QuestionType::SingleChoice, 2, {1}, 1)));
    r.model.gradeByTime = 1;
    r.st.askingOrder = {0, 1, 2};
    r.st.pickCount = 1;
    r.st.picks[0] = 0;
    ASSERT_TRUE(scoreQuestion(r.model, r.st, "", r.report).ok());
    r.st.finishedCount = 1;
    skipUnasked(r.model, r.st);
    const ResultsSummary s = summarizeResults(r.model, r.st, r.clock, r.report);
    EXPECT_EQ(s.grade, toCp1251("Незадовільно")); // graded, not "unfinished"
    EXPECT_EQ(s.maxScore, 3);
    EXPECT_EQ(s.percent, 33);
    EXPECT_FALSE(s.everyPointEarned);
    EXPECT_EQ(s.wrongList, "");
}
