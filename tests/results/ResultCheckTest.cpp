#include "results/ResultCheck.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "results/Rescore.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <string>

using namespace qd;

namespace {

// The demo test (27 points, 12 questions asked) and a real report of it,
// scored on a computer whose key had a slip (question 7): 26.00 of 27, 96 %.
// `honest` is the same run as the right key scores it: 27.00 of 27, 100 %,
// "Відмінно".
class ResultCheckTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        auto loaded = loadTestDir(std::string(QUIZDESK_SOURCE_DIR) + "/examples/demo",
                                  WindowGeometry{}, [](int, bool) { return 10; });
        ASSERT_TRUE(loaded.ok()) << fromCp1251(loaded.fault().message);
        demo = std::move(loaded).value().release();
        QFile f(QString::fromUtf8(QUIZDESK_SOURCE_DIR
                                  "/examples/analysis/reports/БондаренкоОленаВасил.txt"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        slipped = new std::string(b.constData(), std::size_t(b.size()));
        const auto parsed = readReport(*slipped);
        ASSERT_TRUE(parsed.ok());
        const auto rescored = rescoreReport(*demo, parsed.value());
        ASSERT_TRUE(rescored.ok());
        report = new std::string(correctedReport(parsed.value(), rescored.value()));
    }

    // The honest report with `from` replaced by `to`, or cut before `from`
    // when `to` is null.
    static std::string edited(std::string_view from, const char* to)
    {
        std::string r = *report;
        const std::string a = toCp1251(std::string(from));
        const auto at = r.find(a);
        EXPECT_NE(at, std::string::npos) << from;
        if (at == std::string::npos) {
            return r;
        }
        return to ? r.replace(at, a.size(), toCp1251(to)) : r.substr(0, at);
    }

    static ClaimedFinal claim(float percent = 100.0f, const char* grade = "Відмінно",
                              int answered = 12)
    {
        return ClaimedFinal{answered, percent, toCp1251(grade)};
    }

    static std::vector<std::string> kinds(const FinalCheck& c)
    {
        std::vector<std::string> out;
        for (const Finding& f : c.findings) {
            out.push_back(f.kind);
        }
        return out;
    }

    static inline TestModel* demo = nullptr;
    static inline std::string* report = nullptr;
    static inline std::string* slipped = nullptr;
    std::vector<const TestModel*> tests{demo};
};

using Kinds = std::vector<std::string>;

} // namespace

TEST_F(ResultCheckTest, AnHonestReportIsConfirmed)
{
    const FinalCheck c = checkFinal(tests, claim(), *report);
    EXPECT_TRUE(c.findings.empty()) << c.findings.front().detail;
    EXPECT_EQ(c.verified, Verified::Yes);
    EXPECT_TRUE(c.scored);
    EXPECT_EQ(c.percent, 100);
    EXPECT_EQ(c.maxScore, 27);
    EXPECT_DOUBLE_EQ(c.score, 27.0);
    EXPECT_TRUE(c.rowsFit);
    // Without a test the same report is taken as it stands.
    const FinalCheck plain = checkFinal({}, claim(), *report);
    EXPECT_TRUE(plain.findings.empty());
    EXPECT_EQ(plain.verified, Verified::NotChecked);
    EXPECT_EQ(plain.percent, 100);
}

// The real report, sent as its computer scored it: the server's key decides.
TEST_F(ResultCheckTest, AReportScoredWithAnotherKeyIsScoredAgain)
{
    const FinalCheck c = checkFinal(tests, claim(96.0f), *slipped);
    EXPECT_EQ(kinds(c), Kinds{"score-mismatch"});
    EXPECT_EQ(c.percent, 100);
    EXPECT_EQ(c.findings[0].detail, "the client: 96% Відмінно (26.00 of 27 points); the server: "
                                    "100% Відмінно (27.00 of 27 points); scored otherwise: "
                                    "question(s) 7");
}

