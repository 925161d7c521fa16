#include "SessionFixture.h"

#include "definition/Accommodations.h"
#include "definition/Cp1251.h"
#include "results/ReportReader.h"
#include "results/ReportRows.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

using fixture::Rig;
using qd::Accommodation;
using qd::AccommodationTable;
using qd::QuestionType;
using qd::TestSession;

namespace {

bool contains(const std::vector<std::string>& log, const std::string& prefix)
{
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

AccommodationTable parsed(const std::string& text)
{
    auto t = AccommodationTable::parse(text);
    EXPECT_TRUE(t.ok()) << (t.ok() ? "" : qd::fromCp1251(t.fault().message));
    return t.ok() ? t.value() : AccommodationTable{};
}

} // namespace

// ---- The file -----------------------------------------------------------

TEST(AccommodationFile, StudentLinesAddToTheLineForEveryone)
{
    const AccommodationTable t = parsed("# the school's list\n"
                                        "*; contrast=high\n"
                                        "Бондар Т.; time=2; text=1,5  # extra time\r\n"
                                        "\n"
                                        "  Коваль О.  ;quiet;contrast=normal\n"
                                        "Шевченко І.\n");
    EXPECT_EQ(t.studentCount(), 3u);
    const Accommodation bondar = t.forStudent(qd::toCp1251("Бондар Т."));
    EXPECT_EQ(bondar.timeFactor, 2.0);
    EXPECT_EQ(bondar.textScale, 1.5);
    EXPECT_TRUE(bondar.highContrast);
    EXPECT_FALSE(bondar.quiet);
    EXPECT_EQ(bondar.settingsText(), "time=2; text=1.5; contrast=high");
    // The title page's name, blanks around it or not.
    const Accommodation koval = t.forStudent(qd::toCp1251(" Коваль О."));
    EXPECT_TRUE(koval.quiet);
    EXPECT_FALSE(koval.highContrast); // the student's own line wins
    EXPECT_EQ(t.forStudent(qd::toCp1251("Шевченко І.")).settingsText(), "contrast=high");
    EXPECT_EQ(t.forStudent("Nobody").settingsText(), "contrast=high");
    EXPECT_EQ(qd::fromCp1251(koval.reportLine()), "Пристосування: quiet");
}

TEST(AccommodationFile, CodePage1251AndNoFileAtAll)
{
    const AccommodationTable t = parsed(qd::toCp1251("Гнатюк Є.; time=4\n"));
    EXPECT_EQ(t.forStudent(qd::toCp1251("Гнатюк Є.")).timeFactor, 4.0);
    EXPECT_FALSE(t.forStudent("").any());

    QTemporaryDir dir;
    auto none = AccommodationTable::load(dir.path().toStdString());
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.value().empty());
    std::ofstream(dir.filePath(QStringLiteral("ACCOMMODATIONS.TXT")).toStdString()) << "*; quiet\n";
    auto upper = AccommodationTable::load(dir.path().toStdString());
    ASSERT_TRUE(upper.ok());
    EXPECT_TRUE(upper.value().forStudent("x").quiet);
}

