#include "SessionFixture.h"
#include "../support/FileSizeLimit.h"

#include "definition/Cp1251.h"
#include "run/ExamHooks.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using fixture::Rig;
using qd::PictureMode;
using qd::QuestionType;
using qd::TestSession;

namespace {

bool contains(const std::vector<std::string>& log, const std::string& line)
{
    return std::find(log.begin(), log.end(), line) != log.end();
}

std::vector<int> picks(const TestSession& s)
{
    const qd::RunState& st = s.state();
    return std::vector<int>(st.picks.begin(), st.picks.begin() + std::max(st.pickCount, 0));
}

} // namespace

// ---- The flow's time rules -------------------------------------------------

TEST(SessionTime, QuestionLimitBeepsAndScoresAtTheFirstTickPastIt)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                                       qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)});
    m.questionSeconds = 10;
    Rig rig(std::move(m));
    rig.begin();
    rig.press(0, 0);
    rig.run(9950);
    std::vector<std::string> log = rig.view.take();
    EXPECT_FALSE(contains(log, "beep"));
    EXPECT_EQ(rig.session->state().finishedCount, 0);
    for (int s = 0; s <= 9; ++s) {
        EXPECT_TRUE(contains(log, "progress " + std::to_string(s) + "/10")) << s;
    }

    rig.run(50);
    log = rig.view.take();
    const auto beep = std::find(log.begin(), log.end(), "beep");
    ASSERT_NE(beep, log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "progress 10/10") + 1, beep);
    EXPECT_TRUE(contains(log, "answer green")); // scored with the pick already made
    EXPECT_TRUE(contains(log, "number 2"));
    EXPECT_EQ(rig.session->state().finishedCount, 1);
    EXPECT_FLOAT_EQ(rig.session->state().score, 1.0f);

    // The next question's time starts at its own display.
    rig.run(9950);
    EXPECT_FALSE(contains(rig.view.take(), "beep"));
}

TEST(SessionTime, MinutesLeftChangeAtWholeMinutesAndGoNegative)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)});
    m.testMinutes = 2;
    m.questionSeconds = 1000;
    Rig rig(std::move(m));
    rig.begin();

    auto minutes = [](const std::vector<std::string>& log) {
        std::vector<std::string> r;
        for (const std::string& l : log) {
            if (l.rfind("minutes ", 0) == 0 && (r.empty() || r.back() != l)) {
                r.push_back(l);
            }
        }
        return r;
    };
    rig.run(59950);
    EXPECT_EQ(minutes(rig.view.take()), std::vector<std::string>{"minutes 2"});
    rig.run(60000);
    EXPECT_EQ(minutes(rig.view.take()), std::vector<std::string>{"minutes 1"});
    rig.run(60050);
    EXPECT_EQ(minutes(rig.view.take()), (std::vector<std::string>{"minutes 0", "minutes -1"}));
    // The timer never ends the test by itself.
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Question);
}

TEST(SessionTime, TestTimeEndsAtTheNextQuestionChangeWithTheMarksLeft)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 2),
                                       qdtest::choice(QuestionType::SingleChoice, 3, {1}, 2),
                                       qdtest::choice(QuestionType::SingleChoice, 3, {1}, 2)});
    m.testMinutes = 1;
    m.questionSeconds = 100;
    Rig rig(std::move(m));
    rig.begin();
    rig.press(0, 0);
    rig.run(30000);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    rig.run(31000); // 61 s since the start: still on question 2
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Question);
    rig.press(0, 0);
    ASSERT_TRUE(rig.session->nextQuestion().ok());

    const qd::RunState& st = rig.session->state();
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Finished);
    EXPECT_EQ(st.finishedCount, 3);
    EXPECT_EQ(st.maxScore, 6);
    EXPECT_FLOAT_EQ(st.score, 4.0f);
    EXPECT_TRUE(st.wrongQuestions.empty());
    EXPECT_EQ(rig.view.results, 1);
    EXPECT_EQ(rig.view.summary.percent, 67);
    EXPECT_EQ(rig.view.summary.grade, qd::toCp1251("Задовільно"));
    EXPECT_EQ(rig.view.summary.minutes, 1u);
    EXPECT_EQ(rig.view.summary.seconds, 1u);
    EXPECT_FALSE(rig.view.questionTimer);

    // "Наст. питання" after the end does nothing more.
    rig.view.take();
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_EQ(rig.view.results, 1);
    EXPECT_FALSE(contains(rig.view.take(), "results"));
}

