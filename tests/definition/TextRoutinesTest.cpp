#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qd;

TEST(TextRoutines, TabsExpandToStopsOfSix)
{
    EXPECT_EQ(expandTabs("a\tb"), "a     b");
    EXPECT_EQ(expandTabs("abcde\tX"), "abcde X");
    EXPECT_EQ(expandTabs("abcdef\tX"), "abcdef      X");
    EXPECT_EQ(expandTabs("xy\r\n\tZ"), "xy\r\n      Z");
}

TEST(TextRoutines, SearchStaysWithinLengthAndBuffer)
{
    EXPECT_EQ(findWithin("abcabc", "ca", 6), 2);
    EXPECT_EQ(findWithin("abcabc", "ca", 3), -1); // must lie wholly within len
    EXPECT_EQ(findWithin("abc", "c", 1000), 2);   // len beyond the buffer
    EXPECT_EQ(findWithin("abc", "", 3), 0);
    EXPECT_EQ(findWithin("abc", "a", 0), -1);
    EXPECT_EQ(findBehind("x: 12", 0, ":", 100), 2);
    EXPECT_EQ(findBehind("x: 12", 2, ":", 100), -1);
}

TEST(TextRoutines, CopyReadsTheIntegerBehindTheKey)
{
    const std::string text = toCp1251("Кількість: 12");
    int32_t out = -7;
    const int p = copyInt(text, 0, ":", int(text.size()), out);
    EXPECT_EQ(out, 12);
    EXPECT_EQ(p, int(text.find(':')) + 1);
    out = -7;
    EXPECT_EQ(copyInt(text, 0, "#", int(text.size()), out), -1);
    EXPECT_EQ(out, -7);
}

TEST(TextRoutines, IntegersSaturateAndStopAtTheBufferEnd)
{
    EXPECT_EQ(readInt(" \r\n -42x"), -42);
    EXPECT_EQ(readInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(readInt("-99999999999999999999"), -2147483647 - 1);
    bool digits = true;
    EXPECT_EQ(readInt("  ", &digits), 0);
    EXPECT_FALSE(digits);
    // A view that ends inside a longer string: the digits behind it are not read.
    const std::string full = "1234";
    EXPECT_EQ(readInt(std::string_view(full).substr(0, 2)), 12);
}

TEST(TextRoutines, ReadNumbers)
{
    struct Case
    {
        const char* text;
        int span;
        int max;
        int result;
        std::vector<int32_t> numbers;
    };
    const Case cases[] = {
        {"1,3, 5", 6, 50, 3, {1, 3, 5}},
        {"1,,3", 4, 50, -2, {}},
        {"/", 0, 50, -2, {}},
        {"1,2,3", 5, 2, -1, {}},
        {"1,   1000", 8, 2, 2, {1, 1000}},
        {"1, 2, 3", 3, 50, 2, {1, 2}}, // the second comma lies beyond the span
    };
    for (const Case& c : cases) {
        std::vector<int32_t> out(std::size_t(c.max));
        EXPECT_EQ(readNumbers(c.text, c.span, c.max, out.data()), c.result) << c.text;
        for (std::size_t i = 0; i < c.numbers.size(); ++i) {
            EXPECT_EQ(out[i], c.numbers[i]) << c.text;
        }
    }
    std::string fifty_one;
    for (int i = 1; i <= 51; ++i) {
        fifty_one += std::to_string(i) + (i < 51 ? "," : "");
    }
    std::vector<int32_t> out(50);
    EXPECT_EQ(readNumbers(fifty_one, int(fifty_one.size()), 50, out.data()), -1);
}

TEST(TextRoutines, BlankRangesAndDistinctValues)
{
    EXPECT_TRUE(isBlank("a \r\n b", 1, 4));
    EXPECT_FALSE(isBlank("a \r\n b", 1, 5));
    EXPECT_TRUE(isBlank("ab", 1, 0)); // empty range
    EXPECT_FALSE(isBlank(" ", 0, 5)); // a range past the buffer is not blank
    const int32_t v[] = {1, 2, 3, 2};
    EXPECT_TRUE(allDifferent(v, 3));
    EXPECT_FALSE(allDifferent(v, 4));
    EXPECT_EQ(indexOf(v, 2, 4), 1);
    EXPECT_EQ(indexOf(v, 9, 4), -1);
}

TEST(TextRoutines, BlankRemovalRefusesLongTexts)
{
    std::string s(127, 'x');
    s[5] = ' ';
    EXPECT_TRUE(removeBlanks(s).ok());
    EXPECT_EQ(s.size(), 126u);
    std::string t(128, 'x');
    const Status st = removeBlanks(t);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ(st.fault().message, toCp1251("В функции delsp() сишком длинная строка!"));
}

TEST(TextRoutines, RestOfLineCopiesWithoutItsLineEnd)
{
    std::string dst;
    EXPECT_TRUE(copyLineWithoutBlanks(dst, " D:\\Rez dir \r\nnext").ok());
    EXPECT_EQ(dst, "D:\\Rezdir");
    dst.clear();
    EXPECT_TRUE(copyLineWithoutBlanks(dst, "no line end").ok());
    EXPECT_EQ(dst, "");
    // A 200-byte line is refused before anything is copied.
    const std::string longLine = std::string(200, 'a') + "\r\n";
    EXPECT_FALSE(copyLineWithoutBlanks(dst, longLine).ok());
    EXPECT_EQ(dst, "");
    // No line feed within 255 bytes: nothing.
    EXPECT_TRUE(copyLineWithoutBlanks(dst, std::string(300, 'a') + "\r\n").ok());
}

TEST(TextRoutines, FileNameCleaning)
{
    std::string s = toCp1251("Іванов І.І.");
    makeFileNameSafe(s);
    EXPECT_EQ(s, toCp1251("Iванов I_I_"));
    std::string t(30, 'a');
    makeFileNameSafe(t);
    EXPECT_EQ(t.size(), 20u);
    std::string u = "a/b\\c";
    makeFileNameSafe(u);
    EXPECT_EQ(u, "a_b_c");
}
