#include "TestFiles.h"

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
    for (const AnswerSlot& s : c.cells) {
        out.push_back(fromCp1251(s.text));
    }
    return out;
}

} // namespace

TEST(QuestionParser, TheMinimalTwoQuestionTest)
{
    const LoadResult r =
        loadTestBytes(toCp1251("1) Столиця України? <Київ> <Львів>#\r\n2) Назвіть столицю.#&"),
                      toCp1251(withHeader("1) 1 1 2\r\n2) 5 / Київ / 1", 2)), {0, 10, 1024, 768},
                      [](int, bool) { return kTestCharW; });
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->questions.size(), 2u);
    const Question& q1 = m->questions[0];
    EXPECT_EQ(q1.type, QuestionType::SingleChoice);
    EXPECT_EQ(q1.picture, PictureMode::None);
    EXPECT_EQ(fromCp1251(q1.text), " Столиця України? ");
    EXPECT_EQ(q1.stemLength, int(q1.text.size()));
    EXPECT_EQ(q1.indent, (2 + 1 - 1) * kTestCharW);
    ASSERT_EQ(q1.optionCount, 2);
    EXPECT_EQ(fromCp1251(q1.options[0].text), "<Київ>");
    EXPECT_EQ(fromCp1251(q1.options[1].text), "<Львів>");
    // First line: columns are offsets from just behind the mark.
    EXPECT_EQ(q1.options[1].startColumn, 25);
    EXPECT_EQ(q1.options[1].endColumn, 31);
    EXPECT_EQ(q1.options[1].left, 24 * kTestCharW);
    EXPECT_EQ(q1.options[1].right, 31 * kTestCharW);
    EXPECT_EQ(q1.correctCount, 1);
    EXPECT_EQ(q1.correctAnswers[0], 1);
    EXPECT_EQ(q1.mark, 2);
    EXPECT_EQ(q1.displayOrder[1], 1);

    const Question& q2 = m->questions[1];
    EXPECT_EQ(q2.type, QuestionType::TypedText);
    EXPECT_EQ(q2.picture, PictureMode::WithOptions);
    EXPECT_EQ(q2.optionCount, 0);
    ASSERT_EQ(q2.options.size(), 1u);
    EXPECT_EQ(q2.options[0].top, 10 + 768); // the window's bottom edge
    EXPECT_EQ(fromCp1251(q2.expectedText), "київ");
    EXPECT_EQ(q2.mark, 1);
    EXPECT_EQ(m->answersEnd, int(m->answersText.rfind('/')) + 1); // behind the closing slash
}

TEST(QuestionParser, IndentCountsTheBlanksAroundTheMark)
{
    const LoadResult r =
        loadUtf8("1)Q <a> <b>#\r\n   2)   R <a> <b>#", withHeader("1) 1 1 1\r\n2) 1 1 1", 2));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->questions[0].indent, (2 + 0 + 0 - 1) * kTestCharW);
    EXPECT_EQ(m->questions[1].indent, (2 + 3 + 3 - 1) * kTestCharW);
    EXPECT_EQ(fromCp1251(m->questions[1].text), "   R ");
}

TEST(QuestionParser, PictureMarkAfterTheClosingHash)
{
    struct Case
    {
        const char* questions;
        const char* answers;
        int graph;
        int optionCount;
        const char* message;
    };
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
        const Question& q = std::get<std::unique_ptr<TestModel>>(r)->questions[0];
        EXPECT_EQ(pictureModeNumber(q.picture), c.graph) << c.questions << " / " << c.answers;
        EXPECT_EQ(q.optionCount, c.optionCount) << c.questions << " / " << c.answers;
    }
}

TEST(QuestionParser, TypedKeysAndGroupsOfAPictureQuestion)
{
    const LoadResult r = loadUtf8("1) Q#&\r\n2) R#&",
                                  withHeader("1) 6 / a21; b10 / 2\r\n2) 4 / А: 1,3; Б: 2 / 3", 2));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->questions[0].acceptedStrings, (std::vector<std::string>{"a21", "b10"}));
    EXPECT_EQ(m->questions[0].columnCount, 3);
    EXPECT_EQ(m->questions[0].correctCount, 2);
    EXPECT_EQ(m->questions[0].mark, 2);
    const Question& q = m->questions[1];
    ASSERT_EQ(q.correctCount, 2);
    EXPECT_EQ(q.groups[0].label, toCp1251("А")[0]);
    EXPECT_EQ(q.groups[0].numberCount, 2);
    EXPECT_EQ(q.groups[0].numbers[1], 3);
    EXPECT_EQ(q.groups[1].label, toCp1251("Б")[0]);
    EXPECT_EQ(q.groups[1].numberCount, 1);
    EXPECT_EQ(q.mark, 3);
}