// A report whose every figure says 100 % while one answer is wrong: the
// server's own scoring decides.
TEST_F(ResultCheckTest, AForgedFullScoreIsScoredFromTheAnswers)
{
    const std::string forged =
        edited("    10          1.00        2,", "    10          1.00        1,");
    const FinalCheck c = checkFinal(tests, claim(), forged);
    EXPECT_EQ(kinds(c), Kinds{"score-mismatch"});
    EXPECT_EQ(c.verified, Verified::Mismatch);
    EXPECT_EQ(c.percent, 96);
    EXPECT_EQ(c.grade, toCp1251("Відмінно"));
    EXPECT_NE(c.findings[0].detail.find("the client: 100% Відмінно (27.00 of 27 points); the "
                                        "server: 96% Відмінно (26.00 of 27 points); scored "
                                        "otherwise: question(s) 10"),
              std::string::npos)
        << c.findings[0].detail;
}

// An ordering with an empty place keeps only the places before the gap in
// its line: the detail says why the server's points may fall short.
TEST_F(ResultCheckTest, AnOrderingWithAGapIsNamedAsSuch)
{
    const FinalCheck c = checkFinal(
        tests, claim(),
        edited("     3          4.00       1,2,4,3,", "     3          4.00       1,0,"));
    ASSERT_EQ(kinds(c), Kinds{"score-mismatch"});
    EXPECT_NE(c.findings[0].detail.find("question(s) 3: an ordering with an empty place"),
              std::string::npos)
        << c.findings[0].detail;
}

TEST_F(ResultCheckTest, PointsOverAQuestionsMarkAreNamed)
{
    const std::string forged = edited("    10          1.00 ", "    10          9.00 ");
    const FinalCheck c = checkFinal(tests, claim(), forged);
    ASSERT_FALSE(c.findings.empty());
    EXPECT_EQ(c.findings[0].kind, "score-mismatch");
    EXPECT_NE(c.findings[0].detail.find("10 (9.00 of 1)"), std::string::npos)
        << c.findings[0].detail;
    EXPECT_EQ(c.percent, 100);
}

struct Odd
{
    const char* name;
    const char* from; // an edit of the report ("" for none)
    const char* to;
    ClaimedFinal claim;
    std::vector<std::string> kinds;
    const char* detail; // part of the first finding
    bool rowsFit;
};

TEST_F(ResultCheckTest, OddFinalsAreFlagged)
{
    const std::string g = toCp1251("Відмінно");
    const std::vector<Odd> cases = {
        {"another test",
         "Демонстраційний тест",
         "Інший тест",
         {12, 100.0f, g},
         {"foreign-test"},
         "a report of another test",
         false},
        {"a question the test lacks",
         "    10          1.00 ",
         "    13          1.00 ",
         {12, 100.0f, g},
         {"foreign-test"},
         "question 13 is not in the test",
         false},
        {"an option the test lacks",
         "    10          1.00        2,",
         "    10          1.00        9,",
         {12, 100.0f, g},
         {"foreign-test"},
         "an option number outside the question",
         false},
        {"a percentage over 100",
         "",
         "",
         {12, 150.0f, g},
         {"implausible-final", "score-mismatch"},
         "percentage 150 outside 0-100",
         true},
        {"not a whole percentage",
         "",
         "",
         {12, 96.5f, g},
         {"implausible-final", "score-mismatch"},
         "not a whole number",
         true},
        {"not the report's percentage",
         "",
         "",
         {12, 97.0f, g},
         {"implausible-final", "score-mismatch"},
         "percentage 97 is not the report's 100",
         true},
        {"not the test's grade",
         "",
         "",
         {12, 100.0f, toCp1251("Добре")},
         {"implausible-final", "score-mismatch"},
         "grade Добре is not the report's Відмінно",
         true},
        {"a negative count",
         "",
         "",
         {-3, 100.0f, g},
         {"implausible-final"},
         "answered count -3 is negative",
         true},
        {"an answered count the report lacks",
         "",
         "",
         {20, 100.0f, g},
         {"implausible-final"},
         "answered count 20, but the report has 12 question rows",
         true},
        {"a question twice",
         "    10          1.00 ",
         "     1          1.00 ",
         {12, 100.0f, g},
         {"implausible-final", "foreign-test"},
         "names question 1 twice",
         false},
        {"no totals",
         "Всього балів",
         nullptr,
         {12, 100.0f, g},
         {"implausible-final", "score-mismatch"},
         "stops before its totals",
         true},
    };
    for (const Odd& o : cases) {
        SCOPED_TRACE(o.name);
        const std::string r = *o.from ? edited(o.from, o.to) : *report;
        const FinalCheck c = checkFinal(tests, o.claim, r);
        EXPECT_EQ(kinds(c), o.kinds);
        ASSERT_FALSE(c.findings.empty());
        EXPECT_NE(c.findings[0].detail.find(o.detail), std::string::npos) << c.findings[0].detail;
        EXPECT_EQ(c.verified, Verified::Mismatch);
        EXPECT_EQ(c.rowsFit, o.rowsFit);
    }
}

