#include "results/ReportFile.h"

#include "definition/Cp1251.h"
#include "run/RunStart.h"
#include "run/Scoring.h"
#include "../support/FileSizeLimit.h"
#include "ModelBuilder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <chrono>
#include <functional>
#include <optional>

#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qd;
using qdtest::choice;
using qdtest::FileSizeLimit;
using qdtest::modelOf;
namespace fs = std::filesystem;

namespace {

// The run state a session hands the report: the student and the title.
RunState runOf(const TestModel& m, std::string_view name, const fs::path& work)
{
    RunState st;
    st.studentName = std::string(name);
    st.testTitle = testTitleOf(m.testName, work);
    return st;
}

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
        model = modelOf({choice(QuestionType::MultipleChoice, 4, {1, 3}, 2),
                         choice(QuestionType::Ordering, 4, {1, 2, 3, 4}, 4)});
        model.subjectName = toCp1251("Хімія");
        model.testName = toCp1251("Гази");
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
    ASSERT_TRUE(
        report.createReport(model, runOf(model, toCp1251("Петренко П.І."), work), clock, work)
            .ok());
    const fs::path file = home / "REZ_TEST" / "ПетренкоП_I_.txt";
    EXPECT_EQ(report.path(), file);

    // Question 1 answered with options 1 and 3 of the file, shown (after
    // shuffling) at positions 3 and 0, in that order.
    RunState st;
    st.currentQuestion = 0;
    model.questions[0].displayOrder = {2, 1, 3, 0};
    model.questions[0].correctAnswers[0] = 4,
    model.questions[0].correctAnswers[1] = 1; // in shown numbering
    st.pickCount = 2;
    st.picks[0] = 3;
    st.picks[1] = 0;
    ASSERT_TRUE(scoreQuestion(model, st, "", report).ok());
    // Every finished question's line is on disk at once.
    EXPECT_NE(slurp(file).find("     1          2.00        1, 3,\n"), std::string::npos);

    st.currentQuestion = 1;
    st.resetResponse();
    st.ordering[0] = 2, st.ordering[1] = 1;
    st.placed[0] = st.placed[1] = true;
    ASSERT_TRUE(scoreQuestion(model, st, "", report).ok());
    report.writeClosingRows(st, 33, 3725, toCp1251("Незадовільно"));

    const std::string dir = work.string();
    const std::string want =
        toCp1251("Дата:  7.12.2026   Час: 10. 5. 9\n"
                 "Найменування дисципліни: Хімія\n"
                 "Назва тесту: Гази\r\n(" +
                 dir +
                 ")\n"
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
    EXPECT_EQ(model.testName, toCp1251("Гази")); // the model is left as it is
    EXPECT_EQ(report.finishedReport(), want);
}

TEST_F(ReportFileTest, TimeCriteriaAndTheFinishedReport)
{
    model.gradeByTime = 1;
    ASSERT_TRUE(report.createReport(model, runOf(model, "x", work), clock, work).ok());
    RunState st;
    EXPECT_TRUE(report.finishedReport().empty()); // not before the closing rows
    report.writeClosingRows(st, 0, 59, toCp1251("Тест не завершено!"));
    const std::string text = slurp(home / "REZ_TEST" / "x.txt");
    EXPECT_NE(text.find(toCp1251(
                  "Критерії оцінювання: Задовільно <= 900c, Добре <= 600c, Відмінно <= 300c.")),
              std::string::npos);
    EXPECT_NE(text.find(toCp1251(
                  " або 0 відсотків за час 0 хвилин 59 секунд.\nОцінка: Тест не завершено!\n")),
              std::string::npos);

    EXPECT_EQ(report.finishedReport(), text);
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
        ASSERT_TRUE(r.createReport(m, runOf(m, toCp1251(c.name), work), clock, work).ok());
        EXPECT_EQ(r.path(), home / "REZ_TEST" / c.file) << c.name;
        EXPECT_TRUE(fs::exists(home / "REZ_TEST" / c.file)) << c.name;
    }
}

TEST_F(ReportFileTest, ANameOfBlanksGivesNoReport)
{
    ASSERT_TRUE(report.createReport(model, runOf(model, "   ", work), clock, work).ok());
    EXPECT_FALSE(report.isOpen());
    EXPECT_FALSE(fs::exists(home / "REZ_TEST"));

    RunState st;
    report.writeQuestionLine(model, st, 1.0f);
    report.writeClosingRows(st, 0, 0, "x");
    EXPECT_TRUE(report.finishedReport().empty());
}

