#include "results/ReportReader.h"
#include "results/ReportRows.h"

#include "definition/Cp1251.h"
#include "results/ReportSource.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

using namespace qd;
namespace fs = std::filesystem;

namespace {

// A finished report as the program writes it: every kind of answer column
// (choices with their padding, an order, matchings, typed texts, nothing).
const std::string kReport =
    toCp1251("Дата:  7.12.2026   Час: 10. 5. 9\n"
             "Найменування дисципліни: Хімія\n"
             "Назва тесту: Гази\r\n(/home/lab/test)\n"
             "Прізвище та ім'я: Петренко П.І.\n"
             "Критерії оцінювання: Задовільно >= 60%, Добре >= 75%, Відмінно >= 90%.\n"
             "\n"
             "Результати тестування:\n"
             "№ питання  Кількість балів  Відповідь\n"
             "     1          2.00        1, 3,\n"
             "    12          0.00       2,1,0,\n"
             "     3          1.50        А:2,3, Б:1,\n"
             "     4          0.00       Київ місто\n"
             "     5          0.00       \n"
             "  1000          10.25        Б:0,2,\n"
             "Всього балів: 13.75 з 26 можливих\n"
             " або 53 відсотків за час 62 хвилин 5 секунд.\n"
             "Оцінка: Незадовільно\n");

} // namespace

TEST(ReportReaderTest, ReadsEveryRowOfAFinishedReport)
{
    auto result = readReport(kReport);
    ASSERT_TRUE(std::holds_alternative<ParsedReport>(result)) << std::get<Fault>(result).message;
    const ParsedReport& r = std::get<ParsedReport>(result);
    EXPECT_EQ((std::array{r.day, r.month, r.year, r.hour, r.minute, r.second}),
              (std::array{7, 12, 2026, 10, 5, 9}));
    EXPECT_EQ(r.subjectName, toCp1251("Хімія"));
    EXPECT_EQ(r.testName, toCp1251("Гази"));
    EXPECT_EQ(r.directory, "/home/lab/test");
    EXPECT_EQ(r.studentName, toCp1251("Петренко П.І."));
    EXPECT_FALSE(r.byTime);
    EXPECT_EQ((std::array{r.criteria[0], r.criteria[1], r.criteria[2]}), (std::array{60, 75, 90}));
    ASSERT_TRUE(r.headerComplete);

    const struct
    {
        int32_t question;
        const char* points;
        const char* answer;
    } rows[] = {
        {1, "2.00", " 1, 3,"},     {12, "0.00", "2,1,0,"}, {3, "1.50", " А:2,3, Б:1,"},
        {4, "0.00", "Київ місто"}, {5, "0.00", ""},        {1000, "10.25", " Б:0,2,"},
    };
    ASSERT_EQ(r.rows.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(r.rows[i].question, rows[i].question) << i;
        EXPECT_EQ(r.rows[i].pointsText, rows[i].points) << i;
        EXPECT_EQ(r.rows[i].answer, toCp1251(rows[i].answer)) << i;
    }
    EXPECT_DOUBLE_EQ(r.rows[5].points, 10.25);

    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.scoreText, "13.75");
    EXPECT_EQ(r.maxScore, 26);
    EXPECT_EQ(r.percent, 53);
    EXPECT_EQ(r.elapsedSeconds(), 3725u);
    EXPECT_EQ(r.grade, toCp1251("Незадовільно"));
}

TEST(ReportReaderTest, WritesBackTheSameBytes)
{
    const ParsedReport r = std::get<ParsedReport>(readReport(kReport));
    std::string again = r.header;
    for (const ReportRow& row : r.rows) {
        again += formatReportRow(row.question, row.points, row.answer);
    }
    again += formatClosingRows(r.score, r.maxScore, r.percent, r.elapsedSeconds(), r.grade);
    EXPECT_EQ(again, kReport);
}

TEST(ReportReaderTest, TimeCriteria)
{
    std::string text = kReport;
    const std::string from = toCp1251("Задовільно >= 60%, Добре >= 75%, Відмінно >= 90%.");
    text.replace(text.find(from), from.size(),
                 toCp1251("Задовільно <= 900c, Добре <= 600c, Відмінно <= 300c."));
    const ParsedReport r = std::get<ParsedReport>(readReport(text));
    EXPECT_TRUE(r.byTime);
    EXPECT_EQ((std::array{r.criteria[0], r.criteria[1], r.criteria[2]}),
              (std::array{900, 600, 300}));
}

// A program killed at any moment leaves a prefix of its report: every
// prefix reads as a report, unfinished, with the rows whose line is whole.
TEST(ReportReaderTest, EveryCutShortReportIsReadAsFarAsItGoes)
{
    const std::size_t firstRow = kReport.find(toCp1251("     1   "));
    const std::size_t closing = kReport.find(toCp1251("Всього"));
    for (std::size_t n = 1; n < kReport.size(); ++n) {
        auto result = readReport(std::string_view(kReport).substr(0, n));
        ASSERT_TRUE(std::holds_alternative<ParsedReport>(result))
            << n << ": " << std::get<Fault>(result).message;
        const ParsedReport& r = std::get<ParsedReport>(result);
        EXPECT_FALSE(r.finished) << n;
        EXPECT_EQ(r.headerComplete, n >= firstRow) << n;
        std::size_t whole = 0; // rows whose LF is within the prefix
        for (std::size_t at = firstRow; at < closing && at < n;) {
            const std::size_t lf = kReport.find('\n', at);
            if (lf >= n) {
                break;
            }
            ++whole;
            at = lf + 1;
        }
        EXPECT_EQ(r.rows.size(), whole) << n;
    }
}