TEST_F(ResultCheckTest, AReportThatDoesNotReadIsNamed)
{
    for (const std::string& r : {std::string(), std::string("hello\n")}) {
        const FinalCheck c = checkFinal(tests, claim(), r);
        EXPECT_EQ(kinds(c), Kinds{"unreadable-report"});
        EXPECT_FALSE(c.scored);
        EXPECT_FALSE(c.rowsFit);
        EXPECT_EQ(c.percent, 100); // the claim stays, marked
        EXPECT_EQ(c.verified, Verified::Mismatch);
        EXPECT_EQ(checkFinal({}, claim(), r).verified, Verified::NotChecked);
    }
}

// Two tests in one room: each report is scored with the test it names.
TEST_F(ResultCheckTest, TheTestIsTheOneTheReportNames)
{
    TestModel other = *demo;
    other.testName = toCp1251(" Інший тест");
    std::vector<const TestModel*> both{&other, demo};
    const FinalCheck c = checkFinal(both, claim(), *report);
    EXPECT_TRUE(c.findings.empty());
    EXPECT_EQ(c.test, 1);
    const FinalCheck none = checkFinal({&other, &other}, claim(), *report);
    EXPECT_EQ(kinds(none), Kinds{"foreign-test"});
    EXPECT_NE(none.findings[0].detail.find("not among the tests given"), std::string::npos);
}

TEST_F(ResultCheckTest, ProgressThatNoRunCouldSendIsFlagged)
{
    const auto limits = progressLimits(tests);
    ASSERT_TRUE(limits);
    EXPECT_DOUBLE_EQ(limits->maxPoints, 27.0);
    EXPECT_EQ(limits->asked, 12);
    EXPECT_TRUE(checkProgress(3, 4.0, 4, 5.5f, limits).empty());
    EXPECT_TRUE(checkProgress(4, 5.5, 4, 5.5f, limits).empty()); // sent again
    const struct
    {
        int answeredBefore;
        double before;
        int answered;
        float points;
        const char* detail;
    } cases[] = {
        {3, 4.0, 4, 30.0f, "points 30.00 above the test's total of 27.00"},
        {3, 4.0, 4, 2.0f, "points went down from 4.00 to 2.00"},
        {5, 4.0, 4, 4.0f, "answered count went back from 5 to 4"},
        {3, 4.0, 13, 4.0f, "answered count 13 past the 12 questions asked"},
        {0, 0.0, -1, 0.0f, "answered count -1 is negative"},
        {0, 0.0, 1, -1.0f, "points -1 are not a score"},
    };
    for (const auto& c : cases) {
        const auto found = checkProgress(c.answeredBefore, c.before, c.answered, c.points, limits);
        ASSERT_EQ(found.size(), 1u) << c.detail;
        EXPECT_EQ(found[0].kind, "implausible-progress");
        EXPECT_EQ(found[0].detail, c.detail);
    }
    // Without a test only what needs none.
    EXPECT_TRUE(checkProgress(3, 4.0, 40, 300.0f, std::nullopt).empty());
}