TEST(SessionTime, PictureIsCapturedAtTheFirstTickOnly)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)});
    m.questions[0].picture = PictureMode::WithOptions;
    Rig rig(std::move(m));
    rig.begin();
    rig.run(50);
    std::vector<std::string> log = rig.view.take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "capture");
    EXPECT_EQ(log[1], "repaint");
    rig.run(50);
    EXPECT_FALSE(contains(rig.view.take(), "capture"));
}

// ---- Title page -------------------------------------------------------------

TEST(SessionBegin, NameOf49CharactersStartsAndOf50IsRefused)
{
    Rig refused(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    refused.session->clickBegin(std::string(50, 'x'), false);
    EXPECT_EQ(refused.session->phase(), TestSession::Phase::TitlePage);
    ASSERT_EQ(refused.view.messages.size(), 1u);
    EXPECT_EQ(refused.view.messages[0],
              qd::toCp1251("Фамилия и инициалы не должны содержать более 50 символов!"));
    EXPECT_TRUE(contains(refused.view.log, "clear name"));
    EXPECT_FALSE(refused.view.waitTimer);

    Rig accepted(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    QTemporaryDir dir;
    accepted.model.reportDir = dir.path().toStdString();
    accepted.session->clickBegin(std::string(49, 'x'), false);
    EXPECT_EQ(accepted.session->phase(), TestSession::Phase::Waiting);
    EXPECT_TRUE(accepted.view.waitTimer);
    EXPECT_EQ(accepted.session->state().studentName, std::string(49, 'x'));
    EXPECT_TRUE(accepted.view.messages.empty());
}

TEST(SessionBegin, EmptyNameStartsOnlyOutsideExaminationMode)
{
    Rig exam(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    exam.session->clickBegin("", true);
    EXPECT_EQ(exam.session->phase(), TestSession::Phase::TitlePage);
    ASSERT_EQ(exam.view.messages.size(), 1u);
    EXPECT_EQ(exam.view.messages[0], qd::toCp1251("Для проходження екзаменаційного тестування\n"
                                                  "необхідно ввести прізвище та ініціали!\n"));

    Rig plain(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    plain.session->clickBegin("", false);
    plain.session->waitTick();
    EXPECT_EQ(plain.session->phase(), TestSession::Phase::Question);
    EXPECT_EQ(plain.session->state().notStarted, 0);
    EXPECT_TRUE(plain.view.questionTimer);
    EXPECT_FALSE(plain.view.waitTimer);
    EXPECT_TRUE(contains(plain.view.log, "count 1"));
}

TEST(SessionBegin, ExaminationWaitsForTheLinkAndThePermission)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    QTemporaryDir dir;
    rig.model.reportDir = dir.path().toStdString();
    rig.session->clickBegin(qd::toCp1251("Іван"), true);
    ASSERT_EQ(rig.session->phase(), TestSession::Phase::Waiting);
    rig.session->waitTick();
    rig.session->setLinkActive(true);
    rig.session->waitTick();
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Waiting);
    rig.session->setExamPermitted(true);
    rig.session->waitTick();
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Question);
}

// ---- Close requests of the main window ------------------------------------

TEST(SessionClose, TitlePageAndStartWaitEndTheProgram)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    EXPECT_EQ(rig.session->closeMain(), TestSession::CloseReply::EndProgram);
    rig.session->clickBegin("", false);
    EXPECT_EQ(rig.session->closeMain(), TestSession::CloseReply::EndProgram);
    EXPECT_EQ(rig.view.results, 0);
}

TEST(SessionClose, DuringTheTestTheResultsShowOnce)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.begin();
    rig.press(0, 0); // the open question is not scored
    EXPECT_EQ(rig.session->closeMain(), TestSession::CloseReply::KeepOpen);
    EXPECT_EQ(rig.view.results, 1);
    EXPECT_EQ(rig.view.summary.grade, qd::toCp1251("Тест не завершено!"));
    EXPECT_EQ(rig.session->state().maxScore, 0);
    EXPECT_EQ(rig.view.summary.percent, 0);
    EXPECT_FALSE(rig.view.questionTimer);

    EXPECT_EQ(rig.session->closeMain(), TestSession::CloseReply::KeepOpen);
    (void)rig.session->nextQuestion();
    rig.run(200000);
    EXPECT_EQ(rig.view.results, 1);
    EXPECT_EQ(rig.session->state().finishedCount, 0);
}

