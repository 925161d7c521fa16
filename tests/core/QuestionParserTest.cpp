#include "../support/TestFiles.h"

#include "definition/QuestionParser.h"

#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

using namespace qd;
using namespace qdtest;

namespace {

std::string withHeader(const std::string& entries, int nq = 1)
{
    return headerWith({}, nq) + entries;
}

// The file texts of the options of a column, in row order.
std::vector<std::string> cellTexts(const Column& c)
{
    std::vector<std::string> out;
    for (const AnswerSlot& s : c.cell) {
        out.push_back(fromCp1251(s.str));
    }
    return out;
}

} // namespace

TEST(QuestionParser, TheMinimalTwoQuestionTest)
{
    const LoadResult r = loadTestBytes(toCp1251("1) Столиця України? <Київ> <Львів>#\r\n2) Назвіть столицю.#&"),
                                       toCp1251(withHeader("1) 1 1 2\r\n2) 5 / Київ / 1", 2)),
                                       {0, 10, 1024, 768}, [](int, bool) { return kTestCharW; });
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->stq.size(), 2u);
    const Question& q1 = m->stq[0];
    EXPECT_EQ(q1.type, 1);
    EXPECT_EQ(q1.graph, 0);
    EXPECT_EQ(fromCp1251(q1.text), " Столиця України? ");
    EXPECT_EQ(q1.lenq, int(q1.text.size()));
    EXPECT_EQ(q1.indent, (2 + 1 - 1) * kTestCharW);
    ASSERT_EQ(q1.nans, 2);
    EXPECT_EQ(fromCp1251(q1.ans[0].str), "<Київ>");
    EXPECT_EQ(fromCp1251(q1.ans[1].str), "<Львів>");
    // First line: columns are offsets from just behind the mark.
    EXPECT_EQ(q1.ans[1].col1, 25);
    EXPECT_EQ(q1.ans[1].col2, 31);
    EXPECT_EQ(q1.ans[1].left, 24 * kTestCharW);
    EXPECT_EQ(q1.ans[1].right, 31 * kTestCharW);
    EXPECT_EQ(q1.nrans, 1);
    EXPECT_EQ(q1.rans[0], 1);
    EXPECT_EQ(q1.mark, 2);
    EXPECT_EQ(q1.ord[1], 1);

    const Question& q2 = m->stq[1];
    EXPECT_EQ(q2.type, 5);
    EXPECT_EQ(q2.graph, 1);
    EXPECT_EQ(q2.nans, 0);
    ASSERT_EQ(q2.ans.size(), 1u);
    EXPECT_EQ(q2.ans[0].top, 10 + 768); // the window's bottom edge
    EXPECT_EQ(fromCp1251(q2.tans), "київ");
    EXPECT_EQ(q2.mark, 1);
    EXPECT_EQ(m->posO_end, int(m->bufO.rfind('/')) + 1); // behind the closing slash
}

TEST(QuestionParser, IndentCountsTheBlanksAroundTheMark)
{
    const LoadResult r = loadUtf8("1)Q <a> <b>#\r\n   2)   R <a> <b>#", withHeader("1) 1 1 1\r\n2) 1 1 1", 2));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->stq[0].indent, (2 + 0 + 0 - 1) * kTestCharW);
    EXPECT_EQ(m->stq[1].indent, (2 + 3 + 3 - 1) * kTestCharW);
    EXPECT_EQ(fromCp1251(m->stq[1].text), "   R ");
}

TEST(QuestionParser, PictureMarkAfterTheClosingHash)
{
    struct Case { const char* questions; const char* answers; int graph; int nans; const char* message; };
    const Case cases[] = {
        {"1) Q <a> <b>#&", "1) 1 2 1", 1, 2, ""},
        {"1) Q <a> <b>#\r\n&", "1) 1 2 1", 0, 2, ""},
        // Without options the picture holds them: typed answers, whatever the type.
        {"1) Q#&", "1) 1 7 1", 2, 0, ""},
        {"1) Q#&", "1) 2 / 3,4 / 1", 2, 0, ""},
        {"1) Q#&", "1) 3 / 2,1 / 1", 2, 0, ""},
        {"1) Q#&", "1) 4 / а: 1; б: 2,7 / 1", 2, 0, ""},
        {"1) Q#&", "1) 6 / ab; ba / 1", 2, 0, ""},
        {"1) Q#&", "1) 5 / a / 1", 1, 0, ""},
        {"1) Q <a>#&", "1) 1 1 1", 0, 0, "В вопросе 1 не правильно расставлены знаки '<'!"},
        {"1) Q#", "1) 1 1 1", 0, 0, "В вопросе 1 не правильно расставлены знаки '<'!"},
    };
    for (const Case& c : cases) {
        const LoadResult r = loadUtf8(c.questions, withHeader(c.answers));
        EXPECT_EQ(faultOf(r), c.message) << c.questions << " / " << c.answers;
        if (*c.message) {
            continue;
        }
        const Question& q = std::get<std::unique_ptr<TestModel>>(r)->stq[0];
        EXPECT_EQ(q.graph, c.graph) << c.questions << " / " << c.answers;
        EXPECT_EQ(q.nans, c.nans) << c.questions << " / " << c.answers;
    }
}

