#include "run/Scoring.h"

#include "definition/Cp1251.h"
#include "results/ReportFile.h"
#include "run/Grading.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qd;
using qdtest::choice;
using qdtest::modelOf;

namespace {

struct Scored
{
    float points = -1;
    RunState st;
};

// Scores the only question of a model after `respond` has set the response
// of the session (picks, placed, ordering ...) and with `typed` in the box.
Scored scoreOne(const Question& q, const std::function<void(RunState&)>& respond,
                const std::string& typed = "")
{
    const TestModel m = modelOf({q});
    Scored s;
    s.st.askingOrder = {0};
    s.st.pickCount =
        q.type == QuestionType::SingleChoice || q.type == QuestionType::Ordering ? 1 : 0;
    respond(s.st);
    ReportFile none;
    const Result<float> points = scoreQuestion(m, s.st, toCp1251(typed), none);
    EXPECT_TRUE(points.ok()) << (points.ok() ? "" : points.fault().message);
    s.points = points.ok() ? points.value() : -99;
    return s;
}

void picks(RunState& st, std::initializer_list<int> shown)
{
    st.pickCount = 0;
    for (int p : shown) {
        st.picks[std::size_t(st.pickCount++)] = p;
    }
}

// A type 3 response as the mouse leaves it: the first positions moved
// (red), holding the options shown at those numbers.
void placed(RunState& st, std::initializer_list<int> order)
{
    int j = 0;
    for (int o : order) {
        st.ordering[std::size_t(j)] = o;
        st.placed[std::size_t(j++)] = true;
    }
}

} // namespace

TEST(ScoreQuestion, ChoiceByMouse)
{
    struct Case
    {
        const char* what;
        Question q;
        std::vector<int> shown;
        float points;
    };
    const Case cases[] = {
        {"type 1 right", choice(QuestionType::SingleChoice, 4, {2}, 1), {1}, 1},
        {"type 1 wrong", choice(QuestionType::SingleChoice, 4, {2}, 1), {3}, 0},
        {"type 1 none", choice(QuestionType::SingleChoice, 4, {2}, 1), {-2}, 0},
        {"type 2 both right", choice(QuestionType::MultipleChoice, 4, {1, 3}, 2), {0, 2}, 2},
        {"type 2 one right", choice(QuestionType::MultipleChoice, 4, {1, 3}, 2), {2}, 1},
        {"type 2 right and wrong", choice(QuestionType::MultipleChoice, 4, {1, 3}, 2), {0, 1}, 1},
        {"type 2 all four", choice(QuestionType::MultipleChoice, 4, {1, 3}, 2), {0, 1, 2, 3}, 0},
    };
    for (const Case& c : cases) {
        const Scored s = scoreOne(c.q, [&](RunState& st) {
            st.pickCount = 0;
            for (int p : c.shown) {
                st.picks[std::size_t(st.pickCount++)] = p;
            }
        });
        EXPECT_FLOAT_EQ(s.points, c.points) << c.what;
        const bool right = c.points == float(c.q.mark);
        EXPECT_EQ(s.st.answerColour, right ? colour::statusGreen : colour::statusRed) << c.what;
        EXPECT_EQ(s.st.wrongQuestions, right ? std::vector<int32_t>{} : std::vector<int32_t>{1})
            << c.what;
        EXPECT_FLOAT_EQ(s.st.score, c.points);
        EXPECT_EQ(s.st.maxScore, c.q.mark);
    }
}

TEST(ScoreQuestion, ChoiceByTypedNumbers)
{
    const Question q = choice(QuestionType::MultipleChoice, 0, {1, 3}, 4, PictureMode::PictureOnly);
    const struct
    {
        const char* typed;
        float points;
    } cases[] = {
        {"1,3", 4}, {"3", 2}, {"1, 2, 3", 2}, {"a", 0}, {"", 0}, {"3,1", 4},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(scoreOne(
                            q, [](RunState&) {}, c.typed)
                            .points,
                        c.points)
            << c.typed;
    }
    // The numbers become 0-based picks; an unreadable list leaves none.
    EXPECT_EQ(scoreOne(
                  q, [](RunState&) {}, "1,3")
                  .st.picks[1],
              2);
    EXPECT_LT(scoreOne(
                  q, [](RunState&) {}, "1,x")
                  .st.pickCount,
              0);
}

TEST(ScoreQuestion, ThreeThirdsAreFullyRight)
{
    const Scored s =
        scoreOne(choice(QuestionType::MultipleChoice, 5, {1, 2, 4}, 1), [](RunState& st) {
            picks(st, {0, 1, 3});
        });
    EXPECT_NEAR(s.points, 1.0f, 0.001);
    EXPECT_EQ(s.st.answerColour, colour::statusGreen);
    EXPECT_TRUE(s.st.wrongQuestions.empty());
}

