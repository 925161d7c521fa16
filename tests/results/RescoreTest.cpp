#include "results/Rescore.h"

#include "definition/Cp1251.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

using namespace qd;
using qdtest::choice;
using qdtest::modelOf;

namespace {

// Three questions, 2 + 2 + 1 points: single choice (key 1), multiple
// choice (keys 1 and 3), single choice typed from a picture (key 2).
class RescoreTest : public ::testing::Test
{
protected:
    TestModel model =
        modelOf({choice(QuestionType::SingleChoice, 4, {1}, 2),
                 choice(QuestionType::MultipleChoice, 4, {1, 3}, 2),
                 choice(QuestionType::SingleChoice, 4, {2}, 1, PictureMode::PictureOnly)});

    static ParsedReport report(std::vector<std::pair<int, const char*>> rows, int32_t max,
                               const char* grade, int seconds = 100)
    {
        ParsedReport r;
        r.headerComplete = true;
        r.finished = true;
        for (auto& [q, answer] : rows) {
            r.rows.push_back({q, "0.00", 0.0, answer});
        }
        r.maxScore = max;
        r.grade = toCp1251(grade);
        r.minutes = seconds / 60;
        r.seconds = seconds % 60;
        return r;
    }

    RescoredReport rescore(const ParsedReport& r)
    {
        auto result = rescoreReport(model, r);
        if (!result.ok()) {
            ADD_FAILURE() << result.fault().utf8();
            return {};
        }
        return result.value();
    }
};

} // namespace

TEST_F(RescoreTest, EveryAnswerIsScoredAgain)
{
    const RescoredReport r =
        rescore(report({{2, " 3, 2,"}, {1, " 1,"}, {3, " 2,"}}, 5, "Незадовільно"));
    // One right and one wrong pick of question 2: 1 + 1 - 1.
    EXPECT_EQ(r.points, (std::vector<float>{1.0f, 2.0f, 1.0f}));
    EXPECT_EQ(r.scoreText, "4.00");
    EXPECT_EQ(r.maxScore, 5);
    EXPECT_EQ(r.percent, 80);
    EXPECT_EQ(r.grade, toCp1251("Добре"));
    EXPECT_EQ(r.wrong, (std::vector<int32_t>{2}));
}

// The test time ran out after one question: the questions it left unasked
// count with their marks, and the run is not a full score.
TEST_F(RescoreTest, QuestionsLeftByTheTimeLimitCountWithTheirMarks)
{
    model.gradeByTime = 1;
    const RescoredReport r = rescore(report({{1, " 1,"}}, 5, "Незадовільно", 250));
    EXPECT_EQ(r.maxScore, 5);
    EXPECT_EQ(r.percent, 40);
    EXPECT_EQ(r.grade, toCp1251("Незадовільно")); // full marks on what was asked is not all

    // Asked in full and quickly, graded by time.
    const RescoredReport all =
        rescore(report({{1, " 1,"}, {2, " 1, 3,"}, {3, " 2,"}}, 5, "Незадовільно", 250));
    EXPECT_EQ(all.grade, toCp1251("Відмінно"));
    const RescoredReport slow =
        rescore(report({{1, " 1,"}, {2, " 1, 3,"}, {3, " 2,"}}, 5, "Незадовільно", 301));
    EXPECT_EQ(slow.grade, toCp1251("Добре"));
}

// When only some questions are asked, the report's maximum tells the marks
// of those the time limit left.
TEST_F(RescoreTest, LeftQuestionsOfADrawComeFromTheReportsMaximum)
{
    model.askCount = 2;
    const RescoredReport r = rescore(report({{3, " 2,"}}, 3, "Незадовільно"));
    EXPECT_EQ(r.maxScore, 3);
    EXPECT_EQ(r.percent, 33);
}

TEST_F(RescoreTest, AnUnfinishedTestStaysUnfinished)
{
    const RescoredReport closed = rescore(report({{1, " 1,"}}, 2, "Тест не завершено!"));
    EXPECT_EQ(closed.maxScore, 2);
    EXPECT_EQ(closed.percent, 100);
    EXPECT_EQ(closed.grade, toCp1251("Тест не завершено!"));

    ParsedReport cut = report({{1, " 2,"}}, 0, "");
    cut.finished = false;
    const RescoredReport r = rescore(cut);
    EXPECT_EQ(r.grade, toCp1251("Тест не завершено!"));
    EXPECT_FALSE(rescoreChanges(cut, r)); // 0.00 before and after
    cut.rows[0].answer = " 1,";
    EXPECT_TRUE(rescoreChanges(cut, rescore(cut)));
}

TEST_F(RescoreTest, AnAnswerThatDoesNotFitTheTestIsAFault)
{
    const struct
    {
        int question;
        const char* answer;
        const char* message;
    } cases[] = {
        {4, " 1,", "question 4: not in the test"},
        {1, " 5,", "question 1: an option number outside the question"},
        {1, " 1, 2,", "question 1: the answer is not a list of option numbers"},
        {2, "Київ", "question 2: the answer is not a list of option numbers"},
    };
    for (const auto& c : cases) {
        auto result = rescoreReport(model, report({{c.question, c.answer}}, 2, "Незадовільно"));
        ASSERT_TRUE(std::holds_alternative<Fault>(result)) << c.answer;
        EXPECT_EQ(std::get<Fault>(result).message, c.message);
    }
}

TEST_F(RescoreTest, TheCorrectedCopyCarriesTheNewPointsAndTotals)
{
    model.askCount = 1;
    ParsedReport r = report({{1, " 1,"}}, 2, "Незадовільно", 3725);
    r.header = "HEADER\n";
    r.rows[0].pointsText = "0.00";
    const RescoredReport fixed = rescore(r);
    EXPECT_TRUE(rescoreChanges(r, fixed));
    EXPECT_EQ(correctedReport(r, fixed),
              "HEADER\n" + toCp1251("     1          2.00        1,\n"
                                    "Всього балів: 2.00 з 2 можливих\n"
                                    " або 100 відсотків за час 62 хвилин 5 секунд.\n"
                                    "Оцінка: Відмінно\n"));
}
