#include "results/ItemAnalysis.h"

#include "definition/Cp1251.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qd;
using qdtest::choice;
using qdtest::modelOf;

namespace {

constexpr double kTol = 1e-6;

struct Cell
{
    bool sat;
    double points;
    const char* answer;
};
constexpr Cell no{false, 0, ""};

ParsedReport reportOf(int percent, const char* grade, std::vector<Cell> cells)
{
    ParsedReport r;
    r.finished = true;
    r.percent = percent;
    r.grade = toCp1251(grade);
    for (std::size_t q = 0; q < cells.size(); ++q) {
        if (cells[q].sat) {
            r.rows.push_back({int32_t(q + 1), "", cells[q].points, toCp1251(cells[q].answer)});
        }
    }
    return r;
}

void expectFigure(const std::optional<double>& got, std::optional<double> want,
                  const std::string& what)
{
    ASSERT_EQ(got.has_value(), want.has_value()) << what;
    if (want) {
        EXPECT_NEAR(*got, *want, kTol) << what;
    }
}

// Four students, six questions. Question 5 was drawn for A and C only;
// question 4 everybody got right, question 6 nobody.
//
//        Q1  Q2  Q3  Q4  Q5  Q6   total  percent
//   A     1   1   2   1   0   0     5      83
//   B     1   0   2   1   -   0     4      80
//   C     0   1   0   1   1   0     3      50
//   D     0   0   0   1   -   0     1      20
class ItemAnalysisTest : public ::testing::Test
{
protected:
    TestModel model = modelOf({choice(QuestionType::SingleChoice, 4, {1}, 1),
                               choice(QuestionType::SingleChoice, 4, {2}, 1), qdtest::typed("x", 2),
                               choice(QuestionType::SingleChoice, 2, {1}, 1),
                               choice(QuestionType::SingleChoice, 2, {1}, 1),
                               choice(QuestionType::MultipleChoice, 3, {3}, 2)});
    std::vector<ParsedReport> reports = {
        reportOf(83, "Добре",
                 {{true, 1, " 1,"},
                  {true, 1, " 2,"},
                  {true, 2, "x"},
                  {true, 1, " 1,"},
                  {true, 0, " 2,"},
                  {true, 0, " 1, 2,"}}),
        reportOf(80, "Добре",
                 {{true, 1, " 1,"},
                  {true, 0, " 3,"},
                  {true, 2, "x"},
                  {true, 1, " 1,"},
                  no,
                  {true, 0, " 3,"}}),
        reportOf(50, "Незадовільно",
                 {{true, 0, " 2,"},
                  {true, 1, " 2,"},
                  {true, 0, "y"},
                  {true, 1, " 1,"},
                  {true, 1, " 1,"},
                  {true, 0, ""}}),
        reportOf(20, "Незадовільно",
                 {{true, 0, ""},
                  {true, 0, " 4,"},
                  {true, 0, ""},
                  {true, 1, " 1,"},
                  no,
                  {true, 0, " 1,"}}),
    };

    TestStats analyse(std::size_t students)
    {
        std::vector<const ParsedReport*> p;
        for (std::size_t i = 0; i < students; ++i) {
            p.push_back(&reports[i]);
        }
        return analyseReports(model, p);
    }
};

} // namespace

// Figures worked out by hand from the table (sample variances, n - 1).
TEST_F(ItemAnalysisTest, QuestionFiguresAgainstHandComputedValues)
{
    const TestStats s = analyse(4);
    ASSERT_EQ(s.questions.size(), 6u);
    const struct
    {
        int sat;
        std::optional<double> facility, sd, discrimination, efficiency;
        std::vector<std::string> flags;
    } want[] = {
        // x = 1 1 0 0 against the rest 4 3 3 1: r = 1.5 / sqrt(1 x 4.75).
        {4, 50, std::sqrt(1.0 / 3), 100 * 1.5 / std::sqrt(4.75), 100, {}},
        // x = 1 0 1 0 against 4 4 2 1: r = 0.5 / sqrt(6.75); the largest
        // covariance, sorted alike, is 2.5: efficiency 20.
        {4, 50, std::sqrt(1.0 / 3), 100 * 0.5 / std::sqrt(6.75), 20, {}},
        // x = 2 2 0 0 against 3 2 3 1: r = 1 / sqrt(4 x 2.75), at most 3.
        {4, 50, std::sqrt(4.0 / 3), 100 / std::sqrt(11.0), 100.0 / 3, {}},
        // Everybody right: no spread, nothing to correlate.
        {4, 100, 0, std::nullopt, std::nullopt, {"facility>95%"}},
        // Asked of A and C only: the better student got it wrong.
        {2, 50, std::sqrt(0.5), -100, -100, {"efficiency<15%", "discrimination<0"}},
        {4, 0, 0, std::nullopt, std::nullopt, {"facility<5%"}},
    };
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const QuestionStats& q = s.questions[i];
        const std::string what = "question " + std::to_string(i + 1);
        EXPECT_EQ(q.question, int(i + 1));
        EXPECT_EQ(q.sat, want[i].sat) << what;
        expectFigure(q.facility, want[i].facility, what + " facility");
        expectFigure(q.sd, want[i].sd, what + " sd");
        expectFigure(q.discrimination, want[i].discrimination, what + " discrimination");
        expectFigure(q.efficiency, want[i].efficiency, what + " efficiency");
        EXPECT_EQ(q.flags, want[i].flags) << what;
    }
}