TEST_F(ReportFileTest, ResultsDirectory)
{
    // A relative setting is made in the working directory, or used there.
    model.reportDir = "results";
    ASSERT_TRUE(report.createReport(model, runOf(model, "a", work), clock, work).ok());
    EXPECT_EQ(report.path(), work / "results" / "a.txt");
    TestModel again = modelOf({});
    again.reportDir = "results";
    ReportFile second;
    ASSERT_TRUE(second.createReport(again, runOf(again, "a", work), clock, work).ok());
    EXPECT_EQ(second.path(), work / "results" / "a (2).txt");

    // One that cannot be created falls back to the home directory.
    TestModel deep = modelOf({});
    deep.reportDir = "no/such/dir";
    ReportFile third;
    ASSERT_TRUE(third.createReport(deep, runOf(deep, "a", work), clock, work).ok());
    EXPECT_EQ(third.path(), home / "REZ_TEST" / "a.txt");
}

TEST_F(ReportFileTest, AnExistingReportIsNeverReplaced)
{
    // Both names share their first 20 bytes, so both give the same file
    // name; a second run by the same student gives it again.
    const char* names[] = {"Константинопольський А.В.", "Константинопольський Б.Г.",
                           "Константинопольський А.В."};
    const char* files[] = {"Константинопольський.txt", "Константинопольський (2).txt",
                           "Константинопольський (3).txt"};
    std::vector<std::string> texts;
    for (int i = 0; i < 3; ++i) {
        TestModel m = model;
        ReportFile r;
        ASSERT_TRUE(r.createReport(m, runOf(m, toCp1251(names[i]), work), clock, work).ok());
        EXPECT_EQ(r.path(), home / "REZ_TEST" / files[i]) << i;
        texts.push_back(slurp(r.path()));
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(slurp(home / "REZ_TEST" / files[i]), texts[std::size_t(i)]) << i;
        EXPECT_NE(texts[std::size_t(i)].find(toCp1251(names[i])), std::string::npos) << i;
    }
}

TEST_F(ReportFileTest, ALinkPlantedUnderTheReportsNameIsNotFollowed)
{
    const fs::path dir = home / "REZ_TEST";
    fs::create_directories(dir);
    const fs::path target = root / "elsewhere.txt";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, dir / "a.txt");
    fs::create_symlink(root / "nothing-here.txt", dir / "a (2).txt"); // dangling

    ASSERT_TRUE(report.createReport(model, runOf(model, "a", work), clock, work).ok());
    EXPECT_EQ(report.path(), dir / "a (3).txt");
    EXPECT_FALSE(fs::is_symlink(report.path()));
    EXPECT_EQ(slurp(target), "keep");
    EXPECT_FALSE(fs::exists(root / "nothing-here.txt"));
}

TEST_F(ReportFileTest, AResultsFolderThatTakesNoFileFallsBackToTheHomeFolder)
{
    std::ofstream(work / "plain-file") << "x";
    const struct
    {
        const char* reportDir;
        const char* why;
    } cases[] = {
        {"plain-file", "a regular file"},
        {"/proc", "a file system that takes no files, even from root"},
        {"no/such/dir", "a folder that cannot be made"},
    };
    for (const auto& c : cases) {
        TestModel m = model;
        m.reportDir = c.reportDir;
        ReportFile r;
        EXPECT_TRUE(r.createReport(m, runOf(m, "a", work), clock, work).ok()) << c.why;
        EXPECT_TRUE(r.isOpen()) << c.why;
        EXPECT_EQ(r.path().parent_path(), home / "REZ_TEST") << c.why;
        EXPECT_NE(slurp(r.path()).find(toCp1251("Результати тестування")), std::string::npos)
            << c.why;
    }
}

TEST_F(ReportFileTest, AHomeAndAWorkingDirectoryWhoseNamesAreNotUtf8)
{
    // Code page 1251 bytes, as a folder copied from a Windows machine has.
    const fs::path oddHome = root / "\xe4\xee\xec";     // "дом"
    const fs::path oddWork = root / "\xf2\xe5\xf1\xf2"; // "тест"
    fs::create_directories(oddHome);
    fs::create_directories(oddWork);
    // QTemporaryDir removes through Unicode names and would leave these.
    struct RemoveAll
    {
        std::vector<fs::path> paths;
        ~RemoveAll()
        {
            for (const fs::path& p : paths) {
                std::error_code ec;
                fs::remove_all(p, ec);
            }
        }
    } cleanUp{{oddHome, oddWork}};
    setenv("HOME", oddHome.c_str(), 1);
    ASSERT_TRUE(report.createReport(model, runOf(model, "a", oddWork), clock, oddWork).ok());
    EXPECT_EQ(report.path(), oddHome / "REZ_TEST" / "a.txt");
    EXPECT_TRUE(fs::is_regular_file(oddHome / "REZ_TEST" / "a.txt"));
    // The test name's second line holds the directory's own bytes.
    const std::string title = toCp1251("Гази") + "\r\n(" + oddWork.string() + ")";
    EXPECT_EQ(qd::testTitleOf(model.testName, oddWork), title);
    EXPECT_NE(slurp(oddHome / "REZ_TEST" / "a.txt").find(title), std::string::npos);
}