TEST(SessionClose, AfterTheLastQuestionACloseRequestChangesNothing)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.begin();
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    ASSERT_EQ(rig.view.results, 1);
    EXPECT_EQ(rig.session->closeMain(), TestSession::CloseReply::KeepOpen);
    EXPECT_EQ(rig.view.results, 1);
}

// ---- The report -------------------------------------------------------------

TEST(SessionReport, AWriteThatFailsIsToldOnceWithTheQuestionTimerStopped)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.session->clickBegin("a", false);
    rig.session->waitTick();
    ASSERT_FALSE(rig.report.path().empty());
    EXPECT_TRUE(rig.view.messages.empty());
    {
        // The file may not grow any more: the first question's line fails.
        qdtest::FileSizeLimit limit(std::filesystem::file_size(rig.report.path()));
        rig.press(0, 0);
        ASSERT_TRUE(rig.session->nextQuestion().ok());
        ASSERT_EQ(rig.view.messages.size(), 1u);
        EXPECT_EQ(rig.view.messages[0], qd::toCp1251("Не удалось записать файл результатов!"));
        // No tick may score a question under the box; the next question
        // runs its time again afterwards.
        EXPECT_FALSE(rig.view.questionTimerAtMessage[0]);
        EXPECT_TRUE(rig.view.questionTimer);
        EXPECT_EQ(rig.session->state().finishedCount, 1);
        EXPECT_EQ(rig.session->phase(), TestSession::Phase::Question);
        ASSERT_TRUE(rig.session->nextQuestion().ok());
        ASSERT_TRUE(rig.session->nextQuestion().ok());
    }
    EXPECT_EQ(rig.view.results, 1);
    EXPECT_EQ(rig.view.messages.size(), 1u); // told once
    EXPECT_TRUE(rig.report.path().empty());  // no whole copy: same folder
    qputenv("HOME", savedHome);
}

// ---- Screen geometry of the answers ----------------------------------------

TEST(SessionScreen, AnswersMoveBelowThePictureAndOrderingOnesOneCharacterRight)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                                       qdtest::choice(QuestionType::Ordering, 3, {1}, 1),
                                       qdtest::choice(QuestionType::MultipleChoice, 3, {1}, 1)});
    m.questions[0].picture = PictureMode::WithOptions;
    m.questions[2].picture = PictureMode::PictureOnly;
    Rig rig(std::move(m));
    rig.view.picDy[0] = 310;
    rig.session->clickBegin("", false);
    rig.session->waitTick();
    // Option A on line 2, columns 3..5: 16, 16 .. 40, 30 in the file's grid.
    EXPECT_TRUE(contains(rig.view.take(), "answers 0 " + std::to_string(16 + 310 - 16 / 5)));
    const qd::AnswerSlot& a = rig.session->slotAt(0, 0);
    EXPECT_EQ(std::vector<int>({a.left, a.top, a.right, a.bottom}),
              std::vector<int>({16, 326, 40, 340}));

    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_TRUE(contains(rig.view.take(), "answers 1 13"));
    const qd::AnswerSlot& b = rig.session->slotAt(0, 0);
    EXPECT_EQ(std::vector<int>({b.left, b.top, b.right, b.bottom}),
              std::vector<int>({24, 16, 40, 30}));

    ASSERT_TRUE(rig.session->nextQuestion().ok());
    std::vector<std::string> log = rig.view.take();
    EXPECT_TRUE(contains(log, "answers 2 " + std::to_string(qd::SessionView::kNoAnswerArea)));
    EXPECT_TRUE(contains(log, "box shown focus"));
    EXPECT_TRUE(rig.session->answerBoxShown());
}