TEST_F(ItemAnalysisTest, TestFiguresAgainstHandComputedValues)
{
    const TestStats s = analyse(4);
    EXPECT_EQ(s.students, 4);
    expectFigure(s.mean, 58.25, "mean");
    expectFigure(s.median, 65, "median");
    expectFigure(s.sd, std::sqrt(2616.75 / 3), "sd");
    // Over Q1-Q4 and Q6 (Q5 was not asked of everybody): item variances
    // 1/3 + 1/3 + 4/3 + 0 + 0, totals 5 4 2 1 with variance 10/3:
    // alpha = 5/4 x (1 - 2 / (10/3)) = 0.5.
    EXPECT_EQ(s.alphaQuestions, 5);
    expectFigure(s.alpha, 0.5, "alpha");
    expectFigure(s.sem, std::sqrt(2616.75 / 3) * std::sqrt(0.5), "sem");
    EXPECT_EQ(s.grades,
              (std::map<std::string, int>{{toCp1251("Добре"), 2}, {toCp1251("Незадовільно"), 2}}));
}

TEST_F(ItemAnalysisTest, OptionsChosen)
{
    const TestStats s = analyse(4);
    EXPECT_TRUE(s.questions[0].choice);
    // Every option of the question, chosen or not; nothing chosen counts nowhere.
    EXPECT_EQ(s.questions[0].options, (std::map<int32_t, int>{{1, 2}, {2, 1}, {3, 0}, {4, 0}}));
    EXPECT_EQ(s.questions[5].options, (std::map<int32_t, int>{{1, 2}, {2, 1}, {3, 1}}));
    EXPECT_FALSE(s.questions[2].choice);
    EXPECT_TRUE(s.questions[2].options.empty());
}

TEST_F(ItemAnalysisTest, OneStudentAndNone)
{
    const TestStats one = analyse(1);
    EXPECT_EQ(one.students, 1);
    expectFigure(one.mean, 83, "mean");
    expectFigure(one.median, 83, "median");
    expectFigure(one.sd, std::nullopt, "sd");
    expectFigure(one.alpha, std::nullopt, "alpha");
    expectFigure(one.sem, std::nullopt, "sem");
    for (const QuestionStats& q : one.questions) {
        EXPECT_EQ(q.sat, 1);
        expectFigure(q.sd, std::nullopt, "sd");
        expectFigure(q.discrimination, std::nullopt, "discrimination");
        expectFigure(q.efficiency, std::nullopt, "efficiency");
    }
    expectFigure(one.questions[0].facility, 100, "facility");

    const TestStats none = analyse(0);
    EXPECT_EQ(none.students, 0);
    expectFigure(none.mean, std::nullopt, "mean");
    expectFigure(none.median, std::nullopt, "median");
    for (const QuestionStats& q : none.questions) {
        EXPECT_EQ(q.sat, 0);
        expectFigure(q.facility, std::nullopt, "facility");
    }
}

// A typed choice question (a picture only) lists what was typed.
TEST_F(ItemAnalysisTest, TypedChoicesListWhatWasTyped)
{
    model.questions[1] = choice(QuestionType::SingleChoice, 4, {2}, 1, PictureMode::PictureOnly);
    const TestStats s = analyse(4);
    EXPECT_EQ(s.questions[1].options, (std::map<int32_t, int>{{2, 2}, {3, 1}, {4, 1}}));
}

TEST_F(ItemAnalysisTest, MisfitReports)
{
    model.subjectName = "d";
    model.testName = "t";
    ParsedReport r = reports[0];
    r.headerComplete = true;
    r.subjectName = "d";
    r.testName = "t";
    EXPECT_EQ(reportMisfit(model, r), std::nullopt);
    r.rows.push_back({7, "", 0, ""});
    EXPECT_EQ(reportMisfit(model, r), "question 7 is not in the test");
    r.rows.back().question = 2;
    EXPECT_EQ(reportMisfit(model, r), "question 2 is there twice");
    r.testName = "other";
    EXPECT_EQ(reportMisfit(model, r), "a report of another test");
    r.headerComplete = false;
    EXPECT_EQ(reportMisfit(model, r), "a report cut short before its first question");
}