TEST(QuestionParser, AnOptionOverTwoLinesHoldsBoth)
{
    const LoadResult r =
        loadUtf8("1) Q\r\n<перший рядок   \r\n  і другий> <b>#", withHeader("1) 1 2 1"));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    const AnswerSlot& a = m->questions[0].options[0];
    EXPECT_EQ(fromCp1251(a.text), "<перший рядок   \r\n  і другий>");
    EXPECT_EQ(a.startRow, 2);
    EXPECT_EQ(a.endRow, 3);
    EXPECT_EQ(a.startColumn, 1);
    // Widened to its first line without the trailing blanks: 1 + 13.
    EXPECT_EQ(a.endColumn, 14);
    EXPECT_EQ(a.right, 14 * kTestCharW);
    EXPECT_EQ(a.bottom, 3 * 16 - 2);
    EXPECT_EQ(fromCp1251(m->questions[0].options[1].text), "<b>");
    EXPECT_EQ(m->questions[0].options[1].startRow, 3);
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
        {"pairs",
         "1) M\r\n<а>   <x>\r\n<б>   <y>#",
         "1) 4 / а: 2; б: 1 / 2",
         {{"<а>", "<б>"}, {"<x>", "<y>"}},
         2},
        // "<y>" starts left of the right end of "<aaaaaaaa>": it joins the
        // first column although it was typed under "<x>".
        {"joins the first column",
         "1) M\r\n<aaaaaaaa> <x>\r\n<b>    <y>#",
         "1) 6 / 1: 1; 2: ; 3: 0 / 3",
         {{"<aaaaaaaa>", "<b>", "<y>"}, {"<x>"}},
         2},
        // A wide option widens its column for the options behind it.
        {"a widened edge",
         "1) M\r\n<a>   <x>\r\n<bbbbbbbb>\r\n<c>   <y>#",
         "1) 6 / 1: 1; 2: 0; 3: ; 4: 1 / 3",
         {{"<a>", "<bbbbbbbb>", "<c>", "<y>"}, {"<x>"}},
         2},
        {"three columns of ragged rows",
         "1) M\r\n<a> <x> <p>\r\n<b>     <q>\r\n<c>#",
         "1) 6 / 1: 1,1; 2: 0,2; 3: / 3",
         {{"<a>", "<b>", "<c>"}, {"<x>"}, {"<p>", "<q>"}},
         3},
    };
    for (const Case& c : cases) {
        const LoadResult r = loadUtf8(c.questions, withHeader(c.answers));
        const TestModel* m = modelOf(r);
        ASSERT_TRUE(m) << c.what;
        const Question& q = m->questions[0];
        ASSERT_EQ(q.columnCount, int(c.columns.size())) << c.what;
        for (std::size_t k = 0; k < c.columns.size(); ++k) {
            EXPECT_EQ(cellTexts(q.columns[k]), c.columns[k]) << c.what << " column " << k;
            EXPECT_EQ(q.columns[k].rowCount(), int(c.columns[k].size())) << c.what;
            std::vector<int32_t> identity(c.columns[k].size());
            std::iota(identity.begin(), identity.end(), 0);
            EXPECT_EQ(q.columns[k].displayOrder, identity) << c.what;
        }
        // Cells are copies of the slots, rectangles included.
        const AnswerSlot& cell = q.columns[0].cells[1];
        const AnswerSlot& slot = q.options[c.secondOfFirst];
        EXPECT_EQ(std::tie(cell.text, cell.left, cell.top, cell.right, cell.bottom),
                  std::tie(slot.text, slot.left, slot.top, slot.right, slot.bottom))
            << c.what;
    }
}

TEST(QuestionParser, AnOpeningOptionAlwaysJoinsItsColumn)
{
    // Lines ended by a bare LF: the layout does not widen the first option
    // over its lines, so its ">" (column 2 of its second line) stands left
    // of its "<" (column 9). It still forms its own column.
    const LoadResult r =
        loadUtf8("1) M\n        <aaaa\nb>   <x>\n<c>  <y>#", withHeader("1) 6 / 1: 1,1 / 1"));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    const Question& q = m->questions[0];
    ASSERT_EQ(q.columnCount, 3);
    EXPECT_EQ(cellTexts(q.columns[0]), (std::vector<std::string>{"<c>"}));
    EXPECT_EQ(cellTexts(q.columns[1]), (std::vector<std::string>{"<x>", "<y>"}));
    EXPECT_EQ(cellTexts(q.columns[2]), (std::vector<std::string>{"<aaaa\nb>"}));
}