TEST(ScoreQuestion, Ordering)
{
    const Question q = choice(QuestionType::Ordering, 4, {2, 1, 4, 3}, 4);
    Scored s = scoreOne(q, [](RunState& st) { placed(st, {2, 1, 3, 4}); });
    EXPECT_FLOAT_EQ(s.points, 2);
    EXPECT_EQ(s.st.answerText, "2,1,3,4,");

    // Nothing moved: nothing placed, nothing for the report.
    s = scoreOne(q, [](RunState&) {});
    EXPECT_FLOAT_EQ(s.points, 0);
    EXPECT_EQ(s.st.answerText, "");

    // The report shows file numbers: the options were shuffled to 3, 0, 1, 2.
    Question shuffled = q;
    shuffled.displayOrder[0] = 2, shuffled.displayOrder[1] = 0, shuffled.displayOrder[2] = 1,
    shuffled.displayOrder[3] = 3;
    s = scoreOne(shuffled, [](RunState& st) { placed(st, {2, 1}); });
    EXPECT_EQ(s.st.answerText, "1,3,");
    EXPECT_FLOAT_EQ(s.points, 2);

    // Typed: a list keeps the credit of the numbers before an unreadable one.
    const Question typed =
        choice(QuestionType::Ordering, 0, {2, 1, 4, 3}, 4, PictureMode::PictureOnly);
    EXPECT_FLOAT_EQ(scoreOne(
                        typed, [](RunState&) {}, "2,1,4,3")
                        .points,
                    4);
    EXPECT_FLOAT_EQ(scoreOne(
                        typed, [](RunState&) {}, "2,1,x")
                        .points,
                    2);
    EXPECT_FLOAT_EQ(scoreOne(
                        typed, [](RunState&) {}, "")
                        .points,
                    0);
    EXPECT_FLOAT_EQ(scoreOne(
                        typed, [](RunState&) {}, "2,1,4,3,5")
                        .points,
                    3);
}

TEST(ScoreQuestion, OrderingReportTextKeepsWholeEntriesWithinItsCapacity)
{
    // 50 options all moved: "1," .. "50," would take 141 bytes.
    const Question q = choice(QuestionType::Ordering, 50, {1, 2}, 2);
    const Scored s = scoreOne(q, [](RunState& st) {
        for (int j = 0; j < 50; ++j) {
            st.ordering[std::size_t(j)] = j + 1;
            st.placed[std::size_t(j)] = true;
        }
    });
    std::string whole;
    for (int n = 1; n <= 45; ++n) {
        whole += std::to_string(n) + ",";
    }
    EXPECT_EQ(s.st.answerText, whole); // 126 bytes; "46," would pass 127
    // The 48 surplus positions cost more than the two right ones earn.
    EXPECT_FLOAT_EQ(s.points, 0);
}

TEST(ScoreQuestion, TypedText)
{
    const Question q = qdtest::typed(toCp1251("водород"), 3);
    EXPECT_FLOAT_EQ(scoreOne(
                        q, [](RunState&) {}, "Водо род")
                        .points,
                    3);
    EXPECT_FLOAT_EQ(scoreOne(
                        q, [](RunState&) {}, "водород.")
                        .points,
                    0);
    EXPECT_FLOAT_EQ(scoreOne(
                        q, [](RunState&) {}, "")
                        .points,
                    0);
    // The typed text is the report's answer column.
    EXPECT_EQ(scoreOne(
                  q, [](RunState&) {}, "Водо род")
                  .st.answerText,
              toCp1251("Водо род"));
}

TEST(ScoreQuestion, NegativePointsAreRecordedAsZeroAndMarkZeroIsAlwaysRight)
{
    // Three picks for one correct option: -2 + 0.
    Scored s = scoreOne(choice(QuestionType::MultipleChoice, 4, {1}, 1), [](RunState& st) {
        picks(st, {1, 2, 3});
    });
    EXPECT_FLOAT_EQ(s.points, 0);
    EXPECT_EQ(s.st.answerColour, colour::statusRed);
    EXPECT_EQ(s.st.wrongQuestions, std::vector<int32_t>{1});

    s = scoreOne(choice(QuestionType::MultipleChoice, 4, {1}, 0), [](RunState& st) {
        picks(st, {1, 2, 3});
    });
    EXPECT_EQ(s.st.answerColour, colour::statusGreen);
    EXPECT_TRUE(s.st.wrongQuestions.empty());
}

