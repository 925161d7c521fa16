#include "TestFiles.h"

#include "definition/HeaderParser.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qdtest;

namespace {

Status parseHeaderText(TestModel& m, const std::string& utf8, int width = 1024)
{
    m.answersText = toCp1251(utf8);
    return parseHeader(m, width);
}

} // namespace

TEST(HeaderParser, TheExampleHeaderWithAnyLabels)
{
    const std::string asWritten =
        "Дисципліна: Хімія#\r\nТест: Кислоти#\r\nПитань: 10\r\nРозділів: 2\r\n"
        "Перші питання розділів: 1,6\r\nЗадавати: 5\r\nШрифт: 16\r\nЖирний: 0\r\n"
        "Секунд на питання: 60\r\nХвилин на тест: 10\r\nЗадовільно від: 60\r\nДобре від: 75\r\n"
        "Відмінно від: 90\r\nОцінка за часом: 0\r\nВідмінно до: 300\r\nДобре до: 600\r\n"
        "Задовільно до: 900\r\nРозділи випадково: 1\r\nПитання випадково: 1\r\nВідповіді "
        "випадково: 1\r\n";
    const std::string otherLabels =
        headerText({"Хімія", "Кислоти", "10", "2", "1,6", "5",   "16",  "0", "60", "10",
                    "60",    "75",      "90", "0", "300", "600", "900", "1", "1",  "1"});
    for (const std::string& text : {asWritten, otherLabels}) {
        TestModel m;
        ASSERT_TRUE(parseHeaderText(m, text).ok());
        EXPECT_EQ(m.subjectName, toCp1251(" Хімія"));
        EXPECT_EQ(m.testName, toCp1251(" Кислоти"));
        EXPECT_EQ(m.questionCount, 10);
        EXPECT_EQ(m.sectionCount, 2);
        EXPECT_EQ(m.sectionStarts, (std::vector<int32_t>{1, 6}));
        EXPECT_EQ(m.askCount, 5);
        EXPECT_EQ(m.fontSize, 16);
        EXPECT_EQ(m.lineHeight, 16);
        EXPECT_EQ(m.fontBold, 0);
        EXPECT_EQ(m.questionSeconds, 60);
        EXPECT_EQ(m.testMinutes, 10);
        EXPECT_EQ((std::array{m.satisfactoryPercent, m.goodPercent, m.excellentPercent}),
                  (std::array{60, 75, 90}));
        EXPECT_EQ(m.gradeByTime, 0);
        EXPECT_EQ((std::array{m.excellentSeconds, m.goodSeconds, m.satisfactorySeconds}),
                  (std::array{300, 600, 900}));
        EXPECT_EQ((std::array{m.randomSectionOrder, m.randomQuestionOrder, m.randomOptionOrder}),
                  (std::array{1, 1, 1}));
    }
}

TEST(HeaderParser, TextsMayBeEmptyAndEndAtANulByte)
{
    std::string text = headerText(defaultHeader());
    text.replace(0, text.find('#') + 1, "Дисциплина:#");
    TestModel m;
    m.answersText = toCp1251(text);
    m.answersText[m.answersText.find(toCp1251("Кислоти"))] = '\0';
    ASSERT_TRUE(parseHeader(m, 1024).ok());
    EXPECT_EQ(m.subjectName, "");
    EXPECT_EQ(m.testName, " ");
    EXPECT_EQ(m.questionCount, 2);
}

TEST(HeaderParser, NarrowWindowsGetASmallerFont)
{
    struct Case
    {
        int width;
        const char* size;
        const char* bold;
        int fontSize;
        int lineHeight;
        int fontBold;
    };
    const Case cases[] = {
        {640, "28", "1", 24, 19, 0}, {640, "10", "0", 6, 4, 0},    {649, "16", "1", 12, 9, 0},
        {650, "28", "1", 28, 28, 1}, {1024, "10", "0", 10, 10, 0},
    };
    for (const Case& c : cases) {
        TestModel m;
        ASSERT_TRUE(parseHeaderText(m, headerWith({{6, c.size}, {7, c.bold}}), c.width).ok());
        EXPECT_EQ(m.fontSize, c.fontSize) << c.width << " " << c.size;
        EXPECT_EQ(m.lineHeight, c.lineHeight) << c.width << " " << c.size;
        EXPECT_EQ(m.fontBold, c.fontBold) << c.width << " " << c.size;
    }
}

TEST(HeaderParser, SectionListsWithinTheirSpan)
{
    struct Case
    {
        int nq;
        const char* sectionCount;
        const char* list;
        std::vector<int32_t> sectionStarts;
    };
    const Case cases[] = {
        {100, "3", "1, 40, 80", {1, 40, 80}},
        {1000, "2", "1,   1000", {1, 1000}},
        {1, "1", "1", {1}},
    };
    for (const Case& c : cases) {
        TestModel m;
        ASSERT_TRUE(parseHeaderText(m, headerWith({{3, c.sectionCount}, {4, c.list}}, c.nq)).ok())
            << c.list;
        EXPECT_EQ(m.sectionStarts, c.sectionStarts) << c.list;
    }
}

TEST(HeaderParser, ExtraSettingsBehindTheLastEntry)
{
    struct Case
    {
        std::string tail;
        int16_t keyboardLayout;
        std::string reportDir;
    };
    const Case cases[] = {
        {"", 0, ""},
        {"Розкладка: 1\r\n", 1, ""},
        {"Розкладка: 2\r\nКаталог: D:\\Rez Test\\ 2024\r\n", 2, "D:\\RezTest\\2024"},
        {"Розкладка: 0\r\nКаталог: D:\\Rez", 0, ""}, // no line end: nothing copied
        {"Розкладка: 0\r\nКаталог:" + std::string(127, 'd') + "\r\n", 0, std::string(127, 'd')},
    };
    for (const Case& c : cases) {
        const LoadResult r = loadUtf8("1) Q <a> <b>#", headerWith({}, 1) + "1) 1 2 1\r\n" + c.tail);
        const TestModel* m = modelOf(r);
        ASSERT_TRUE(m) << c.tail;
        EXPECT_EQ(m->keyboardLayout, c.keyboardLayout) << c.tail;
        EXPECT_EQ(m->reportDir, c.reportDir) << c.tail;
    }
}