TEST(AccommodationFile, TheFirstBadLineIsNamedWithWhatIsWrong)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"a; time=5\n", "рядок 1: «time=5»: множник часу має бути від 1 до 4"},
        {"a; time=0.5\n", "рядок 1: «time=0.5»: множник часу має бути від 1 до 4"},
        {"# x\na; text=3.5\n", "рядок 2: «text=3.5»: масштаб тексту має бути від 1 до 3"},
        {"a; text=\n", "рядок 1: «text=»: масштаб тексту має бути від 1 до 3"},
        {"a; time=1e0\n", "рядок 1: «time=1e0»: множник часу має бути від 1 до 4"},
        {"a; size=2\n", "рядок 1: невідомий параметр «size=2»"},
        {"a; contrast=low\n", "рядок 1: невідомий параметр «contrast=low»"},
        {"; quiet\n", "рядок 1: немає імені перед «;»"},
        {"a;; quiet\n", "рядок 1: порожній параметр між «;»"},
        {"a; quiet\nb\na; time=2\n", "рядок 3: другий рядок для «a»"},
        {"*; quiet\n*\n", "рядок 2: другий рядок для «*»"},
        {"Ім'я ☺; quiet\n", "рядок 1: символ, якого немає в кодовій сторінці 1251"},
        {"b\nАААААААААААААААААААААААААААААААААААААААААААААААААА\n",
         "рядок 2: ім'я довше за 49 символів"},
    };
    for (const auto& c : cases) {
        auto t = AccommodationTable::parse(c.text);
        ASSERT_FALSE(t.ok()) << c.text;
        const std::string message = qd::fromCp1251(t.fault().message);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(message.rfind("Файл accommodations.txt, ", 0), 0u) << message;
    }
}

TEST(AccommodationFile, APlainRunAddsNoLineToTheReport)
{
    EXPECT_EQ(qd::formatAccommodationRow(""), "");
    EXPECT_EQ(qd::formatAccommodationRow("time=2; quiet"),
              qd::toCp1251("Пристосування: time=2; quiet\n"));
}

TEST(AccommodationFile, TheReportLineIsReadBack)
{
    QFile file(
        QStringLiteral(QUIZDESK_SOURCE_DIR "/examples/analysis/reports/БондаренкоОленаВасил.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string plain = file.readAll().toStdString();
    const std::string line = qd::formatAccommodationRow("time=2; quiet");

    auto with = qd::readReport(plain + line);
    ASSERT_TRUE(with.ok());
    EXPECT_TRUE(with.value().finished);
    EXPECT_EQ(with.value().accommodations, "time=2; quiet");
    // A copy cut inside the line is still the finished report.
    auto cut = qd::readReport(plain + line.substr(0, line.size() - 4));
    ASSERT_TRUE(cut.ok());
    EXPECT_TRUE(cut.value().finished);
    EXPECT_EQ(cut.value().accommodations, "");
    // Anything else after the grade is not a report; nor is a second line.
    EXPECT_FALSE(qd::readReport(plain + "x\n").ok());
    EXPECT_FALSE(qd::readReport(plain + line + line).ok());
}

// ---- The time factor ---------------------------------------------------------

TEST(AccommodationTime, AStretchedQuestionTimeLetsTheStudentAnswer)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                                       qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)});
    m.questionSeconds = 10;
    m.testMinutes = 1;
    Rig rig(std::move(m));
    Accommodation twice;
    twice.timeFactor = 2.0;
    rig.session->setAccommodation(twice);
    rig.begin();
    rig.run(15000); // past the plain 10 s, inside the stretched 20 s
    std::vector<std::string> log = rig.view.take();
    EXPECT_FALSE(contains(log, "beep"));
    EXPECT_TRUE(contains(log, "progress 15/20"));
    EXPECT_TRUE(contains(log, "minutes 2")); // one minute stretched to two
    rig.press(0, 0);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_EQ(rig.session->state().finishedCount, 1);
    EXPECT_FLOAT_EQ(rig.session->state().score, 1.0f);
    rig.run(20000);
    EXPECT_TRUE(contains(rig.view.take(), "beep")); // the second one runs out at 20 s
    EXPECT_EQ(rig.view.summary.accommodations, qd::toCp1251("Пристосування: time=2"));
}

