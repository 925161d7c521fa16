#include "definition/Cp1251.h"
#include "exam/StudentList.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

using namespace qd;

namespace {

// A table with `count` in its header and the given records, each laid into
// 92 bytes (a deletion mark blank, 4 bytes of another field, the name).
std::string table(uint32_t count, const std::vector<std::string>& names)
{
    std::string file(456, '\0');
    for (int i = 0; i < 4; ++i) {
        file[4 + std::size_t(i)] = char((count >> (8 * i)) & 0xFF);
    }
    for (const std::string& name : names) {
        std::string record = " 0001" + name;
        record.resize(92, '\0');
        file += record;
    }
    return file;
}

} // namespace

TEST(StudentList, TakesWhatTheFileHoldsAndNothingBeyond)
{
    const std::string ivanov = toCp1251("Іваненко О.В.");
    std::string noZero = table(1, {});
    noZero += " 0001" + std::string(87, 'A'); // the name runs to the record's end
    noZero += std::string(50, 'B');            // and the next bytes are not a record

    struct Case
    {
        const char* what;
        std::string file;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"no records", table(0, {ivanov}), {}},
        {"two records, padding kept", table(2, {ivanov, "Petrenko P.   "}),
         {ivanov, "Petrenko P.   "}},
        {"count below the data", table(1, {ivanov, "Second"}), {ivanov}},
        {"count above the data", table(5, {ivanov, "Second"}), {ivanov, "Second"}},
        {"huge count", table(0xFFFFFFFFu, {ivanov}), {ivanov}},
        {"last record cut short", table(2, {ivanov, "Kovalenko"}).substr(0, 456 + 92 + 5 + 4),
         {ivanov, "Kova"}},
        {"cut before the name", table(2, {ivanov, "Kovalenko"}).substr(0, 456 + 92 + 5),
         {ivanov}},
        {"name without a zero byte", noZero, {std::string(87, 'A')}},
        {"header only", table(3, {}), {}},
        {"shorter than the header", table(3, {}).substr(0, 300), {}},
        {"shorter than the count", std::string("\x03\x00\x00\x00\x02\x00", 6), {}},
        {"empty file", std::string(), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StudentList::parse(c.file), c.names) << c.what;
    }
}

TEST(StudentList, UnreadableFileKeepsTheLastNames)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path path = dir.path().toStdString();
    StudentList list;

    const Status missing = list.load(path);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->message, toCp1251("Не удается открыть файл students.dbf!"));
    EXPECT_TRUE(list.names().empty());

    {
        std::ofstream out(path / "students.dbf", std::ios::binary);
        out << table(2, {"Ivanov I.", "Petrov P."});
    }
    EXPECT_FALSE(list.load(path));
    const std::vector<std::string> read = {"Ivanov I.", "Petrov P."};
    EXPECT_EQ(list.names(), read);

    std::filesystem::remove(path / "students.dbf");
    EXPECT_TRUE(list.load(path));
    EXPECT_EQ(list.names(), read);
}

TEST(StudentList, RecordsCarryTheDeletionMark)
{
    std::string file = table(3, {"Bondar T.", "Koval I.", "Shevchenko T."});
    file[456 + 92] = '*'; // the second record is marked deleted
    const auto records = StudentList::parseRecords(file);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_FALSE(records[0].deleted);
    EXPECT_TRUE(records[1].deleted);
    EXPECT_EQ(records[1].name, "Koval I.");
    EXPECT_FALSE(records[2].deleted);
    // The client's list ignores the mark.
    EXPECT_EQ(StudentList::parse(file).size(), 3u);
}
