#include "results/ReportFile.h"

#include "definition/Cp1251.h"
#include "run/Scoring.h"
#include "../support/ModelBuilder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace qd;
using qdtest::choice;
using qdtest::modelOf;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A temporary working directory and home; the clock stands at
// 7 December 2026, 10:05:09.
class ReportFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        root = fs::path(tmp.path().toStdString());
        work = root / "work";
        home = root / "home";
        fs::create_directories(work);
        fs::create_directories(home);
        setenv("HOME", home.c_str(), 1);
        clock.time = {2026, 12, 7, 10, 5, 9};
        model = modelOf({choice(2, 4, {1, 3}, 2), choice(3, 4, {1, 2, 3, 4}, 4)});
        model.disc_name = toCp1251("Хімія");
        model.test_name = toCp1251("Гази");
    }

    QTemporaryDir tmp;
    fs::path root, work, home;
    qdtest::FixedClock clock;
    TestModel model;
    ReportFile report;
};

} // namespace

TEST_F(ReportFileTest, WholeReportByteForByte)
{
    ASSERT_FALSE(report.create_df(model, toCp1251("Петренко П.І."), clock, work));
    const fs::path file = home / "REZ_TEST" / "ПетренкоП_I_.txt";
    EXPECT_EQ(report.path(), file);

    // Question 1 answered with options 1 and 3 of the file, shown (after
    // shuffling) at positions 3 and 0, in that order.
    RunState st;
    st.cur_q = 0;
    model.stq[0].ord = {2, 1, 3, 0};
    model.stq[0].rans[0] = 4, model.stq[0].rans[1] = 1; // in shown numbering
    st.n_picks = 2;
    st.picks[0] = 3;
    st.picks[1] = 0;
    ASSERT_FALSE(fsmarks(model, st, "", report));
    // Every finished question's line is on disk at once.
    EXPECT_NE(slurp(file).find("     1          2.00        1, 3,\n"), std::string::npos);

    st.cur_q = 1;
    st.resetResponse();
    st.order3[0] = 2, st.order3[1] = 1;
    st.col3[0] = st.col3[1] = colour::red;
    ASSERT_FALSE(fsmarks(model, st, "", report));
    report.write_rez(st, 33, 3725, toCp1251("Незадовільно"), false);

    const std::string dir = work.string();
    const std::string want = toCp1251("Дата:  7.12.2026   Час: 10. 5. 9\n"
                                      "Найменування дисципліни: Хімія\n"
                                      "Назва тесту: Гази\r\n(" + dir + ")\n"
                                      "Прізвище та ім'я: Петренко П.І.\n"
                                      "Критерії оцінювання: Задовільно >= 60%, Добре >= 75%, Відмінно >= 90%.\n"
                                      "\n"
                                      "Результати тестування:\n"
                                      "№ питання  Кількість балів  Відповідь\n"
                                      "     1          2.00        1, 3,\n"
                                      "     2          0.00       2,1,\n"
                                      "Всього балів: 2.00 з 6 можливих\n"
                                      " або 33 відсотків за час 62 хвилин 5 секунд.\n"
                                      "Оцінка: Незадовільно\n");
    EXPECT_EQ(slurp(file), want);
    EXPECT_EQ(model.test_name, toCp1251("Гази\r\n(" + dir + ")"));
    EXPECT_TRUE(report.sendBuffer().empty()); // no exam link
}

TEST_F(ReportFileTest, TimeCriteriaAndTheSendBuffer)
{
    model.by_time = 1;
    ASSERT_FALSE(report.create_df(model, "x", clock, work));
    RunState st;
    report.write_rez(st, 0, 59, toCp1251("Тест не завершено!"), true);
    const std::string text = slurp(home / "REZ_TEST" / "x.txt");
    EXPECT_NE(text.find(toCp1251("Критерії оцінювання: Задовільно <= 900c, Добре <= 600c, Відмінно <= 300c.")),
              std::string::npos);
    EXPECT_NE(text.find(toCp1251(" або 0 відсотків за час 0 хвилин 59 секунд.\nОцінка: Тест не завершено!\n")),
              std::string::npos);

    ASSERT_EQ(report.sendLength(), int32_t(text.size()));
    ASSERT_EQ(report.sendBuffer().size(), 163 + text.size());
    EXPECT_EQ(report.sendBuffer().substr(0, 155), std::string(155, '\0'));
    EXPECT_EQ(report.sendBuffer().substr(155, text.size()), text);
}

TEST_F(ReportFileTest, FileNames)
{
    const struct
    {
        const char* name;
        const char* file;
    } cases[] = {
        {"О.В. Іваненко", "О_В_Iваненко.txt"},
        {"Абвгдеєжзиіїйклмнопрс", "Абвгдеєжзиiїйклмнопр.txt"}, // 20 bytes kept
        {"a/b\\c", "a_b_c.txt"},
    };
    for (const auto& c : cases) {
        TestModel m = model;
        ReportFile r;
        ASSERT_FALSE(r.create_df(m, toCp1251(c.name), clock, work));
        EXPECT_EQ(r.path(), home / "REZ_TEST" / c.file) << c.name;
        EXPECT_TRUE(fs::exists(home / "REZ_TEST" / c.file)) << c.name;
    }
}

