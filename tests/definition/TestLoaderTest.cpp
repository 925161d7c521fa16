#include "TestFiles.h"

#include "definition/Scrambler.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

using namespace qd;
using namespace qdtest;

namespace {

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

std::string numbersList(int n)
{
    std::string out;
    for (int i = 1; i <= n; ++i) {
        out += (i > 1 ? "," : "") + std::to_string(i);
    }
    return out;
}

// Two questions of two options each, and their entries.
const std::string Q2 = "1) Кислота? <так> <ні>#\r\n2) Основа? <так> <ні>#";
const std::string E2 = "1) 1 1 2\r\n2) 1 2 3\r\n";

std::string withHeader(const std::string& entries, int nq = 1)
{
    return headerWith({}, nq) + entries;
}

// Matching questions: two columns of two rows; three columns of two rows.
const std::string Q4 = "1) Пари\r\n<а>   <x>\r\n<б>   <y>#";
const std::string Q6 = "1) Трійки\r\n<а> <x> <p>\r\n<б> <y> <q>#";
const std::string QPicture = "1) Див. малюнок#&";
const std::string Q5 = "1) Столиця?#";

struct LoadCase
{
    const char* what;
    std::string questions;
    std::string answers;
    std::string message; // "" : the test loads
};

} // namespace