TEST(AccommodationTime, APartMinuteFactorEndsTheTestAtItsStretchedTime)
{
    qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 2),
                                       qdtest::choice(QuestionType::SingleChoice, 3, {1}, 2),
                                       qdtest::choice(QuestionType::SingleChoice, 3, {1}, 2)});
    m.testMinutes = 1;
    m.questionSeconds = 100;
    Rig rig(std::move(m));
    Accommodation more;
    more.timeFactor = 1.5; // 90 s
    rig.session->setAccommodation(more);
    rig.begin();
    rig.run(61000);
    ASSERT_TRUE(rig.session->nextQuestion().ok()); // 61 s: the plain test would be over
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Question);
    rig.run(30000);
    ASSERT_TRUE(rig.session->nextQuestion().ok()); // 91 s
    EXPECT_EQ(rig.session->phase(), TestSession::Phase::Finished);
    EXPECT_EQ(rig.session->state().maxScore, 6);
}

TEST(AccommodationTime, GradingByTimeStretchesItsThresholdsToo)
{
    for (const double factor : {1.0, 2.0}) {
        qd::TestModel m = qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)});
        m.questionSeconds = 1000;
        m.testMinutes = 60;
        m.gradeByTime = 1;
        m.excellentSeconds = 300;
        m.goodSeconds = 600;
        m.satisfactorySeconds = 900;
        Rig rig(std::move(m));
        Accommodation a;
        a.timeFactor = factor;
        rig.session->setAccommodation(a);
        rig.begin();
        rig.run(500000); // 500 s: "Добре" in the plain time, "Відмінно" in twice the time
        rig.press(0, 0);
        ASSERT_TRUE(rig.session->nextQuestion().ok());
        EXPECT_EQ(rig.view.summary.minutes, 8u);
        EXPECT_EQ(qd::fromCp1251(rig.view.summary.grade), factor == 1.0 ? "Добре" : "Відмінно");
    }
}

TEST(AccommodationTime, SetOnlyOnTheTitlePage)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.begin();
    Accommodation late;
    late.timeFactor = 3.0;
    rig.session->setAccommodation(late);
    EXPECT_FALSE(rig.session->state().accommodation.any());
}

// ---- Quiet -------------------------------------------------------------------

TEST(AccommodationQuiet, NeitherTheSquareNorTheScoreUntilTheResults)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1),
                             qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    Accommodation quiet;
    quiet.quiet = true;
    rig.session->setAccommodation(quiet);
    rig.session->clickBegin("", false);
    rig.session->waitTick();
    EXPECT_TRUE(contains(rig.view.take(), "accommodation quiet"));
    rig.press(0, 0);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    rig.press(0, 1);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    const std::vector<std::string> log = rig.view.take();
    EXPECT_FALSE(contains(log, "answer "));
    EXPECT_FALSE(contains(log, "score "));
    EXPECT_TRUE(contains(log, "results"));
    EXPECT_EQ(rig.view.summary.points, "1.00");
}