// What the student types first goes into the answer box, on the first
// question as on every later one.
TEST(SessionScreen, TypedQuestionsGiveTheAnswerBoxTheFocusFromTheFirstOn)
{
    Rig rig(qdtest::modelOf({qdtest::typed("x", 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::typed("y", 1)}));
    rig.session->clickBegin("", false);
    rig.session->waitTick();
    EXPECT_TRUE(contains(rig.view.take(), "box shown focus"));
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_TRUE(contains(rig.view.take(), "box hidden"));
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_TRUE(contains(rig.view.take(), "box shown focus"));
}

TEST(SessionMouse, HitTestBoundsAndMarkerCell)
{
    // Two columns one blank apart: the earlier column wins where they touch.
    qd::TestModel m = qdtest::modelOf({qdtest::columns(QuestionType::Matching, {2, 2}, 1)});
    m.questions[0].columns[1].cells[0] = qdtest::slot(2, 8, "bb");
    Rig rig(std::move(m));
    rig.begin();
    // a0 on line 2 at columns 3..6: x 16..48, y 16..30; b0 from column 8.
    struct Case
    {
        int x, y, row, column;
        bool marker;
    } cases[] = {
        {8, 16, 0, 0, true},     {16, 30, 0, 0, true},   {17, 20, 0, 0, false},
        {48, 20, 0, 0, false},   {49, 20, 0, 1, true},   {56, 20, 0, 1, true},
        {57, 20, 0, 1, false},   {7, 20, -1, -1, false}, {20, 15, -1, -1, false},
        {20, 31, -1, -1, false}, {20, 32, 1, 0, false},
    };
    for (const Case& c : cases) {
        int column = 7;
        bool marker = true;
        EXPECT_EQ(rig.session->hitTest(c.x, c.y, column, marker), c.row) << c.x << "," << c.y;
        EXPECT_EQ(column, c.column) << c.x << "," << c.y;
        EXPECT_EQ(marker, c.marker) << c.x << "," << c.y;
    }
}

// ---- Presses
// ------------------------------------------------------------------

// Presses of one question: "p C R" on an option's text, "m C R" on its
// marker cell; the response and everything drawn afterwards.
struct PressCase
{
    const char* name;
    qd::Question question;
    std::string presses;
    std::vector<int> picks;
    std::vector<std::string> drawn;
};

// ctest shows a case by its name, not by the bytes of its question.
void PrintTo(const PressCase& c, std::ostream* os)
{
    *os << c.name;
}

// Each case presses, then checks the response and what was redrawn.
class Press : public ::testing::TestWithParam<PressCase>
{};

TEST_P(Press, Redraws)
{
    const PressCase& c = GetParam();
    Rig rig(qdtest::modelOf({c.question}));
    rig.begin();
    std::istringstream in(c.presses);
    char what;
    int col, row;
    while (in >> what >> col >> row) {
        if (what == 'm') {
            rig.pressMarker(col, row);
        } else {
            rig.press(col, row);
        }
    }
    EXPECT_EQ(picks(*rig.session), c.picks);
    EXPECT_EQ(rig.view.take(), c.drawn);
}

const std::string rp = "repaint";

INSTANTIATE_TEST_SUITE_P(
    Rules, Press,
    ::testing::Values(
        PressCase{"SingleChoiceMovesAndIgnoresTheChosenOne",
                  qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                  "p 0 0 p 0 1 p 0 1",
                  {1},
                  {"<A> red", rp, "<A> black", "<B> red", rp}},
        PressCase{"SingleChoiceInTheMarkerCell",
                  qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                  "m 0 2",
                  {2},
                  {"<C> red", rp}},
        PressCase{"MultipleChoiceTogglesKeepingTheOrder",
                  qdtest::choice(QuestionType::MultipleChoice, 4, {1}, 1),
                  "p 0 0 p 0 1 p 0 2 p 0 1",
                  {0, 2},
                  {"<A> red", rp, "<B> red", rp, "<C> red", rp, "<B> black", rp}},
        PressCase{"MultipleChoiceDoublePressChangesNothing",
                  qdtest::choice(QuestionType::MultipleChoice, 4, {1}, 1),
                  "p 0 3 p 0 3",
                  {},
                  {"<D> red", rp, "<D> black", rp}},
        // Position 2 is line 4: y 48..62, its bar x 16..24.
        PressCase{"OrderingBarThenTextMovesTheOption",
                  qdtest::choice(QuestionType::Ordering, 6, {1}, 1),
                  "m 0 2 p 0 5",
                  {-2, 2},
                  {"rect red 16,48,24,62", rp, "answers 0 13", rp}},
        PressCase{
            "OrderingSecondBarPressOnTheTargetNothingAnotherMovesIt",
            qdtest::choice(QuestionType::Ordering, 6, {1}, 1),
            "m 0 2 m 0 2 m 0 4",
            {-2},
            {"rect red 16,48,24,62", rp, "rect red 16,80,24,94", "rect blue 16,48,24,62", rp}},
        PressCase{"OrderingTextOfARedPositionUnmarksIt",
                  qdtest::choice(QuestionType::Ordering, 6, {1}, 1),
                  "m 0 2 p 0 5 p 0 2",
                  {-2},
                  {"rect red 16,48,24,62", rp, "answers 0 13", rp, "<F> black", rp}},
        PressCase{"OrderingTextOfABlackPositionWithoutTarget",
                  qdtest::choice(QuestionType::Ordering, 6, {1}, 1),
                  "p 0 3",
                  {-2},
                  {rp}},
        PressCase{"ManyPerRowNeedsARowFirstAndRemembersIt",
                  qdtest::columns(QuestionType::Matching, {2, 3}, 1),
                  "p 1 0 p 0 1 p 1 0 p 1 2 p 0 0 p 0 1",
                  {0, 2},
                  {"<a1> red", rp, "<b0> red", rp, "<b2> red", rp, "<a1> black",
                   "<a0> red", "<b0> black", "<b2> black", rp, "<a0> black", "<a1> red", "<b0> red",
                   "<b2> red", rp}},
        PressCase{"OnePerColumnMovesAndClearsTheChoice",
                  qdtest::columns(QuestionType::MatchingColumns, {2, 4, 4}, 1),
                  "p 2 3 p 0 0 p 2 3 p 2 1 p 2 1",
                  {-1, -1},
                  {"<a0> red", rp, "<c3> red", rp, "<c3> black", "<c1> red", rp, "<c1> black", rp}},
        PressCase{"OnePerColumnRowChangeSwapsTheShownChoices",
                  qdtest::columns(QuestionType::MatchingColumns, {2, 4, 4}, 1),
                  "p 0 0 p 1 2 p 0 1 p 0 0",
                  {2, -1},
                  {"<a0> red", rp, "<b2> red", rp, "<a0> black", "<a1> red", "<b2> black", rp,
                   "<a1> black", "<a0> red", "<b2> red", rp}},
        PressCase{"TypedQuestionIgnoresTheMouse", qdtest::typed("x", 1), "p 0 0", {}, {}}),
    [](const ::testing::TestParamInfo<PressCase>& p) { return std::string(p.param.name); });

TEST(SessionMouse, OrderingMoveSwapsTheOptionsAndMarksTheTarget)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::Ordering, 6, {1}, 1)}));
    rig.begin();
    rig.pressMarker(0, 2);
    rig.press(0, 5);
    const qd::RunState& st = rig.session->state();
    EXPECT_EQ(st.ordering[2], 6);
    EXPECT_EQ(st.ordering[5], 3);
    EXPECT_TRUE(st.placed[2]);
    EXPECT_FALSE(st.placed[5]);
    EXPECT_EQ(st.selectedPosition, -1);
    EXPECT_EQ(rig.session->slotAt(0, 2).text, "<F>");
    EXPECT_EQ(rig.session->slotAt(0, 5).text, "<C>");
    // Laid out again and moved to the screen once more: one character right.
    EXPECT_EQ(rig.session->slotAt(0, 2).left, 24);
    EXPECT_EQ(rig.session->slotAt(0, 2).top, 48);
    // The model is the test as loaded: the run keeps the moves to itself.
    const qd::Question& q = rig.model.questions[0];
    EXPECT_EQ(q.options[2].text, "<C>");
    EXPECT_EQ(q.options[5].text, "<F>");
    EXPECT_EQ(q.options[2].left, 16);
    EXPECT_EQ(q.options[2].top, 48);
}