namespace {

// The steps of a run after createReport: two answered questions and the end.
void playRun(ReportFile& r, const TestModel& m, RunState& st)
{
    st.pickCount = 1;
    st.picks[0] = 0;
    st.currentQuestion = 0;
    r.writeQuestionLine(m, st, 1.0f);
    st.currentQuestion = 1;
    r.writeQuestionLine(m, st, 0.0f);
    r.writeClosingRows(st, 25, 61, toCp1251("Незадовільно"));
}

} // namespace

TEST_F(ReportFileTest, AWriteThatFailsIsToldAndTheWholeReportStillTravels)
{
    // The report as a run with room for it writes it.
    TestModel m1 = model;
    ReportFile reference;
    RunState st;
    ASSERT_TRUE(reference.createReport(m1, runOf(m1, "a", work), clock, work).ok());
    playRun(reference, m1, st);
    const std::string whole = slurp(reference.path());
    ASSERT_EQ(reference.finishedReport(), whole);
    EXPECT_TRUE(reference.takeWriteFault().ok());
    fs::remove(reference.path());

    // The same run where the file may not grow past its headings and a few
    // bytes: it is already in the fall-back folder, so no copy can help.
    TestModel m2 = model;
    ASSERT_TRUE(report.createReport(m2, runOf(m2, "a", work), clock, work).ok());
    const fs::path file = report.path();
    const std::size_t head = slurp(file).size();
    {
        FileSizeLimit limit(head + 10);
        RunState st2;
        playRun(report, m2, st2);
    }
    const Status f = report.takeWriteFault();
    ASSERT_FALSE(f.ok());
    EXPECT_EQ(f.fault().message, toCp1251("Не удалось записать файл результатов!"));
    EXPECT_TRUE(report.takeWriteFault().ok()); // told once
    EXPECT_TRUE(report.path().empty());        // the cut file is not the report
    EXPECT_FALSE(report.isOpen());
    // The cut file stays as it is; nothing else was written.
    EXPECT_EQ(slurp(file), whole.substr(0, head + 10));
    EXPECT_EQ(std::distance(fs::directory_iterator(home / "REZ_TEST"), fs::directory_iterator()),
              1);
    // The exam server still receives the whole report.
    EXPECT_EQ(report.finishedReport(), whole);
}