TEST(AccommodationQuiet, APlainRunAppliesNothing)
{
    Rig rig(qdtest::modelOf({qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.session->clickBegin("", false);
    rig.session->waitTick();
    EXPECT_FALSE(contains(rig.view.take(), "accommodation"));
    rig.press(0, 0);
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_TRUE(contains(rig.view.take(), "answer green"));
    EXPECT_EQ(rig.view.summary.accommodations, "");
}

// ---- The keyboard -----------------------------------------------------------

namespace {

// Keys of a script: u d l r h e (home, end) s (space).
void keys(Rig& rig, const std::string& script)
{
    for (char c : script) {
        static const std::map<char, TestSession::Key> map = {
            {'u', TestSession::Key::Up},   {'d', TestSession::Key::Down},
            {'l', TestSession::Key::Left}, {'r', TestSession::Key::Right},
            {'h', TestSession::Key::Home}, {'e', TestSession::Key::End},
            {'s', TestSession::Key::Space}};
        EXPECT_TRUE(rig.session->keyPressed(map.at(c))) << c;
    }
}

void presses(Rig& rig, const std::string& script)
{
    std::istringstream in(script);
    char what;
    int col, row;
    while (in >> what >> col >> row) {
        if (what == 'm') {
            rig.pressMarker(col, row);
        } else {
            rig.press(col, row);
        }
    }
}

struct Answered
{
    std::vector<int> picks;
    std::vector<int> ordering;
    std::vector<bool> placed;
    int activeRow;
    float points;
    bool operator==(const Answered&) const = default;
};

Answered answer(const qd::Question& q, const std::function<void(Rig&)>& act)
{
    Rig rig(qdtest::modelOf({q, qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1)}));
    rig.begin();
    act(rig);
    const qd::RunState& st = rig.session->state();
    Answered a{std::vector<int>(st.picks.begin(), st.picks.begin() + std::max(st.pickCount, 0)),
               std::vector<int>(st.ordering.begin(), st.ordering.begin() + 8),
               std::vector<bool>(st.placed.begin(), st.placed.begin() + 8), st.activeRow, 0.0f};
    EXPECT_TRUE(rig.session->nextQuestion().ok());
    a.points = rig.session->lastPoints();
    return a;
}

} // namespace

TEST(AccommodationKeyboard, KeysAnswerAsTheMouseDoesForEveryKind)
{
    const struct
    {
        const char* name;
        qd::Question question;
        std::string mouse;
        std::string keyboard;
    } cases[] = {
        {"single", qdtest::choice(QuestionType::SingleChoice, 4, {2}, 1), "p 0 0 p 0 1", "dsds"},
        {"multiple", qdtest::choice(QuestionType::MultipleChoice, 4, {1, 3}, 2),
         "p 0 0 p 0 1 p 0 2 p 0 1", "dsrsrsls"},
        {"ordering", qdtest::choice(QuestionType::Ordering, 5, {1}, 1), "m 0 1 p 0 4 m 0 0 p 0 2",
         "ddlsrddds"
         "hlsrdds"},
        {"unplace", qdtest::choice(QuestionType::Ordering, 5, {1}, 1), "m 0 1 p 0 3 p 0 1",
         "ddlsrdds"
         "uus"},
        {"matching", qdtest::columns(QuestionType::Matching, {2, 3}, 1),
         "p 0 1 p 1 0 p 1 2 p 0 0 p 1 1", "ddsrusddslusrds"},
        {"columns", qdtest::columns(QuestionType::MatchingColumns, {2, 4, 4}, 1),
         "p 0 0 p 2 3 p 1 1 p 0 1 p 2 0",
         "dsrres"
         "luus"
         "ls"
         "rrhs"},
    };
    for (const auto& c : cases) {
        const Answered mouse = answer(c.question, [&](Rig& r) { presses(r, c.mouse); });
        const Answered keyboard = answer(c.question, [&](Rig& r) { keys(r, c.keyboard); });
        EXPECT_EQ(mouse, keyboard) << c.name;
        EXPECT_FALSE(mouse.picks.empty() && mouse.activeRow < 0) << c.name;
    }
}

TEST(AccommodationKeyboard, FocusIsShownAndLeavesNoTrace)
{
    Rig rig(qdtest::modelOf(
        {qdtest::choice(QuestionType::SingleChoice, 3, {1}, 1), qdtest::typed("x", 1)}));
    rig.begin();
    keys(rig, "d");
    // The first key focuses the first option: blue as under the pointer,
    // with a bar under it.
    std::vector<std::string> log = rig.view.take();
    EXPECT_TRUE(contains(log, "<A> blue"));
    EXPECT_TRUE(contains(log, "rect blue 16,31,40,32"));
    keys(rig, "d");
    log = rig.view.take();
    EXPECT_TRUE(contains(log, "rect white 16,31,40,32"));
    EXPECT_TRUE(contains(log, "<A> black"));
    EXPECT_TRUE(contains(log, "<B> blue"));
    EXPECT_EQ(rig.session->focusRow(), 1);
    // A typed question leaves the keys to the answer box.
    ASSERT_TRUE(rig.session->nextQuestion().ok());
    EXPECT_FALSE(rig.session->keyPressed(TestSession::Key::Down));
    EXPECT_EQ(rig.session->focusRow(), -1);
}
