#include "screen/AnswerLayout.h"

#include <gtest/gtest.h>

#include <string>

using namespace qd;

namespace {

// Lays out `text` (the question text behind its number mark) with options
// paired as the parser pairs them.
Question laidOut(const std::string& text, int char_w = 8, int line_h = 16)
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
        slot.str = text.substr(lt, gt - lt + 1);
        q.ans.push_back(slot);
        pos = gt + 1;
    }
    q.nans = int(q.ans.size());
    fillcoord(q, text.data(), int(text.size()), char_w, line_h);
    return q;
}

} // namespace

TEST(AnswerLayout, RectOfASingleLineOption)
{
    // Third line, "<" the fifth character, ">" the twelfth.
    AnswerSlot s;
    s.row1 = s.row2 = 3;
    s.col1 = 5;
    s.col2 = 12;
    s.str = "<abcdef>";
    rect(s, 8, 16);
    EXPECT_EQ(s.left, 32);
    EXPECT_EQ(s.top, 32);
    EXPECT_EQ(s.right, 96);
    EXPECT_EQ(s.bottom, 46);
}

TEST(AnswerLayout, FirstLineCountsFromZeroLaterLinesFromOne)
{
    const Question q = laidOut(" Stem <a>\r\n  <bb>  <c>");
    ASSERT_EQ(q.nans, 3);
    EXPECT_EQ(q.ans[0].row1, 1);
    EXPECT_EQ(q.ans[0].col1, 6);
    EXPECT_EQ(q.ans[0].col2, 8);
    EXPECT_EQ(q.ans[1].row1, 2);
    EXPECT_EQ(q.ans[1].col1, 3);
    EXPECT_EQ(q.ans[1].col2, 6);
    EXPECT_EQ(q.ans[2].col1, 9);
    EXPECT_EQ(q.ans[2].bottom - q.ans[2].top, 16 - 2);
}

TEST(AnswerLayout, MultiLineOptionWidensToItsWidestLineButNotItsBlanks)
{
    // The first line runs to column 1 + 9; trailing blanks do not count.
    const Question q = laidOut("Q\r\n<first line     \r\nxx>");
    ASSERT_EQ(q.nans, 1);
    const AnswerSlot& a = q.ans[0];
    EXPECT_EQ(a.row1, 2);
    EXPECT_EQ(a.row2, 3);
    EXPECT_EQ(a.col1, 1);
    EXPECT_EQ(a.col2, 1 + 11);
    EXPECT_EQ(a.right, 12 * 8);
    EXPECT_EQ(a.top, 16);
    EXPECT_EQ(a.bottom, 3 * 16 - 2);
}

TEST(AnswerLayout, StrayBracketsDoNotShiftLaterOptions)
{
    const Question clean = laidOut("Is a bigger?\r\n<yes>\r\n<no>");
    const Question stray = laidOut("Is a > b?\r\n<yes>\r\n<no <maybe>");
    ASSERT_EQ(stray.nans, 2);
    EXPECT_EQ(stray.ans[0].row1, clean.ans[0].row1);
    EXPECT_EQ(stray.ans[0].col1, clean.ans[0].col1);
    EXPECT_EQ(stray.ans[0].col2, clean.ans[0].col2);
    EXPECT_EQ(stray.ans[1].row1, 3);
    EXPECT_EQ(stray.ans[1].col1, 1);
    EXPECT_EQ(stray.ans[1].col2, 11);
}