TEST(QuestionParser, TypedKeysAndGroupsOfAPictureQuestion)
{
    const LoadResult r = loadUtf8("1) Q#&\r\n2) R#&", withHeader("1) 6 / a21; b10 / 2\r\n2) 4 / А: 1,3; Б: 2 / 3", 2));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->stq[0].sans, (std::vector<std::string>{"a21", "b10"}));
    EXPECT_EQ(m->stq[0].ncol, 3);
    EXPECT_EQ(m->stq[0].nrans, 2);
    EXPECT_EQ(m->stq[0].mark, 2);
    const Question& q = m->stq[1];
    ASSERT_EQ(q.nrans, 2);
    EXPECT_EQ(q.grp[0].lbl, toCp1251("А")[0]);
    EXPECT_EQ(q.grp[0].cnt, 2);
    EXPECT_EQ(q.grp[0].numbers[1], 3);
    EXPECT_EQ(q.grp[1].lbl, toCp1251("Б")[0]);
    EXPECT_EQ(q.grp[1].cnt, 1);
    EXPECT_EQ(q.mark, 3);
}

TEST(QuestionParser, AnOptionOverTwoLinesHoldsBoth)
{
    const LoadResult r = loadUtf8("1) Q\r\n<перший рядок   \r\n  і другий> <b>#", withHeader("1) 1 2 1"));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    const AnswerSlot& a = m->stq[0].ans[0];
    EXPECT_EQ(fromCp1251(a.str), "<перший рядок   \r\n  і другий>");
    EXPECT_EQ(a.row1, 2);
    EXPECT_EQ(a.row2, 3);
    EXPECT_EQ(a.col1, 1);
    // Widened to its first line without the trailing blanks: 1 + 13.
    EXPECT_EQ(a.col2, 14);
    EXPECT_EQ(a.right, 14 * kTestCharW);
    EXPECT_EQ(a.bottom, 3 * 16 - 2);
    EXPECT_EQ(fromCp1251(m->stq[0].ans[1].str), "<b>");
    EXPECT_EQ(m->stq[0].ans[1].row1, 3);
}

TEST(QuestionParser, ColumnsByPosition)
{
    struct Case
    {
        const char* what;
        std::string questions;
        std::string answers;
        std::vector<std::vector<std::string>> columns;
        std::size_t secondOfFirst; // option index of the first column's second cell
    };
    const Case cases[] = {
        {"pairs", "1) M\r\n<а>   <x>\r\n<б>   <y>#", "1) 4 / а: 2; б: 1 / 2", {{"<а>", "<б>"}, {"<x>", "<y>"}}, 2},
        // "<y>" starts left of the right end of "<aaaaaaaa>": it joins the
        // first column although it was typed under "<x>".
        {"joins the first column", "1) M\r\n<aaaaaaaa> <x>\r\n<b>    <y>#", "1) 6 / 1: 1; 2: ; 3: 0 / 3",
         {{"<aaaaaaaa>", "<b>", "<y>"}, {"<x>"}}, 2},
        // A wide option widens its column for the options behind it.
        {"a widened edge", "1) M\r\n<a>   <x>\r\n<bbbbbbbb>\r\n<c>   <y>#", "1) 6 / 1: 1; 2: 0; 3: ; 4: 1 / 3",
         {{"<a>", "<bbbbbbbb>", "<c>", "<y>"}, {"<x>"}}, 2},
        {"three columns of ragged rows", "1) M\r\n<a> <x> <p>\r\n<b>     <q>\r\n<c>#", "1) 6 / 1: 1,1; 2: 0,2; 3: / 3",
         {{"<a>", "<b>", "<c>"}, {"<x>"}, {"<p>", "<q>"}}, 3},
    };
    for (const Case& c : cases) {
        const LoadResult r = loadUtf8(c.questions, withHeader(c.answers));
        const TestModel* m = modelOf(r);
        ASSERT_TRUE(m) << c.what;
        const Question& q = m->stq[0];
        ASSERT_EQ(q.ncol, int(c.columns.size())) << c.what;
        for (std::size_t k = 0; k < c.columns.size(); ++k) {
            EXPECT_EQ(cellTexts(q.col[k]), c.columns[k]) << c.what << " column " << k;
            EXPECT_EQ(q.col[k].nrow, int(c.columns[k].size())) << c.what;
            std::vector<int32_t> identity(c.columns[k].size());
            std::iota(identity.begin(), identity.end(), 0);
            EXPECT_EQ(q.col[k].cord, identity) << c.what;
        }
        // Cells are copies of the slots, rectangles included.
        const AnswerSlot& cell = q.col[0].cell[1];
        const AnswerSlot& slot = q.ans[c.secondOfFirst];
        EXPECT_EQ(std::tie(cell.str, cell.left, cell.top, cell.right, cell.bottom),
                  std::tie(slot.str, slot.left, slot.top, slot.right, slot.bottom))
            << c.what;
    }
}