TEST(ScoreQuestion, Faults)
{
    TestModel m = modelOf({qdtest::typed("a", 1)});
    RunState st;
    ReportFile none;
    EXPECT_TRUE(scoreQuestion(m, st, std::string(127, 'a'), none).ok());
    const Result<float> f = scoreQuestion(m, st, std::string(128, 'a'), none);
    ASSERT_FALSE(f.ok());
    EXPECT_EQ(f.fault().message, toCp1251("Переполнение буфера для Edit->Text!"));
    EXPECT_EQ(st.maxScore, 1); // the refused one counted nothing

    // A box that is not shown is not read, whatever it holds.
    m = modelOf({choice(QuestionType::SingleChoice, 2, {1}, 1)});
    st = RunState();
    st.pickCount = 1;
    EXPECT_TRUE(scoreQuestion(m, st, std::string(300, 'a'), none).ok());
    EXPECT_EQ(st.answerText, "");

    m.questions[0].type = QuestionType(7); // no such kind
    const Result<float> t = scoreQuestion(m, st, "", none);
    ASSERT_FALSE(t.ok());
    EXPECT_EQ(t.fault().message, toCp1251("Тип вопроса 1 задан не верно!"));
}

TEST(ScoreQuestion, UnaskedQuestionsCountTheirMarksOnly)
{
    TestModel m = modelOf({choice(QuestionType::SingleChoice, 2, {1}, 2),
                           choice(QuestionType::SingleChoice, 2, {1}, 3),
                           choice(QuestionType::SingleChoice, 2, {1}, 4)});
    RunState st;
    st.askingOrder = {2, 0, 1};
    st.finishedCount = 1;
    skipUnasked(m, st);
    EXPECT_EQ(st.maxScore, 5);
    EXPECT_EQ(st.unaskedCount, 2);
    EXPECT_EQ(st.finishedCount, 3);
    EXPECT_TRUE(st.wrongQuestions.empty());
}

TEST(RunStatePicks, StopAppendingWhenFull)
{
    RunState st;
    st.pickCount = 0;
    for (int i = 0; i < kMaxAnswers; ++i) {
        EXPECT_TRUE(st.appendPick(i));
    }
    EXPECT_FALSE(st.appendPick(99));
    EXPECT_EQ(st.pickCount, kMaxAnswers);
    EXPECT_EQ(st.picks[kMaxAnswers - 1], kMaxAnswers - 1);
}

TEST(ScoreQuestion, HugeMarksSaturateTheTotals)
{
    // Marks up to 2^31 - 1 load; the totals must not overflow.
    const int32_t big = INT32_MAX;
    TestModel m = modelOf({choice(QuestionType::SingleChoice, 2, {1}, big),
                           choice(QuestionType::SingleChoice, 2, {1}, big),
                           choice(QuestionType::SingleChoice, 2, {1}, big)});
    RunState st;
    st.askingOrder = {0, 1, 2};
    ReportFile none;
    for (int q = 0; q < 2; ++q) {
        st.currentQuestion = q;
        st.pickCount = 1;
        st.picks[0] = 0;
        ASSERT_TRUE(scoreQuestion(m, st, "", none).ok());
        st.finishedCount = q + 1;
    }
    EXPECT_EQ(st.maxScore, INT32_MAX);
    skipUnasked(m, st);
    EXPECT_EQ(st.maxScore, INT32_MAX);
    EXPECT_EQ(percentOf(st.score, st.maxScore), 200);
    // A total kept small by a negative mark cannot overflow the percentage.
    EXPECT_EQ(percentOf(1e13f, 1), INT32_MAX);
}

TEST(ScoreQuestion, PointsNeverExceedTheMark)
{
    // Type 2 with a negative mark: the surplus pick's penalty (-unit) would
    // be a bonus. The points stay 0 and the question is not right.
    Scored s = scoreOne(choice(QuestionType::MultipleChoice, 3, {1}, -3), [](RunState& st) {
        picks(st, {1, 2});
    });
    EXPECT_EQ(s.points, 0.0f);
    EXPECT_EQ(s.st.wrongQuestions, std::vector<int32_t>{1});
    // Three thirds of 1 make exactly the mark, not a rounding above it.
    Scored t = scoreOne(choice(QuestionType::MultipleChoice, 3, {1, 2, 3}, 1), [](RunState& st) {
        picks(st, {0, 1, 2});
    });
    EXPECT_LE(t.points, 1.0f);
    EXPECT_TRUE(t.st.wrongQuestions.empty());
}
