#include "results/ReportSelection.h"

#include "definition/Cp1251.h"
#include "results/ItemAnalysis.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

using namespace qd;
using qdtest::choice;
using qdtest::modelOf;

namespace {

// Two single-choice questions of 2 points each, key 1.
class ReportSelectionTest : public ::testing::Test
{
protected:
    TestModel model = modelOf({choice(QuestionType::SingleChoice, 4, {1}, 2),
                               choice(QuestionType::SingleChoice, 4, {1}, 2)});

    // A finished report of `student` begun on 7 December 2026 at `hour`,
    // with rows (question, points, answer).
    static ParsedReport report(const char* student, int hour,
                               std::vector<std::tuple<int, double, const char*>> rows, int percent)
    {
        ParsedReport r;
        r.day = 7;
        r.month = 12;
        r.year = 2026;
        r.hour = hour;
        r.headerComplete = true;
        r.finished = true;
        r.subjectName = "D"; // the builder's test
        r.testName = "T";
        r.studentName = toCp1251(student);
        double score = 0.0;
        for (auto& [q, points, answer] : rows) {
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", points);
            r.rows.push_back({q, text, points, answer});
            score += points;
        }
        r.score = score;
        r.maxScore = 4;
        r.percent = percent;
        r.grade = toCp1251(rows.empty() ? "Тест не завершено!" : "Добре");
        return r;
    }

    static SourcedReport sourced(std::string name, ParsedReport r)
    {
        return SourcedReport{std::move(name), std::move(r)};
    }

    static std::vector<std::string> names(const std::vector<NamedReport>& list)
    {
        std::vector<std::string> out;
        for (const NamedReport& r : list) {
            out.push_back(r.name);
        }
        return out;
    }

    std::vector<SourcedReport> exam() const
    {
        std::vector<SourcedReport> out;
        out.push_back(sourced("a1", report("Бондар Т.", 9, {{1, 2, " 1,"}, {2, 0, " 2,"}}, 50)));
        out.push_back(sourced("b1", report("Коваль І.", 9, {{1, 2, " 1,"}, {2, 2, " 1,"}}, 100)));
        out.push_back(sourced("a2", report("Бондар Т.", 11, {{1, 0, " 3,"}, {2, 0, " 2,"}}, 0)));
        out.push_back(sourced("a0", report("Бондар Т.", 8, {{1, 2, " 1,"}, {2, 2, " 1,"}}, 100)));
        // Closed before the first question: not sat, even beside a score.
        out.push_back(sourced("c1", report("Шевчук О.", 10, {}, 0)));
        out.push_back(sourced("b2", report("Коваль І.", 12, {}, 0)));
        return out;
    }
};

} // namespace

TEST_F(ReportSelectionTest, OneAttemptPerStudentByTheRule)
{
    struct Case
    {
        AttemptRule rule;
        std::vector<std::string> counted;
    } cases[] = {
        {AttemptRule::Latest, {"a2", "b1"}},
        {AttemptRule::First, {"a0", "b1"}},
        {AttemptRule::Best, {"a0", "b1"}}, // 100 % against 50 % and 0 %
    };
    for (const Case& c : cases) {
        const ReportSelection s = selectReports(model, exam(), {c.rule, false});
        EXPECT_EQ(names(s.counted), c.counted) << attemptRuleName(c.rule);
        ASSERT_EQ(s.repeated.size(), 1u);
        EXPECT_EQ(s.repeated[0].student, toCp1251("Бондар Т."));
        EXPECT_EQ(s.repeated[0].reports, 3);
        EXPECT_EQ(s.repeated[0].taken, c.counted[0]);
        // Коваль's empty second sitting does not hide the first, and Шевчук
        // is listed apart.
        EXPECT_EQ(names(s.notSat), std::vector<std::string>{"c1"});
        EXPECT_TRUE(s.refused.empty());
    }
    EXPECT_EQ(attemptRuleNamed("best"), AttemptRule::Best);
    EXPECT_EQ(attemptRuleNamed("newest"), std::nullopt);
}

// A not-sat sitting enters no figure: the mean is that of the others, not
// pulled down by a 0 %.
TEST_F(ReportSelectionTest, NotSatEntersNoFigure)
{
    const ReportSelection s = selectReports(model, exam(), {AttemptRule::Latest, false});
    const TestStats stats = analyseReports(model, s.countedReports());
    EXPECT_EQ(stats.students, 2);
    EXPECT_DOUBLE_EQ(*stats.mean, 50.0); // 0 and 100
    EXPECT_EQ(stats.questions[0].sat, 2);
}

TEST_F(ReportSelectionTest, ReportsThatDoNotFitAreRefusedWithTheReason)
{
    ParsedReport other = report("Гнатюк Р.", 9, {{1, 2, " 1,"}}, 50);
    other.testName = "Інший тест";
    struct Case
    {
        ParsedReport report;
        std::string why;
    } cases[] = {
        // Scored with a key that gave 3 points where the test's mark is 2.
        {report("Гнатюк Р.", 9, {{1, 3, " 1,"}}, 75), "question 1: 3.00 points with a mark of 2"},
        {report("Гнатюк Р.", 9, {{3, 1, " 1,"}}, 25), "question 3 is not in the test"},
        {report("Гнатюк Р.", 9, {{1, 0, " 7,"}}, 0),
         "question 1: an option number outside the question"},
        {report("Гнатюк Р.", 9, {{1, 2, " 1,"}}, 150), "a percentage of 150"},
        {other, "a report of another test"},
    };
    for (Case& c : cases) {
        std::vector<SourcedReport> in;
        in.push_back(sourced("odd.txt", c.report));
        const ReportSelection s = selectReports(model, std::move(in), {});
        ASSERT_EQ(s.refused.size(), 1u) << c.why;
        EXPECT_EQ(s.refused[0].name, "odd.txt");
        EXPECT_EQ(s.refused[0].why, c.why);
        EXPECT_TRUE(s.counted.empty());
    }
}

// --rescore: the report made with another key is scored with this one's,
// so its facility cannot pass 100 %; what no key can mend stays refused.
TEST_F(ReportSelectionTest, RescoreScoresAgainstTheTestFirst)
{
    std::vector<SourcedReport> in;
    in.push_back(
        sourced("wrong-key.txt", report("Гнатюк Р.", 9, {{1, 3, " 1,"}, {2, 3, " 2,"}}, 150)));
    in.push_back(sourced("foreign.txt", report("Іваненко О.", 9, {{3, 1, " 1,"}}, 25)));
    const ReportSelection s = selectReports(model, std::move(in), {AttemptRule::Latest, true});
    ASSERT_EQ(s.counted.size(), 1u);
    const ParsedReport& r = s.counted[0].report;
    EXPECT_EQ(r.rows[0].pointsText, "2.00");
    EXPECT_EQ(r.rows[1].pointsText, "0.00");
    EXPECT_EQ(r.percent, 50);
    const TestStats stats = analyseReports(model, s.countedReports());
    EXPECT_DOUBLE_EQ(*stats.questions[0].facility, 100.0);
    ASSERT_EQ(s.refused.size(), 1u);
    EXPECT_EQ(s.refused[0].name, "foreign.txt");
}