// Every check of the header and the questions, with its exact message. Only
// the first fault of a test is reported.
TEST(TestLoader, FaultsAndTheirMessages)
{
    const LoadCase cases[] = {
        // Header texts.
        {"no # at all", Q2, "Назва дисципліни: Хімія\r\n" + E2,
         "Наименование дисциплины задано не верно!"},
        {"no colon at all", Q2, "Хімія#\r\n" + E2, "Наименование дисциплины задано не верно!"},
        {"test name not closed", Q2, "Назва дисципліни: Хімія#\r\nТест: Кислоти\r\n" + E2,
         "Название теста задано не верно!"},
        // Header integers, each checked right after it is read.
        {"no questions", Q2, headerWith({{2, "0"}}) + E2,
         "Общее количество вопросов в тесте должно быть от 1 до 5000!"},
        {"5001 questions", Q2, headerWith({{2, "5001"}}) + E2,
         "Общее количество вопросов в тесте должно быть от 1 до 5000!"},
        {"a count beyond 32 bits saturates", Q2, headerWith({{2, "99999999999"}}) + E2,
         "Общее количество вопросов в тесте должно быть от 1 до 5000!"},
        {"more sections than questions", Q2, headerWith({{3, "3"}}) + E2,
         "Количество разделов в тесте задано не верно!"},
        {"no sections", Q2, headerWith({{3, "0"}}) + E2,
         "Количество разделов в тесте задано не верно!"},
        {"sections increase", Q2, headerWith({{3, "2"}, {4, "1, 2"}}) + E2, ""},
        {"sections 1, 80, 40", Q2, headerWith({{2, "100"}, {3, "3"}, {4, "1, 80, 40"}}, 100) + E2,
         "Номера первых вопросов в разделах должны возрастать!"},
        {"sections 1, 1", Q2, headerWith({{3, "2"}, {4, "1,1"}}) + E2,
         "Номера первых вопросов в разделах должны возрастать!"},
        {"sections 2, 40, 80", Q2, headerWith({{2, "100"}, {3, "3"}, {4, "2, 40, 80"}}, 100) + E2,
         "Номера первых вопросов в разделах заданы не верно!"},
        {"sections 1, 40, 180 of 100", Q2,
         headerWith({{2, "100"}, {3, "3"}, {4, "1, 40, 180"}}, 100) + E2,
         "Номера первых вопросов в разделах заданы не верно!"},
        {"a comma beyond 4 bytes a section", Q2, headerWith({{3, "2"}, {4, "1      ,2"}}) + E2,
         "Номера первых вопросов в разделах заданы не верно!"},
        {"more sections listed", Q2, headerWith({{3, "2"}, {4, "1,2,3"}}) + E2,
         "Номера первых вопросов в разделах заданы не верно!"},
        {"a section number missing", Q2, headerWith({{3, "2"}, {4, "1,"}}) + E2,
         "Номера первых вопросов в разделах заданы не верно!"},
        {"ask none", Q2, headerWith({{5, "0"}}) + E2,
         "Количество задаваемых вопросов в тесте задано не верно!"},
        {"ask more than there are", Q2, headerWith({{5, "3"}}) + E2,
         "Количество задаваемых вопросов в тесте задано не верно!"},
        {"font 9", Q2, headerWith({{6, "9"}}) + E2, "Размер шрифта задан не верно!"},
        {"font 29", Q2, headerWith({{6, "29"}}) + E2, "Размер шрифта задан не верно!"},
        {"bold 2", Q2, headerWith({{7, "2"}}) + E2, "Признак жирности шрифта задан не верно!"},
        {"question time 0", Q2, headerWith({{8, "0"}}) + E2,
         "Время отводимое на один вопрос задано не верно!"},
        {"question time 1001", Q2, headerWith({{8, "1001"}}) + E2,
         "Время отводимое на один вопрос задано не верно!"},
        {"test time 601", Q2, headerWith({{9, "601"}}) + E2,
         "Время отводимое на весь тест задано не верно!"},
        {"satisfactory 4%", Q2, headerWith({{10, "4"}}) + E2,
         "% баллов  для оценки 'удовл' задан не верно!"},
        {"good below satisfactory", Q2, headerWith({{11, "59"}}) + E2,
         "% баллов  для оценки 'хорошо' задан не верно!"},
        {"good equal to satisfactory", Q2, headerWith({{11, "60"}}) + E2, ""},
        {"excellent below good", Q2, headerWith({{12, "74"}}) + E2,
         "% баллов  для оценки 'отл' задан не верно!"},
        {"excellent 101%", Q2, headerWith({{12, "101"}}) + E2,
         "% баллов  для оценки 'отл' задан не верно!"},
        {"by time 2", Q2, headerWith({{13, "2"}}) + E2,
         "Признак выставления отметки по времени задан не верно!"},
        {"excellent time 4", Q2, headerWith({{14, "4"}}) + E2,
         "Время для оценки 'отл' задано не верно!"},
        {"good time below excellent", Q2, headerWith({{15, "299"}}) + E2,
         "Время для оценки 'хор' задано не верно!"},
        {"satisfactory time below good", Q2, headerWith({{16, "599"}}) + E2,
         "Время для оценки 'удовл' задано не верно!"},
        {"satisfactory time 10001", Q2, headerWith({{16, "10001"}}) + E2,
         "Время для оценки 'удовл' задано не верно!"},
        {"random sections 2", Q2, headerWith({{17, "2"}}) + E2,
         "Признак случайного выбора разделов задан не верно!"},
        {"random questions -1", Q2, headerWith({{18, "-1"}}) + E2,
         "Признак случайного задания вопросов внутри раздела задан не верно!"},
        {"random answers 2", Q2, headerWith({{19, "2"}}) + E2,
         "Признак случайного распределения ответов задан не верно!"},
        {"header ends after the bold flag", Q2,
         headerText(defaultHeader()).substr(0, headerText(defaultHeader()).find("Секунд")) + E2,
         "Время отводимое на один вопрос задано не верно!"},
        // Extra settings behind the last entry.
        {"layout 3", Q2, withHeader(E2 + "Розкладка: 3\r\n", 2),
         "Раскладка клавиатуры задана не верно!"},
        {"layout beyond 16 bits", Q2, withHeader(E2 + "Розкладка: 65536\r\n", 2),
         "Раскладка клавиатуры задана не верно!"},
        {"results directory of 128", Q2,
         withHeader(E2 + "Розкладка: 0\r\nКаталог:" + std::string(128, 'd') + "\r\n", 2),
         "В функции delsp() сишком длинная строка!"},

        // Question texts.
        {"last question without #", "1) Кислота? <так> <ні>#\r\n2) Основа? <так> <ні>",
         withHeader(E2, 2), "Вопрос 2 не заканчивается знаком '#'!"},
        {"mark written 3 )", Q2 + "\r\n3 ) Сіль? <так> <ні>#", withHeader(E2 + "3) 1 1 1", 3),
         "Неправильная нумерация вопроса 3\n или вопрос 2 не заканчивается знаком '#' !"},
        {"text of 3998", "1)" + std::string(3998 - 7, 'x') + "<a> <b>#", withHeader("1) 1 1 1"),
         ""},
        {"text of 3999", "1)" + std::string(3999 - 7, 'x') + "<a> <b>#", withHeader("1) 1 1 1"),
         "Вопрос 1 слишком длинный!\n"},
        // Answer entries.
        {"entry 2 missing", Q2, withHeader("1) 1 1 2\r\n", 2), "Ошибочная нумерация 2 ответа!\n"},
        {"entry 1 without points", Q2, withHeader("1) 1 1\r\n2) 1 2 3", 2),
         "Отсутствует количество баллов для 1 вопроса!\n"},
        {"last entry without points", Q2, withHeader("1) 1 1 2\r\n2) 1 2", 2),
         "Отсутствует количество баллов для 2 вопроса!\n"},
        {"last entry with 0 points", Q2, withHeader("1) 1 1 2\r\n2) 1 2 0", 2),
         "Отсутствует количество баллов для 2 вопроса!\n"},
        {"0 points before the last", Q2, withHeader("1) 1 1 0\r\n2) 1 2 3", 2), ""},
        // Options.
        {"unequal brackets", "1) Q <a> b>#", withHeader("1) 1 1 1"),
         "В вопросе 1 разное количество знаков '<' и '>'!"},
        {"a single option", "1) Q <a>#", withHeader("1) 1 1 1"),
         "В вопросе 1 не правильно расставлены знаки '<'!"},
        {"a < without a > behind it", "1) Q > <a#", withHeader("1) 1 1 1"),
         "В вопросе 1 не правильно расставлены знаки '>'!"},
        {"50 options", "1) Q" + repeat("<a>", 50) + "#", withHeader("1) 1 50 1"), ""},
        {"51 options", "1) Q" + repeat("<a>", 51) + "#", withHeader("1) 1 1 1"),
         "В вопросе 1 количество ответов > 50!"},
        {"type 8", "1) Q <a> <b>#", withHeader("1) 8 / 1 / 1"), "Тип вопроса 1 задан не верно!"},
        {"type 1, option 3 of 2", "1) Q <a> <b>#", withHeader("1) 1 3 1"),
         "Для вопроса 1 ответ задан не верно!"},
        // Types 2 and 3.
        {"one slash", "1) Q <a> <b>#", withHeader("1) 2 / 1 2"),
         "Для вопроса 1 варианты ответов не разделены / /!"},
        {"51 correct options", "1) Q <a> <b>#", withHeader("1) 2 / " + numbersList(51) + " / 1"),
         "Переполнение массива rans в вопросе 1!"},
        {"a repeated option", "1) Q <a> <b>#", withHeader("1) 2 / 1,1 / 2"),
         "Ответы для вопроса 1 оформлены не правильно!"},
        {"a missing number", "1) Q <a> <b>#", withHeader("1) 3 / 1,,2 / 2"),
         "Ответы для вопроса 1 оформлены не правильно!"},
        {"more correct than options", "1) Q <a> <b>#", withHeader("1) 2 / 1,2,3 / 2"),
         "Для вопроса 1 ответы заданы не верно!"},
        {"option 5 of 4", "1) Q <a> <b> <c> <d>#", withHeader("1) 2 / 1,5 / 2"),
         "Для вопроса 1 ответ задан не верно!"},
        {"a negative option", "1) Q <a> <b>#", withHeader("1) 2 / 1,-1 / 2"),
         "Для вопроса 1 ответ задан не верно!"},
        // The option is no number: the points are looked for behind a "0"
        // that is not there, and the search leaves the entry unread.
        {"an unreadable option of a picture question", QPicture, withHeader("1) 1 x 5"),
         "Отсутствует количество баллов для 1 вопроса!\n"},
        {"type 3 lists need not match the options", "1) Q <a> <b>#", withHeader("1) 3 / 9,-1 / 2"),
         ""},
        // Types 4 and 6.
        {"matching pairs", Q4, withHeader("1) 4 / а: 1,2; б: / 2"), ""},
        {"more groups than rows", Q4, withHeader("1) 4 / а: 1; б: 2; в: 1 / 2"),
         "В вопросе 1 количество групп правильных ответов не равно количеству строк в первом "
         "столбце!"},
        {"a group without :", Q4, withHeader("1) 4 / а: 1; б 2 / 2"),
         "В ответе на вопрос 1 в групе 2 нет ':'!"},
        {"31 numbers in a group", Q4, withHeader("1) 4 / а: " + numbersList(31) + "; б: 1 / 2"),
         "Переполнение массива numbers в вопросе 1!"},
        {"a repeated row", Q4, withHeader("1) 4 / а: 1,1; б: 2 / 2"),
         "Ответы для вопроса 1 оформлены не правильно!"},
        {"more rows than the second column", Q4, withHeader("1) 4 / а: 1,2,3; б: 2 / 2"),
         "Кол-во правильных ответов > кол-ва строк 2-го столбца в вопросе 1!"},
        {"row 3 of 2", Q4, withHeader("1) 4 / а: 3; б: 1 / 2"),
         "В вопросе 1 номера правильных ответов для 1 группы заданы не верно!"},
        {"a row beyond 32 bits", Q4, withHeader("1) 4 / а: 99999999999; б: 1 / 2"),
         "В вопросе 1 номера правильных ответов для 1 группы заданы не верно!"},
        {"row 0 of type 4", Q4, withHeader("1) 4 / а: 1; б: 0 / 2"),
         "В вопросе 1 номера правильных ответов для 2 группы заданы не верно!"},
        {"49 groups", Q4, withHeader("1) 4 / " + repeat("а: 1;", 49) + "б: 2 / 2"),
         "nj > MAXNANS-1 в вопросе 1!"},
        {"type 4 in three columns", "1) M\r\n<a> <b> <c>\r\n<d> <e> <f>#",
         withHeader("1) 4 / а: 1; б: 2 / 2"), "Вопрос 1 неправильно разбит на колонки!"},
        {"typed type 4 with an empty group", QPicture, withHeader("1) 4 / а: 1; б: / 2"),
         "Ответы для вопроса 1 оформлены не правильно!"},
        {"triples, 0 for no match", Q6, withHeader("1) 6 / 1: 2,0; 2: 1,2 / 2"), ""},
        {"a triple with one number", Q6, withHeader("1) 6 / 1: 2; 2: 1,2 / 2"),
         "Кол-во правильных ответов для 1 группы != кол-ву столбцов-1 в вопросе 1!"},
        {"row 3 of a column of 2", Q6, withHeader("1) 6 / 1: 2,1; 2: 1,3 / 2"),
         "В вопросе 1 номера правильных ответов для 2 группы заданы не верно!"},
        {"type 6 in one column", "1) M\r\n<a>\r\n<b>#", withHeader("1) 6 / 1: ; 2: / 2"),
         "Вопрос 1 неправильно разбит на колонки!"},
        {"type 6 in ten columns", "1) M\r\n" + repeat("<a> ", 10) + "#",
         withHeader("1) 6 / 1: / 1"), ""},
        {"type 6 in eleven columns", "1) M\r\n" + repeat("<a> ", 11) + "#",
         withHeader("1) 6 / 1: / 1"), "Вопрос 1 неправильно разбит на колонки!"},
        // Type 5.
        {"answer of 127", Q5, withHeader("1) 5 /" + std::string(127, 'a') + "/ 1"), ""},
        {"answer of 128 before its blanks go", Q5,
         withHeader("1) 5 /" + std::string(100, 'a') + std::string(28, ' ') + "/ 1"),
         "В функции delsp() сишком длинная строка!"},
        {"answer of 200", Q5, withHeader("1) 5 /" + std::string(200, 'a') + "/ 1"),
         "В вопросе 1 слишком длинный ответ!"},
        // Type 6 answered by typed keys.
        {"keys of one length", QPicture, withHeader("1) 6 / a21; b10 / 2"), ""},
        {"keys of two lengths", QPicture, withHeader("1) 6 / a2; b10; c11 / 2"),
         "Не правильные ответы в вопросе 1!"},
        {"the last key shorter", QPicture, withHeader("1) 6 / a21; b1; c12 / 2"),
         "Не правильные ответы в вопросе 1!"},
        {"a key of 9", QPicture, withHeader("1) 6 / abcdefghi / 2"), "kj > MAXCOL-1 в вопросе 1!"},
        {"49 keys", QPicture, withHeader("1) 6 / " + repeat("ab;", 49) + "ab / 2"),
         "nj > MAXNANS-1 в вопросе 1!"},
    };
    for (const LoadCase& c : cases) {
        EXPECT_EQ(faultOf(loadUtf8(c.questions, c.answers)), c.message) << c.what;
    }
}