TEST(QuestionParser, StrayBracketsDoNotShiftTheOptions)
{
    // A ">" in the stem and a "<" inside an option: the counts agree, and
    // each option keeps the place of its own brackets.
    const LoadResult clean =
        loadUtf8("1) Is a bigger?\r\n<yes>\r\n<no  maybe>#", withHeader("1) 1 1 1"));
    const LoadResult stray =
        loadUtf8("1) Is a > b?\r\n<yes>\r\n<no <maybe>#", withHeader("1) 1 1 1"));
    const TestModel* c = modelOf(clean);
    const TestModel* s = modelOf(stray);
    ASSERT_TRUE(c && s);
    ASSERT_EQ(s->questions[0].optionCount, 2);
    for (int k = 0; k < 2; ++k) {
        const AnswerSlot& a = c->questions[0].options[std::size_t(k)];
        const AnswerSlot& b = s->questions[0].options[std::size_t(k)];
        EXPECT_EQ(std::tie(b.startRow, b.startColumn, b.endRow, b.endColumn),
                  std::tie(a.startRow, a.startColumn, a.endRow, a.endColumn))
            << k;
        EXPECT_EQ(std::tie(b.left, b.top, b.right, b.bottom),
                  std::tie(a.left, a.top, a.right, a.bottom))
            << k;
    }
    EXPECT_EQ(s->questions[0].options[1].text, "<no <maybe>");
    EXPECT_EQ(s->questions[0].options[1].left, 0);
    EXPECT_EQ(s->questions[0].options[1].right, 11 * kTestCharW);
    EXPECT_EQ(s->questions[0].options[1].top, 2 * 16);
}

TEST(QuestionParser, TextsEndAtANulByteWhilePositionsCountEveryByte)
{
    std::string questions = toCp1251("1) Stem|tail <op|tion> <b>#");
    std::string answers = toCp1251(withHeader("1) 1 2 1"));
    questions[questions.find('|')] = '\0';
    questions[questions.find('|')] = '\0';
    const LoadResult r =
        loadTestBytes(questions, answers, {}, [](int, bool) { return kTestCharW; });
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    const Question& q = m->questions[0];
    EXPECT_EQ(q.text, " Stem");
    EXPECT_EQ(q.stemLength, 11);
    EXPECT_EQ(q.options[0].text, "<op");
    EXPECT_EQ(q.options[1].text, "<b>");
    EXPECT_EQ(q.options[1].startColumn, 21);

    answers = toCp1251(withHeader("1) 5 / Ab|c / 1"));
    answers[answers.find('|')] = '\0';
    const LoadResult t = loadTestBytes("1) Q#", answers, {}, [](int, bool) { return kTestCharW; });
    ASSERT_TRUE(modelOf(t));
    EXPECT_EQ(modelOf(t)->questions[0].expectedText, "ab");
}

TEST(QuestionParser, AMaximalNumberOfQuestions)
{
    std::string questions;
    std::string entries;
    for (int n = 1; n <= kMaxQuestions; ++n) {
        questions += std::to_string(n) + ") Q" + std::to_string(n) + " <a> <b>#\r\n";
        entries += std::to_string(n) + ") 1 " + std::to_string(1 + n % 2) + " " +
                   std::to_string(n) + "\r\n";
    }
    const LoadResult r = loadUtf8(questions, withHeader(entries, kMaxQuestions));
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->questions.size(), std::size_t(kMaxQuestions));
    EXPECT_EQ(m->questions.back().text, " Q5000 ");
    EXPECT_EQ(m->questions.back().correctAnswers[0], 1);
    EXPECT_EQ(m->questions.back().mark, 5000);
    EXPECT_EQ(m->questions[4998].correctAnswers[0], 2);
}

TEST(QuestionParser, IndExtrElSkipsTheUsedIndexes)
{
    const int32_t values[] = {5, 2, 9, 2, 7};
    struct Case
    {
        bool largest;
        std::vector<int32_t> used;
        int expected;
    };
    const Case cases[] = {
        {false, {}, 1}, // ties go to the lowest index
        {false, {1}, 3},   {false, {1, 3}, 0},           {true, {}, 2},
        {true, {2, 4}, 0}, {false, {0, 1, 2, 3, 4}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(indexOfExtreme(values, 5, c.largest, int(c.used.size()), c.used.data()),
                  c.expected)
            << c.largest << " " << c.used.size();
    }
}