TEST(QuestionParser, AnOpeningOptionAlwaysJoinsItsColumn)
{
    // Lines ended by a bare LF: the layout does not widen the first option
    // over its lines, so its ">" (column 2 of its second line) stands left
    // of its "<" (column 9). It still forms its own column.
    const LoadResult r = loadUtf8("1) M\n        <aaaa\nb>   <x>\n<c>  <y>#", withHeader("1) 6 / 1: 1,1 / 1"));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    const Question& q = m->stq[0];
    ASSERT_EQ(q.ncol, 3);
    EXPECT_EQ(cellTexts(q.col[0]), (std::vector<std::string>{"<c>"}));
    EXPECT_EQ(cellTexts(q.col[1]), (std::vector<std::string>{"<x>", "<y>"}));
    EXPECT_EQ(cellTexts(q.col[2]), (std::vector<std::string>{"<aaaa\nb>"}));
}

TEST(QuestionParser, StrayBracketsDoNotShiftTheOptions)
{
    // A ">" in the stem and a "<" inside an option: the counts agree, and
    // each option keeps the place of its own brackets.
    const LoadResult clean = loadUtf8("1) Is a bigger?\r\n<yes>\r\n<no  maybe>#", withHeader("1) 1 1 1"));
    const LoadResult stray = loadUtf8("1) Is a > b?\r\n<yes>\r\n<no <maybe>#", withHeader("1) 1 1 1"));
    const TestModel* c = modelOf(clean);
    const TestModel* s = modelOf(stray);
    ASSERT_TRUE(c && s);
    ASSERT_EQ(s->stq[0].nans, 2);
    for (int k = 0; k < 2; ++k) {
        const AnswerSlot& a = c->stq[0].ans[std::size_t(k)];
        const AnswerSlot& b = s->stq[0].ans[std::size_t(k)];
        EXPECT_EQ(std::tie(b.row1, b.col1, b.row2, b.col2), std::tie(a.row1, a.col1, a.row2, a.col2)) << k;
        EXPECT_EQ(std::tie(b.left, b.top, b.right, b.bottom), std::tie(a.left, a.top, a.right, a.bottom)) << k;
    }
    EXPECT_EQ(s->stq[0].ans[1].str, "<no <maybe>");
    EXPECT_EQ(s->stq[0].ans[1].left, 0);
    EXPECT_EQ(s->stq[0].ans[1].right, 11 * kTestCharW);
    EXPECT_EQ(s->stq[0].ans[1].top, 2 * 16);
}

TEST(QuestionParser, TextsEndAtANulByteWhilePositionsCountEveryByte)
{
    std::string questions = toCp1251("1) Stem|tail <op|tion> <b>#");
    std::string answers = toCp1251(withHeader("1) 1 2 1"));
    questions[questions.find('|')] = '\0';
    questions[questions.find('|')] = '\0';
    const LoadResult r = loadTestBytes(questions, answers, {}, [](int, bool) { return kTestCharW; });
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    const Question& q = m->stq[0];
    EXPECT_EQ(q.text, " Stem");
    EXPECT_EQ(q.lenq, 11);
    EXPECT_EQ(q.ans[0].str, "<op");
    EXPECT_EQ(q.ans[1].str, "<b>");
    EXPECT_EQ(q.ans[1].col1, 21);

    answers = toCp1251(withHeader("1) 5 / Ab|c / 1"));
    answers[answers.find('|')] = '\0';
    const LoadResult t = loadTestBytes("1) Q#", answers, {}, [](int, bool) { return kTestCharW; });
    ASSERT_TRUE(modelOf(t));
    EXPECT_EQ(modelOf(t)->stq[0].tans, "ab");
}

TEST(QuestionParser, AMaximalNumberOfQuestions)
{
    std::string questions;
    std::string entries;
    for (int n = 1; n <= kMaxQuestions; ++n) {
        questions += std::to_string(n) + ") Q" + std::to_string(n) + " <a> <b>#\r\n";
        entries += std::to_string(n) + ") 1 " + std::to_string(1 + n % 2) + " " + std::to_string(n) + "\r\n";
    }
    const LoadResult r = loadUtf8(questions, withHeader(entries, kMaxQuestions));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->stq.size(), std::size_t(kMaxQuestions));
    EXPECT_EQ(m->stq.back().text, " Q5000 ");
    EXPECT_EQ(m->stq.back().rans[0], 1);
    EXPECT_EQ(m->stq.back().mark, 5000);
    EXPECT_EQ(m->stq[4998].rans[0], 2);
}

TEST(QuestionParser, IndExtrElSkipsTheUsedIndexes)
{
    const int32_t values[] = {5, 2, 9, 2, 7};
    struct Case { bool largest; std::vector<int32_t> used; int expected; };
    const Case cases[] = {
        {false, {}, 1},         // ties go to the lowest index
        {false, {1}, 3},
        {false, {1, 3}, 0},
        {true, {}, 2},
        {true, {2, 4}, 0},
        {false, {0, 1, 2, 3, 4}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(indexOfExtreme(values, 5, c.largest, int(c.used.size()), c.used.data()),
                  c.expected)
            << c.largest << " " << c.used.size();
    }
}