TEST(TestLoader, ScrambledFilesLoadLikePlainOnes)
{
    const std::string questions = toCp1251(Q2);
    const std::string answers = toCp1251(withHeader(E2 + "Розкладка: 2\r\nКаталог: Rez\r\n", 2));
    const auto width = [](int, bool) { return kTestCharW; };
    const LoadResult plain = loadTestBytes(questions, answers, {}, width);
    const LoadResult scrambled = loadTestBytes(scramble(questions, FileKind::Questions, 4242),
                                               scramble(answers, FileKind::Answers, 7), {}, width);
    const TestModel* p = modelOf(plain);
    const TestModel* s = modelOf(scrambled);
    ASSERT_TRUE(p && s);
    EXPECT_EQ(s->subjectName, p->subjectName);
    EXPECT_EQ(s->keyboardLayout, 2);
    EXPECT_EQ(s->reportDir, "Rez");
    ASSERT_EQ(s->questions.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Question& a = p->questions[i];
        const Question& b = s->questions[i];
        EXPECT_EQ(b.text, a.text);
        EXPECT_EQ(b.indent, a.indent);
        EXPECT_EQ(b.optionCount, 2);
        EXPECT_EQ(b.options[1].text, a.options[1].text);
        EXPECT_EQ(b.options[1].left, a.options[1].left);
        EXPECT_EQ(b.correctAnswers[0], a.correctAnswers[0]);
        EXPECT_EQ(b.mark, a.mark);
    }
}

