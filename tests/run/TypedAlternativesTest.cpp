// Typed answers: a type-5 key scores exactly as it always has (a list
// separator in it is one more character to type), and a type-7 entry
// accepts each of its spellings. Both go through the one scorer that the
// window, the dry run and rescoring use.

#include "TestFiles.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "results/ReportFile.h"
#include "run/Scoring.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qdtest;

namespace {

struct TypedCase
{
    const char* entry; // the answers file's entry of question 1
    const char* typed; // what the student types
    float points;
};

Result<std::unique_ptr<TestModel>> loadEntry(const std::string& entry,
                                             const std::string& question = "1) Назвіть елемент.#")
{
    return loadTestBytes(toCp1251(question), toCp1251(headerWith({}, 1) + entry), {},
                         [](int, bool) { return 8; });
}

} // namespace

TEST(TypedAlternatives, ScoreByTable)
{
    const TypedCase cases[] = {
        // Old keys, as before: blanks and case ignored, nothing else.
        {"1) 5 / Київ / 2\r\n", "київ", 2},
        {"1) 5 / Київ / 2\r\n", "Ки їв", 2},
        {"1) 5 / Київ / 2\r\n", "Київ.", 0},
        {"1) 5 / водень, гідроген / 2\r\n", "водень", 0},
        {"1) 5 / водень, гідроген / 2\r\n", "Водень,гідроген", 2},
        {"1) 5 / водень|гідроген / 2\r\n", "гідроген", 0},
        {"1) 5 / водень|гідроген / 2\r\n", "водень|гідроген", 2},
        {"1) 5 / водень; гідроген / 2\r\n", "водень;гідроген", 2},
        {"1) 5 /  / 2\r\n", "", 2},
        // Several spellings: each earns the mark, the list itself does not.
        {"1) 7 / водень | гідроген / 2\r\n", "водень", 2},
        {"1) 7 / водень | гідроген / 2\r\n", "Гідро ген", 2},
        {"1) 7 / водень | гідроген / 2\r\n", "водень|гідроген", 0},
        {"1) 7 / водень | гідроген / 2\r\n", "", 0},
        {"1) 7 / м'ята | м’ята | мята / 1\r\n", "М’ята", 1},
        {"1) 7 / м'ята | м’ята | мята / 1\r\n", "мята", 1},
        {"1) 7 / одне / 3\r\n", "Одне", 3},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " typed " + c.typed);
        auto loaded = loadEntry(c.entry);
        ASSERT_TRUE(loaded.ok()) << loaded.fault().message;
        const TestModel& m = *loaded.value();
        EXPECT_EQ(m.questions[0].type, QuestionType::TypedText);
        RunState st;
        st.askingOrder = {0};
        ReportFile none;
        const Result<float> p = scoreQuestion(m, st, toCp1251(c.typed), none);
        ASSERT_TRUE(p.ok());
        EXPECT_FLOAT_EQ(p.value(), c.points);
    }
}

TEST(TypedAlternatives, SpellingsAreKeptAsTheScorerComparesThem)
{
    auto loaded = loadEntry("1) 7 / Водень | Гідро ген | H / 1\r\n");
    ASSERT_TRUE(loaded.ok());
    const Question& q = loaded.value()->questions[0];
    EXPECT_EQ(q.acceptedTexts,
              (std::vector<std::string>{toCp1251("водень"), toCp1251("гідроген"), "h"}));
    EXPECT_EQ(q.expectedText, toCp1251("водень"));
    // A plain key has no list.
    auto plain = loadEntry("1) 5 / a|b / 1\r\n");
    ASSERT_TRUE(plain.ok());
    EXPECT_TRUE(plain.value()->questions[0].acceptedTexts.empty());
    EXPECT_EQ(plain.value()->questions[0].expectedText, "a|b");
}

TEST(TypedAlternatives, OtherTypeNumbersAreStillRefused)
{
    for (const char* entry : {"1) 8 / a / 1\r\n", "1) 0 / a / 1\r\n"}) {
        auto loaded = loadEntry(entry, "1) Q <a> <b>#");
        ASSERT_FALSE(loaded.ok()) << entry;
        EXPECT_EQ(loaded.fault().message, toCp1251("Тип вопроса 1 задан не верно!"));
    }
    // The length rules of a type-5 key hold for the whole list.
    auto longList =
        loadEntry("1) 7 / " + std::string(120, 'a') + " | " + std::string(80, 'b') + " / 1\r\n");
    ASSERT_FALSE(longList.ok());
    EXPECT_EQ(longList.fault().message, toCp1251("В вопросе 1 слишком длинный ответ!"));
}