namespace {

// Runs `body` in a child process that mounts a tmpfs of `size` (a mount
// option such as "4k") on `mountPoint` in a mount namespace of its own: the
// mount goes with the child, however it ends. Returns what the body says
// (empty: all went as expected), or nullopt when this machine gives no
// mount namespace (not root).
std::optional<std::string> onSmallTmpfs(const fs::path& mountPoint, const std::string& size,
                                        const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return "pipe";
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return "fork";
    }
    if (pid == 0) {
        ::close(fds[0]);
        std::string verdict = "\x01";
        const std::string options = "size=" + size;
        if (::unshare(CLONE_NEWNS) == 0 &&
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) == 0) {
            verdict = body();
        }
        std::size_t done = 0;
        while (done < verdict.size()) {
            const ssize_t n = ::write(fds[1], verdict.data() + done, verdict.size() - done);
            if (n <= 0) {
                break;
            }
            done += std::size_t(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string verdict;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) {
            ::kill(pid, SIGKILL);
            verdict = "the child did not finish in 30 s";
            break;
        }
        char buf[512];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        verdict.append(buf, std::size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (verdict == "\x01") {
        return std::nullopt;
    }
    return verdict;
}

} // namespace

TEST_F(ReportFileTest, AFullResultsFolderMovesTheWholeReportToTheFallBackFolder)
{
    // The results folder is a tmpfs of one page: the report fills it in the
    // middle of the run.
    const fs::path small = root / "small";
    fs::create_directories(small);
    const auto verdict = onSmallTmpfs(small, "4k", [&]() -> std::string {
        TestModel m = model;
        m.reportDir = small.string();
        ReportFile r;
        if (!r.createReport(m, runOf(m, "a", work), clock, work).ok()) {
            return "createReport failed";
        }
        if (r.path() != small / "a.txt") {
            return "not in the results folder: " + r.path().string();
        }
        const TestModel typed = modelOf({qdtest::typed("x", 1)});
        RunState st;
        st.answerText = std::string(127, 'y');
        for (int i = 0; i < 40; ++i) { // 40 lines of 155 bytes
            r.writeQuestionLine(typed, st, 0.5f);
        }
        const Status f = r.takeWriteFault();
        if (f.ok() || f.fault().message != toCp1251("Не удалось записать файл результатов!")) {
            return "no write fault";
        }
        if (r.path() != home / "REZ_TEST" / "a.txt") {
            return "the copy is at '" + r.path().string() + "'";
        }
        r.writeClosingRows(st, 0, 0, "x");
        const std::string whole(r.finishedReport());
        if (whole.size() < 40 * 155) {
            return "the report in memory is short";
        }
        if (slurp(r.path()) != whole) {
            return "the copy is not the whole report";
        }
        const std::string cut = slurp(small / "a.txt");
        if (cut.size() >= whole.size() || whole.compare(0, cut.size(), cut) != 0) {
            return "the full folder's file is not a cut copy";
        }
        return {};
    });
    if (!verdict) {
        GTEST_SKIP() << "no mount namespace here (needs root)";
    }
    EXPECT_EQ(*verdict, "");
}

TEST_F(ReportFileTest, FileThatCannotBeCreated)
{
    // HOME/REZ_TEST is a file: the directory cannot be made nor written in.
    std::ofstream(home / "REZ_TEST") << "x";
    const Status f = report.createReport(model, runOf(model, "a", work), clock, work);
    ASSERT_FALSE(f.ok());
    EXPECT_EQ(f.fault().message, toCp1251("Не удалось создать файл результатов!"));
    EXPECT_FALSE(report.isOpen());
}

TEST_F(ReportFileTest, WorkingDirectoryInCodePageAndBounded)
{
    const fs::path odd = root / "каталог_日本";
    fs::create_directories(odd);
    ASSERT_TRUE(report.createReport(model, runOf(model, "", odd), clock, odd).ok());
    EXPECT_EQ(qd::testTitleOf(model.testName, odd), toCp1251("Гази\r\n(" + root.string() +
                                                             "/каталог_?"
                                                             "?)"));

    fs::path deep = root;
    while (deep.string().size() < 200) {
        deep /= "abcdefghij";
    }
    TestModel m = modelOf({});
    m.testName = "Name";
    ASSERT_TRUE(report.createReport(m, runOf(m, "", deep), clock, deep).ok());
    EXPECT_EQ(qd::testTitleOf(m.testName, deep), "Name\r\n(" + deep.string().substr(0, 128) + ")");
}

TEST_F(ReportFileTest, AnswerColumns)
{
    ASSERT_TRUE(report.createReport(model, runOf(model, "a", work), clock, work).ok());
    const std::size_t head = slurp(home / "REZ_TEST" / "a.txt").size();
    RunState st;
    std::string want;

    // No answer: the column stays empty.
    st.pickCount = 1;
    report.writeQuestionLine(model, st, 0.0f);
    want += "     1          0.00       \n";

    // Typed option numbers are the file's numbers already; a question
    // without options in its text has no display order to map them through.
    Question typed = choice(QuestionType::MultipleChoice, 0, {1, 3}, 2, PictureMode::PictureOnly);
    typed.displayOrder.fill(0);
    TestModel tm = modelOf({typed});
    ASSERT_TRUE(scoreQuestion(tm, st, "3, 1", report).ok());
    want += "     1          2.00        3, 1,\n";

    // 50 picks: the line is written whole, however long.
    TestModel wide = modelOf({choice(QuestionType::MultipleChoice, 50, {1}, 1)});
    st.pickCount = 50;
    std::string column;
    for (int i = 0; i < 50; ++i) {
        st.picks[std::size_t(i)] = 49 - i;
        char e[8];
        std::snprintf(e, sizeof e, "%2d,", 50 - i);
        column += e;
    }
    report.writeQuestionLine(wide, st, 0.0f);
    want += "     1          0.00       " + column + "\n";

    // A typed text of 127 characters.
    TestModel text = modelOf({qdtest::typed("x", 1)});
    st.answerText = std::string(127, 'y');
    report.writeQuestionLine(text, st, 0.5f);
    want += "     1          0.50       " + std::string(127, 'y') + "\n";

    EXPECT_EQ(slurp(home / "REZ_TEST" / "a.txt").substr(head), want);
}