TEST(TestLoader, FilesAreLookedForQuestionsFirst)
{
    const std::string questions = toCp1251(Q2);
    const std::string answers = toCp1251(withHeader(E2, 2));
    struct Case
    {
        std::vector<std::pair<const char*, std::string>> files;
        std::string message;
    };
    const Case cases[] = {
        {{}, "В текущей директории нет файла VOPROSI.TXT!"},
        {{{"otveti.txt", answers}}, "В текущей директории нет файла VOPROSI.TXT!"},
        {{{"voprosi.txt", questions}}, "В текущей директории нет файла OTVETI.TXT!"},
        {{{"voprosi.txt", questions}, {"otveti.txt", answers}}, ""},
        // Files named on a system that ignores letter case.
        {{{"VOPROSI.TXT", questions}, {"Otveti.Txt", answers}}, ""},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::filesystem::path root = dir.path().toStdString();
        for (const auto& [name, bytes] : c.files) {
            std::ofstream(root / name, std::ios::binary) << bytes;
        }
        const LoadResult r = loadTestDir(root, {}, [](int, bool) { return kTestCharW; });
        EXPECT_EQ(faultOf(r), c.message) << c.files.size();
    }
}

TEST(TestLoader, CharacterWidthIsMeasuredForTheFontTheHeaderLeaves)
{
    // Font 16 bold on a window 640 wide is measured as 12, not bold.
    std::vector<std::pair<int, bool>> asked;
    const LoadResult r = loadTestBytes(toCp1251(Q2), toCp1251(headerWith({{7, "1"}}) + E2),
                                       {0, 0, 640, 480}, [&](int size, bool bold) {
                                           asked.emplace_back(size, bold);
                                           return 7;
                                       });
    const TestModel* m = modelOf(r);
    ASSERT_TRUE(m);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], std::make_pair(12, false));
    EXPECT_EQ(m->charWidth, 7);
    // The mark "1)" and one blank behind it: (2 + 1 - 1) characters.
    EXPECT_EQ(m->questions[0].indent, 2 * 7);
}
