#include "MaxTestGenerator.h"

#include "definition/Cp1251.h"
#include "definition/Scrambler.h"

#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

namespace qdbench {

namespace {

constexpr std::size_t kColumnWidth = 26;

// The plain texts are built in UTF-8 and converted once at the end.
class Builder
{
public:
    std::string v;             // voprosi.txt
    std::string o;             // otveti.txt
    std::vector<int> pictures; // numbers of the questions with a picture

    void question(int n)
    {
        switch (n % 12) {
        case 0:
            choice(n, 1, 6, 2, false);
            break;
        case 1:
            choice(n, 2, 12, 3, false);
            break;
        case 2:
            choice(n, 3, 8, 1, false);
            break;
        case 3:
            columns(n, 4, 2, 10);
            break;
        case 4:
            typedText(n);
            break;
        case 5:
            columns(n, 6, 4, 8);
            break;
        case 6:
            choice(n, 1, 4, 4, true);
            break;
        case 7:
            typedKeys(n);
            break;
        case 8:
            choice(n, 2, 50, 5, false);
            break;
        case 9:
            typedGroups(n);
            break;
        case 10:
            typedOrder(n);
            break;
        default:
            longStem(n);
            break;
        }
    }

private:
    void stem(int n, int sentences)
    {
        v += std::to_string(n) + ") Питання номер " + std::to_string(n) + ".\t";
        for (int s = 0; s < sentences; ++s) {
            v += "Оберіть правильну відповідь серед наведених нижче варіантів";
            v += (s % 3 == 2) ? ".\r\n" : ", ";
        }
        v += "\r\n";
    }

    static std::string list(int from, int count, int modulo)
    {
        std::string out;
        for (int k = 0; k < count; ++k) {
            out += (k ? "," : "") + std::to_string((from + k) % modulo + 1);
        }
        return out;
    }

    // Types 1 to 3: `count` options, five to a line.
    void choice(int n, int type, int count, int right, bool picture)
    {
        stem(n, 3);
        for (int k = 1; k <= count; ++k) {
            v += "  <Варіант " + std::to_string(k) + ">";
            if (k % 5 == 0 || k == count) {
                v += "\r\n";
            }
        }
        v += picture ? "#&\r\n" : "#\r\n";
        if (picture) {
            pictures.push_back(n);
        }
        const std::string mark = std::to_string(n % 9 + 1);
        if (type == 1) {
            o += std::to_string(n) + ") 1 " + std::to_string(n % count + 1) + " " + mark + "\r\n";
        } else {
            o += std::to_string(n) + ") " + std::to_string(type) + " / " + list(n, right, count) +
                 " / " + mark + "\r\n";
        }
    }

    // Types 4 and 6 answered with the mouse: a grid of cols x rows options.
    void columns(int n, int type, int cols, int rows)
    {
        stem(n, 2);
        for (int r = 1; r <= rows; ++r) {
            std::string line;
            for (int c = 1; c <= cols; ++c) {
                const std::string cell =
                    "<Рядок " + std::to_string(r) + " стовпця " + std::to_string(c) + ">";
                line += "  " + cell + std::string(kColumnWidth - 2 - characters(cell), ' ');
            }
            v += line + "\r\n";
        }
        v += "#\r\n";
        o += std::to_string(n) + ") " + std::to_string(type) + " / ";
        for (int g = 0; g < rows; ++g) {
            o += (g ? "; " : "") + label(g) + ": ";
            o += type == 4 ? list(n + g, g % 3 + 1, rows) : list(n + g, cols - 1, rows);
        }
        o += " / " + std::to_string(rows) + "\r\n";
    }

    void typedText(int n)
    {
        stem(n, 2);
        v += "#\r\n";
        o += std::to_string(n) + ") 5 / Відповідь " + std::to_string(n) + " / 2\r\n";
    }

    // Type 6 with the options only in the picture: eight keys of four.
    void typedKeys(int n)
    {
        stem(n, 4);
        v += "#&\r\n";
        pictures.push_back(n);
        o += std::to_string(n) + ") 6 / ";
        for (int g = 0; g < 8; ++g) {
            o += (g ? "; " : "") + label(g) + std::to_string((n + g) % 9 + 1) +
                 std::to_string(g + 1) + std::to_string((n * g) % 9 + 1);
        }
        o += " / 8\r\n";
    }