TEST(SessionMouse, OrderingMovesBeyondTheResponseCapacityDoNotOverrunIt)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::Ordering, 4, {1, 2, 3, 4}, 4)}));
    rig.begin();
    for (int i = 0; i < 120; ++i) {
        rig.pressMarker(0, i % 4);
        rig.press(0, (i + 1) % 4);
    }
    EXPECT_EQ(rig.session->state().pickCount, qd::kMaxAnswers);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_GE(rig.session->lastPoints(), 0.0f);
}

// ---- Hover
// -------------------------------------------------------------------

TEST(SessionHover, OptionTurnsBlueUnderThePointerAndBlackAfter)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::MultipleChoice, 3, {1}, 1)}));
    rig.begin();
    rig.hover(0, 0);
    EXPECT_EQ(rig.view.take(), (std::vector<std::string>{"<A> blue", rp}));
    EXPECT_TRUE(rig.view.hand);
    rig.hover(0, 0); // the same option: nothing
    EXPECT_TRUE(rig.view.take().empty());
    // The marker cell is no hover target.
    const qd::AnswerSlot& a = rig.session->slotAt(0, 0);
    rig.session->mouseMove(a.left - 2, a.top + 1);
    EXPECT_EQ(rig.view.take(), (std::vector<std::string>{"<A> black", rp}));
    EXPECT_FALSE(rig.view.hand);
}

