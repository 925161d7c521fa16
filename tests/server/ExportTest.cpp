#include "CellText.h"
#include "Exports.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace qd::server;

namespace {

// A finished sitting on 7 December 2026 from 10:00:00 to 10:12:30.
Sitting sitting(std::string student, std::string computer)
{
    Sitting s;
    s.id = 1;
    s.student = std::move(student);
    s.computer = std::move(computer);
    s.state = SittingState::Finished;
    s.percent = 96;
    s.grade = "Відмінно";
    s.started = 1796637600; // calendar seconds of 2026-12-07 10:00:00
    s.finished = s.started + 750;
    return s;
}

} // namespace

TEST(Export, FormulaStartersAreNeutralisedAndNumbersStay)
{
    struct Case
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")"},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tpc", "'\tpc"},
        {"\rpc", "'\rpc"},
        {"-5", "-5"},
        {"12.50", "12.50"},
        {"Бондар Т.", "Бондар Т."},
        {"a=b", "a=b"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(csvText(c.in), c.out) << c.in;
    }
    const std::string csv = sittingsCsv({sitting("=1+1", "@pc")}, ',');
    EXPECT_NE(csv.find("\r\n'=1+1,'@pc,2026-12-07T10:00:00,2026-12-07T10:12:30,750,finished,96,"),
              std::string::npos)
        << csv;
}

// In the workbook the names are text cells formatted as text, the times
// dates (numbers with a date format), the percentage a number.
TEST(Export, WorkbookKeepsTextAsTextAndTimesAsDates)
{
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty()) {
        GTEST_SKIP() << "unzip is not installed";
    }
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("s.xlsx")).toStdString();
    ASSERT_TRUE(writeXlsx(path, {sitting("=1+1", "pc-1")}, {}, false).ok());
    const auto part = [&](const char* name) {
        QProcess p;
        p.start(unzip,
                {QStringLiteral("-p"), QString::fromStdString(path), QString::fromLatin1(name)});
        p.waitForFinished(10000);
        return p.readAllStandardOutput().toStdString();
    };
    const std::string sheet = part("xl/worksheets/sheet1.xml");
    const std::string styles = part("xl/styles.xml");
    const std::string strings = part("xl/sharedStrings.xml");
    EXPECT_NE(strings.find("<t>=1+1</t>"), std::string::npos) << strings;
    EXPECT_EQ(sheet.find("<f>"), std::string::npos); // no formula anywhere
    EXPECT_NE(styles.find("formatCode=\"@\""), std::string::npos) << styles;
    EXPECT_NE(styles.find("formatCode=\"yyyy-mm-dd hh:mm:ss\""), std::string::npos);
    // 2026-12-07 10:00:00 is day 46363 and 10/24 in Excel's count.
    EXPECT_NE(sheet.find("<v>46363.41666666666"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<v>96</v>"), std::string::npos);
}

// The gradebook's columns follow the old ones; the test's name is text made
// harmless like a student's name; the maxima stand in a row under the
// header; points and maxima stay numbers in the workbook.
TEST(Export, GradebookColumnsComeLastAndKeepTheirKinds)
{
    Sitting s = sitting("=1+1", "pc");
    s.score = 25.5;
    s.maxScore = 27;
    const std::vector<AnswerRow> answers = {{1, 1, 2.0, "1,"}, {1, 2, 0.5, "2,"}};
    Gradebook g;
    g.testNames[1] = "=SUM(A1)";
    g.tests.push_back({"=SUM(A1)", {{1, 2}, {2, 3}}});

    EXPECT_EQ(matrixCsv({s}, answers, ',', g), "student,computer,1,2,points,max,test\r\n"
                                               "maximum,,2,3,,,'=SUM(A1)\r\n"
                                               "'=1+1,pc,2.00,0.50,25.50,27,'=SUM(A1)\r\n");
    // Without the tests: no row of maxima, the columns all the same.
    EXPECT_EQ(matrixCsv({s}, answers, ';'), "student;computer;1;2;points;max;test\r\n"
                                            "'=1+1;pc;2.00;0.50;25.50;27;\r\n");
    const std::string csv = sittingsCsv({s}, ',', g);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")),
              "student,computer,started,finished,duration,state,percent,grade,points,max,"
              "verified,claimed percent,claimed grade,flags,test");
    EXPECT_NE(csv.find(",25.50,27,not checked,,,,'=SUM(A1)\r\n"), std::string::npos) << csv;

    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty()) {
        GTEST_SKIP() << "unzip is not installed";
    }
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("m.xlsx")).toStdString();
    ASSERT_TRUE(writeXlsx(path, {s}, answers, true, g).ok());
    QProcess p;
    p.start(unzip, {QStringLiteral("-p"), QString::fromStdString(path),
                    QStringLiteral("xl/worksheets/sheet1.xml")});
    p.waitForFinished(10000);
    const std::string sheet = p.readAllStandardOutput().toStdString();
    EXPECT_EQ(sheet.find("<f>"), std::string::npos) << sheet;
    // Row 2 holds the maxima (numbers), row 3 the points, their sum and
    // the maximum (numbers); the names are strings.
    for (const char* cell :
         {"<c r=\"C2\" s=\"1\"><v>2</v>", "<c r=\"D2\" s=\"1\"><v>3</v>", "<c r=\"C3\"><v>2</v>",
          "<c r=\"D3\"><v>0.5</v>", "<c r=\"E3\"><v>25.5</v>", "<c r=\"F3\"><v>27</v>",
          "<c r=\"G3\" s=\"2\" t=\"s\">"}) {
        EXPECT_NE(sheet.find(cell), std::string::npos) << cell << "\n" << sheet;
    }
}