    // Type 4 with the options only in the picture.
    void typedGroups(int n)
    {
        stem(n, 4);
        v += "#&\r\n";
        pictures.push_back(n);
        o += std::to_string(n) + ") 4 / А: 1,2; Б: 3; В: 4,5,6 / 3\r\n";
    }

    // Type 3 with the options only in the picture.
    void typedOrder(int n)
    {
        stem(n, 4);
        v += "#&\r\n";
        pictures.push_back(n);
        o += std::to_string(n) + ") 3 / 4,1,3,2,5 / 5\r\n";
    }

    // A stem near the 3998-byte capacity, then two options.
    void longStem(int n)
    {
        stem(n, 58);
        v += "  <Так>  <Ні>\r\n#\r\n";
        o += std::to_string(n) + ") 1 2 1\r\n";
    }

    // Characters, not bytes: the grid is counted in code page 1251.
    static std::size_t characters(const std::string& utf8)
    {
        std::size_t n = 0;
        for (const char c : utf8) {
            n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
        return n;
    }

    static std::string label(int g)
    {
        static const char* const letters[] = {"А", "Б", "В", "Г", "Д", "Е", "Ж", "З", "И", "К"};
        return letters[g % 10];
    }
};

std::string header(int questions, int asked, const std::string& sections)
{
    const std::string n = std::to_string(questions);
    const int sectionCount = int(std::count(sections.begin(), sections.end(), ',')) + 1;
    return "Назва дисципліни: Граничний тест#\r\n"
           "Назва тесту: " +
           n +
           " питань усіх типів#\r\n"
           "Кількість питань: " +
           n +
           "\r\n"
           "Кількість розділів: " +
           std::to_string(sectionCount) +
           "\r\n"
           "Перші питання розділів:" +
           sections +
           "\r\n"
           "Задавати: " +
           std::to_string(asked) +
           "\r\n"
           "Розмір шрифту: 16\r\n"
           "Жирний: 0\r\n"
           "Секунд на питання: 60\r\n"
           "Хвилин на тест: 120\r\n"
           "Задовільно від: 60\r\n"
           "Добре від: 75\r\n"
           "Відмінно від: 90\r\n"
           "Оцінка за часом: 0\r\n"
           "Відмінно до: 300\r\n"
           "Добре до: 600\r\n"
           "Задовільно до: 900\r\n"
           "Розділи випадково: 1\r\n"
           "Питання випадково: 1\r\n"
           "Відповіді випадково: 1\r\n";
}

} // namespace

GeneratedTest generateMaxTest()
{
    return generateTest(5000, 100);
}

GeneratedTest generateTest(int questions, int asked)
{
    // One section per thousand questions.
    std::string sections = "1";
    for (int first = 1001; first <= questions; first += 1000) {
        sections += "," + std::to_string(first);
    }
    Builder b;
    b.o = header(questions, asked, sections);
    for (int n = 1; n <= questions; ++n) {
        b.question(n);
    }
    b.o += "Розкладка: 2\r\nРезультати: REZ_BENCH\r\n";
    return {qd::scramble(qd::toCp1251(b.v), qd::FileKind::Questions, 4321),
            qd::scramble(qd::toCp1251(b.o), qd::FileKind::Answers, 1234), std::move(b.pictures)};
}

bool writeTest(const GeneratedTest& test, const std::string& dir)
{
    // The smallest picture a question can show: a white 1 x 1 bitmap.
    static const std::string bmp = [] {
        const unsigned char bytes[] = {
            'B', 'M', 58,   0,    0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40,  0,   0,   0, 1,    0,
            0,   0,   1,    0,    0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,   0,   0,   0, 0x13, 0x0B,
            0,   0,   0x13, 0x0B, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 255, 255, 255, 0};
        return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
    }();
    std::vector<std::pair<std::string, const std::string*>> files = {
        {"/voprosi.txt", &test.voprosi}, {"/otveti.txt", &test.otveti}};
    for (int n : test.pictures) {
        files.emplace_back("/" + std::to_string(n) + ".bmp", &bmp);
    }
    for (const auto& [name, bytes] : files) {
        std::ofstream f(dir + name, std::ios::binary | std::ios::trunc);
        f.write(bytes->data(), std::streamsize(bytes->size()));
        if (!f) {
            return false;
        }
    }
    return true;
}

} // namespace qdbench