TEST(SessionHover, MarkedOptionsKeepTheirRed)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::MultipleChoice, 3, {1}, 1)}));
    rig.begin();
    rig.hover(0, 1);
    rig.press(0, 1);
    rig.view.take();
    rig.hover(0, 2);
    EXPECT_EQ(rig.view.take(), (std::vector<std::string>{"<C> blue", rp}));
    rig.hover(0, 1);
    EXPECT_EQ(rig.view.take(), (std::vector<std::string>{"<C> black", rp}));
    EXPECT_TRUE(rig.view.hand);
    rig.session->mouseMove(700, 700);
    EXPECT_TRUE(rig.view.take().empty());
    EXPECT_FALSE(rig.view.hand);
}

TEST(SessionHover, NeighbouringColumnOnTheSameRow)
{
    Rig rig(qdtest::modelOf({qdtest::columns(QuestionType::MatchingColumns, {2, 2, 2}, 1)}));
    rig.begin();
    rig.hover(0, 1);
    rig.view.take();
    rig.hover(1, 1);
    EXPECT_EQ(rig.view.take(), (std::vector<std::string>{"<b1> blue", "<a1> black", rp}));
}

TEST(SessionHover, QuestionChangeForgetsTheLastOptionAndTypedQuestionsIgnoreThePointer)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::MultipleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::MultipleChoice, 3, {1}, 1),
                             qdtest::typed("x", 1)}));
    rig.begin();
    rig.hover(0, 1);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_FALSE(rig.view.hand); // the arrow again at the question change
    rig.view.take();
    rig.hover(0, 1);
    EXPECT_EQ(rig.view.take(), (std::vector<std::string>{"<B> blue", rp}));

    ASSERT_TRUE(rig.session->nextQuestion().ok());
    rig.view.take();
    rig.session->mouseMove(20, 20);
    EXPECT_TRUE(rig.view.take().empty());
    EXPECT_FALSE(rig.view.hand);
}

// ---- The exam link's seam
// -------------------------------------------------------

namespace {

struct RecordingLink : qd::ExamHooks
{
    bool admit = true;
    std::vector<std::string> calls;
    bool open(const std::string& name) override
    {
        calls.push_back("open " + name);
        return admit;
    }
    void answered(int answered, bool lastRight, float score) override
    {
        calls.push_back("answered " + std::to_string(answered) +
                        (lastRight ? " right " : " wrong ") + std::to_string(int(score)));
    }
    void progress(int answered, bool lastRight, float score) override
    {
        calls.push_back("progress " + std::to_string(answered) +
                        (lastRight ? " right " : " wrong ") + std::to_string(int(score)));
    }
    void finished(int percent, const std::string& grade, std::string_view) override
    {
        calls.push_back("finished " + std::to_string(percent) + " " + grade);
    }
};

} // namespace

TEST(SessionExam, LinkOpensAtTheButtonHearsEveryLaterQuestionAndTheVerdict)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    QTemporaryDir dir;
    rig.model.reportDir = dir.path().toStdString();
    RecordingLink link;
    rig.session->setExamHooks(&link);

    link.admit = false; // the server address cannot be read: title page
    rig.session->clickBegin("S", true);
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::TitlePage);
    EXPECT_FALSE(rig.view.waitTimer);

    link.admit = true;
    rig.session->clickBegin("S", true);
    rig.session->setLinkActive(true);
    rig.session->setExamPermitted(true);
    rig.session->waitTick();
    rig.press(0, 0);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_EQ(link.calls,
              (std::vector<std::string>{"open S", "open S", "answered 1 right 1",
                                        "progress 1 right 1", "answered 2 wrong 1",
                                        "finished 50 " + qd::toCp1251("Незадовільно")}));
}

TEST(SessionExam, AbandonedLinkReturnsTheStartWaitToTheTitlePage)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.session->clickBegin("S", true);
    ASSERT_TRUE(rig.view.waitTimer);
    rig.session->returnToTitlePage();
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::TitlePage);
    EXPECT_FALSE(rig.view.waitTimer);
    rig.session->clickBegin("", false); // usable again
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Waiting);
    rig.session->waitTick();
    rig.session->returnToTitlePage(); // the test goes on
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Question);
}