TEST_F(ReportFileTest, ANameOfBlanksGivesNoReport)
{
    ASSERT_FALSE(report.create_df(model, "   ", clock, work));
    EXPECT_FALSE(report.isOpen());
    EXPECT_FALSE(fs::exists(home / "REZ_TEST"));
    EXPECT_NE(model.test_name.find("\r\n("), std::string::npos); // still extended
    RunState st;
    report.write_1q(model, st, 1.0f);
    report.write_rez(st, 0, 0, "x", true);
    EXPECT_EQ(report.sendLength(), 0);
    EXPECT_EQ(report.sendBuffer().size(), 163u);
}

TEST_F(ReportFileTest, ResultsDirectory)
{
    // A relative setting is made in the working directory, or used there.
    model.rez_dir = "results";
    ASSERT_FALSE(report.create_df(model, "a", clock, work));
    EXPECT_EQ(report.path(), work / "results" / "a.txt");
    TestModel again = modelOf({});
    again.rez_dir = "results";
    ReportFile second;
    ASSERT_FALSE(second.create_df(again, "a", clock, work));
    EXPECT_EQ(second.path(), work / "results" / "a.txt");

    // One that cannot be created falls back to the home directory.
    TestModel deep = modelOf({});
    deep.rez_dir = "no/such/dir";
    ReportFile third;
    ASSERT_FALSE(third.create_df(deep, "a", clock, work));
    EXPECT_EQ(third.path(), home / "REZ_TEST" / "a.txt");
}

TEST_F(ReportFileTest, ARunAgainEmptiesTheReport)
{
    ASSERT_FALSE(report.create_df(model, "a", clock, work));
    RunState st;
    st.n_picks = 1;
    st.picks[0] = 0;
    report.write_1q(model, st, 1.0f);
    report.close();
    const std::size_t first = slurp(home / "REZ_TEST" / "a.txt").size();
    TestModel m = modelOf({choice(2, 4, {1, 3}, 2)});
    m.disc_name = model.disc_name;
    m.test_name = toCp1251("Гази");
    ReportFile again;
    ASSERT_FALSE(again.create_df(m, "a", clock, work));
    EXPECT_LT(slurp(home / "REZ_TEST" / "a.txt").size(), first);
}

TEST_F(ReportFileTest, FileThatCannotBeCreated)
{
    // HOME/REZ_TEST is a file: the directory cannot be made nor written in.
    std::ofstream(home / "REZ_TEST") << "x";
    const Status f = report.create_df(model, "a", clock, work);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message, toCp1251("Не удалось создать файл результатов!"));
    EXPECT_FALSE(report.isOpen());
}

TEST_F(ReportFileTest, WorkingDirectoryInCodePageAndBounded)
{
    const fs::path odd = root / "каталог_日本";
    fs::create_directories(odd);
    ASSERT_FALSE(report.create_df(model, "", clock, odd));
    EXPECT_EQ(model.test_name, toCp1251("Гази\r\n(" + root.string() + "/каталог_?" "?)"));

    fs::path deep = root;
    while (deep.string().size() < 200) {
        deep /= "abcdefghij";
    }
    TestModel m = modelOf({});
    ASSERT_FALSE(report.create_df(m, "", clock, deep));
    EXPECT_EQ(m.test_name, "\r\n(" + deep.string().substr(0, 128) + ")");
}

TEST_F(ReportFileTest, AnswerColumns)
{
    ASSERT_FALSE(report.create_df(model, "a", clock, work));
    const std::size_t head = slurp(home / "REZ_TEST" / "a.txt").size();
    RunState st;
    std::string want;

    // No answer: the column stays empty.
    st.n_picks = 1;
    report.write_1q(model, st, 0.0f);
    want += "     1          0.00       \n";

    // Typed option numbers are the file's numbers already; a question
    // without options in its text has no display order to map them through.
    Question typed = choice(2, 0, {1, 3}, 2, 2);
    typed.ord.fill(0);
    TestModel tm = modelOf({typed});
    ASSERT_FALSE(fsmarks(tm, st, "3, 1", report));
    want += "     1          2.00        3, 1,\n";

    // 50 picks: the line is written whole, however long.
    TestModel wide = modelOf({choice(2, 50, {1}, 1)});
    st.n_picks = 50;
    std::string column;
    for (int i = 0; i < 50; ++i) {
        st.picks[std::size_t(i)] = 49 - i;
        char e[8];
        std::snprintf(e, sizeof e, "%2d,", 50 - i);
        column += e;
    }
    report.write_1q(wide, st, 0.0f);
    want += "     1          0.00       " + column + "\n";

    // A typed text of 127 characters.
    TestModel text = modelOf({qdtest::text("x", 1)});
    st.ans_text = std::string(127, 'y');
    report.write_1q(text, st, 0.5f);
    want += "     1          0.50       " + std::string(127, 'y') + "\n";

    EXPECT_EQ(slurp(home / "REZ_TEST" / "a.txt").substr(head), want);
}