TEST(ReportReaderTest, AFileThatIsNotAReportIsAFaultNamingTheLine)
{
    const std::string row = toCp1251("     1          2.00        1, 3,\n");
    const struct
    {
        std::string bytes;
        const char* message;
    } cases[] = {
        {"", "not a report: line 1: expected the date line"},
        {"\x89PNG\r\n\x1a\n", "not a report: line 1: expected the date line"},
        {"Hello, world\n", "not a report: line 1: expected the date line"},
        // A question line that is not one.
        {std::string(kReport).replace(kReport.find(row), row.size(), "garbage\n"),
         "not a report: line 10: expected a question line"},
        // Points without their two decimals.
        {std::string(kReport).replace(kReport.find(row), row.size(),
                                      "     1          2        1,\n"),
         "not a report: line 10: expected the points of a question"},
        // Something after the grade line.
        {kReport + "more\n",
         "not a report: line 19: expected the end of the report after the grade line"},
        // The directory line of the test name is missing.
        {toCp1251("Дата:  7.12.2026   Час: 10. 5. 9\nНайменування дисципліни: Х\nНазва тесту: Г\n"
                  "Прізвище та ім'я: П\nКритерії оцінювання: Задовільно >= 60%, Добре >= 75%, "
                  "Відмінно >= 90%.\n\nРезультати тестування:\n"),
         "not a report: line 5: expected the test's directory in brackets"},
    };
    for (const auto& c : cases) {
        auto result = readReport(c.bytes);
        ASSERT_TRUE(std::holds_alternative<Fault>(result)) << c.message;
        EXPECT_EQ(std::get<Fault>(result).message, c.message);
    }
}

TEST(ReportReaderTest, ChoiceNumbers)
{
    const struct
    {
        const char* column;
        std::optional<std::vector<int32_t>> numbers;
    } cases[] = {
        {"", std::vector<int32_t>{}},
        {" 1,", std::vector<int32_t>{1}},
        {" 1, 3,12,", std::vector<int32_t>{1, 3, 12}},
        {"-3, 0,", std::vector<int32_t>{-3, 0}}, // typed numbers are written as read
        {" 1, 3", std::nullopt},                 // every entry ends with a comma
        {" А:1,", std::nullopt},
        {"Київ", std::nullopt},
        {"99999999999,", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(choiceNumbers(c.column), c.numbers) << c.column;
    }
}

TEST(ReportReaderTest, MatchingRows)
{
    using Rows = std::vector<MatchingRow>;
    const auto rows = matchingRows(toCp1251(" А:2,3, Б:1, В:0,2,"));
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ((*rows)[0].label, toCp1251("А")[0]);
    EXPECT_EQ((*rows)[0].numbers, (std::vector<int32_t>{2, 3}));
    EXPECT_EQ((*rows)[1].numbers, (std::vector<int32_t>{1}));
    EXPECT_EQ((*rows)[2].numbers, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(matchingRows(""), Rows{});
    // A label may be any byte, a digit or a colon too.
    ASSERT_TRUE(matchingRows(" 1:2, ::1,"));
    EXPECT_EQ((*matchingRows(" 1:2, ::1,"))[1].label, ':');
    for (const char* bad : {"2,", " А:", " А:2", " А:x,", " А:2,,", "А:2,", " А:99999999999,"}) {
        EXPECT_EQ(matchingRows(toCp1251(bad)), std::nullopt) << bad;
    }
}

// A folder collected from the lab: reports in subfolders, a foreign file,
// a cut-short report; each comes back by its name, in name order.
TEST(ReportReaderTest, FolderNamesEveryFile)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path root(tmp.path().toStdString());
    fs::create_directories(root / "pc02");
    auto put = [&](const fs::path& p, const std::string& bytes) {
        std::ofstream(root / p, std::ios::binary) << bytes;
    };
    put("pc02/b.txt", kReport);
    put("a.txt", kReport.substr(0, kReport.find(toCp1251("    12 "))));
    put("notes.docx", "PK\x03\x04");

    ReportFolder folder(root);
    auto all = folder.reports();
    ASSERT_TRUE((std::holds_alternative<std::vector<SourcedReport>>(all)));
    const auto& reports = std::get<std::vector<SourcedReport>>(all);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].name, "a.txt");
    ASSERT_TRUE(std::holds_alternative<ParsedReport>(reports[0].report));
    EXPECT_FALSE(std::get<ParsedReport>(reports[0].report).finished);
    EXPECT_EQ(std::get<ParsedReport>(reports[0].report).rows.size(), 1u);
    EXPECT_EQ(reports[1].name, "notes.docx");
    EXPECT_TRUE(std::holds_alternative<Fault>(reports[1].report));
    EXPECT_EQ(reports[2].name, "pc02/b.txt");
    EXPECT_TRUE(std::get<ParsedReport>(reports[2].report).finished);

    ReportFolder missing(root / "none");
    EXPECT_TRUE(std::holds_alternative<Fault>(missing.reports()));
}

TEST(ReportReaderTest, ReadingIsBounded)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path file = fs::path(tmp.path().toStdString()) / "big.txt";
    std::ofstream(file, std::ios::binary) << std::string(1000, 'x');
    EXPECT_EQ(readFileBounded(file, 1000).value(), std::string(1000, 'x'));
    const auto larger = readFileBounded(file, 999);
    ASSERT_FALSE(larger.ok());
    EXPECT_EQ(larger.fault().message, "larger than 999 bytes");
}
