#include "definition/AnswerLayout.h"

#include <gtest/gtest.h>

#include <string>

using namespace qd;

namespace {

// Lays out `text` (the question text behind its number mark) with options
// paired as the parser pairs them.
Question laidOut(const std::string& text, int charWidth = 8, int lineHeight = 16)
{
    Question q;
    std::size_t pos = 0;
    while (true) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string::npos) {
            break;
        }
        const std::size_t gt = text.find('>', lt);
        AnswerSlot slot;
        slot.text = text.substr(lt, gt - lt + 1);
        q.options.push_back(slot);
        pos = gt + 1;
    }
    q.optionCount = int(q.options.size());
    placeOptions(q, text.data(), int(text.size()), charWidth, lineHeight);
    return q;
}

} // namespace

TEST(AnswerLayout, RectOfASingleLineOption)
{
    // Third line, "<" the fifth character, ">" the twelfth.
    AnswerSlot s;
    s.startRow = s.endRow = 3;
    s.startColumn = 5;
    s.endColumn = 12;
    s.text = "<abcdef>";
    rect(s, 8, 16);
    EXPECT_EQ(s.left, 32);
    EXPECT_EQ(s.top, 32);
    EXPECT_EQ(s.right, 96);
    EXPECT_EQ(s.bottom, 46);
}

TEST(AnswerLayout, FirstLineCountsFromZeroLaterLinesFromOne)
{
    const Question q = laidOut(" Stem <a>\r\n  <bb>  <c>");
    ASSERT_EQ(q.optionCount, 3);
    EXPECT_EQ(q.options[0].startRow, 1);
    EXPECT_EQ(q.options[0].startColumn, 6);
    EXPECT_EQ(q.options[0].endColumn, 8);
    EXPECT_EQ(q.options[1].startRow, 2);
    EXPECT_EQ(q.options[1].startColumn, 3);
    EXPECT_EQ(q.options[1].endColumn, 6);
    EXPECT_EQ(q.options[2].startColumn, 9);
    EXPECT_EQ(q.options[2].bottom - q.options[2].top, 16 - 2);
}

TEST(AnswerLayout, MultiLineOptionWidensToItsWidestLineButNotItsBlanks)
{
    // The first line runs to column 1 + 9; trailing blanks do not count.
    const Question q = laidOut("Q\r\n<first line     \r\nxx>");
    ASSERT_EQ(q.optionCount, 1);
    const AnswerSlot& a = q.options[0];
    EXPECT_EQ(a.startRow, 2);
    EXPECT_EQ(a.endRow, 3);
    EXPECT_EQ(a.startColumn, 1);
    EXPECT_EQ(a.endColumn, 1 + 11);
    EXPECT_EQ(a.right, 12 * 8);
    EXPECT_EQ(a.top, 16);
    EXPECT_EQ(a.bottom, 3 * 16 - 2);
}

TEST(AnswerLayout, StrayBracketsDoNotShiftLaterOptions)
{
    const Question clean = laidOut("Is a bigger?\r\n<yes>\r\n<no>");
    const Question stray = laidOut("Is a > b?\r\n<yes>\r\n<no <maybe>");
    ASSERT_EQ(stray.optionCount, 2);
    EXPECT_EQ(stray.options[0].startRow, clean.options[0].startRow);
    EXPECT_EQ(stray.options[0].startColumn, clean.options[0].startColumn);
    EXPECT_EQ(stray.options[0].endColumn, clean.options[0].endColumn);
    EXPECT_EQ(stray.options[1].startRow, 3);
    EXPECT_EQ(stray.options[1].startColumn, 1);
    EXPECT_EQ(stray.options[1].endColumn, 11);
}
