#include "definition/Cp1251.h"
#include "exam/StudentList.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <optional>
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
    noZero += std::string(50, 'B');           // and the next bytes are not a record

    struct Case
    {
        const char* what;
        std::string file;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"no records", table(0, {ivanov}), {}},
        {"two records, padding kept",
         table(2, {ivanov, "Petrenko P.   "}),
         {ivanov, "Petrenko P.   "}},
        {"count below the data", table(1, {ivanov, "Second"}), {ivanov}},
        {"count above the data", table(5, {ivanov, "Second"}), {ivanov, "Second"}},
        {"huge count", table(0xFFFFFFFFu, {ivanov}), {ivanov}},
        {"last record cut short",
         table(2, {ivanov, "Kovalenko"}).substr(0, 456 + 92 + 5 + 4),
         {ivanov, "Kova"}},
        {"cut before the name", table(2, {ivanov, "Kovalenko"}).substr(0, 456 + 92 + 5), {ivanov}},
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
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.fault().message, toCp1251("Не удается открыть файл students.dbf!"));
    EXPECT_TRUE(list.names().empty());

    {
        std::ofstream out(path / "students.dbf", std::ios::binary);
        out << table(2, {"Ivanov I.", "Petrov P."});
    }
    EXPECT_TRUE(list.load(path).ok());
    const std::vector<std::string> read = {"Ivanov I.", "Petrov P."};
    EXPECT_EQ(list.names(), read);

    std::filesystem::remove(path / "students.dbf");
    EXPECT_FALSE(list.load(path).ok());
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

// A names file made into a table, saved and read back as the client reads
// it; or the fault that stops it.
TEST(StudentList, MakesATableTheReaderTakesBack)
{
    std::string tenThousand;
    std::vector<std::string> most;
    for (int i = 1; i <= 10000; ++i) {
        tenThousand += "Student " + std::to_string(i) + "\n";
        if (i <= 9999) {
            most.push_back("Student " + std::to_string(i));
        }
    }
    const std::string longest(49, 'A');

    struct Case
    {
        const char* what;
        std::string text;
        std::vector<std::string> names; // UTF-8; none when a fault is expected
        std::string fault;              // a part of the fault's message, if any
    };
    const std::vector<Case> cases = {
        {"UTF-8, trimmed, blank lines skipped",
         "\xEF\xBB\xBF  Іваненко О.В. \r\n\n\t\nPetrenko P.\r\n\xD0\x84rmolenko T.",
         {"Іваненко О.В.", "Petrenko P.", "Єrmolenko T."},
         ""},
        {"code page 1251 when not UTF-8", "\xB2\xE2\xE0\xED\n\xAA\xE2\xE0\n", {"Іван", "Єва"}, ""},
        {"the longest name", longest + "\n", {longest}, ""},
        {"as many names as the numbers go", tenThousand.substr(0, tenThousand.rfind("Student")),
         most, ""},
        {"no names", " \n\r\n\t", {}, "no names"},
        {"empty file", "", {}, "no names"},
        {"too long",
         "Ok\n" + longest + "B\n",
         {},
         "line 2: \"" + longest + "B\" has 50 characters"},
        {"not in the code page", "Li \xE6\x9D\x8E\n", {}, "line 1: \"Li \xE6\x9D\x8E\" holds"},
        {"a control character",
         "Ivan\x01ov\n",
         {},
         "line 1: \"Ivan\x01ov\" holds a control character (U+0001)"},
        {"too many names", tenThousand, {}, "10000 names; a roster holds at most 9999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto names = StudentList::namesFromText(c.text);
        if (!c.fault.empty()) {
            ASSERT_FALSE(names.ok());
            EXPECT_NE(names.fault().message.find(c.fault), std::string::npos)
                << names.fault().message;
            continue;
        }
        ASSERT_TRUE(names.ok()) << names.fault().message;
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::filesystem::path path = dir.path().toStdString();
        const std::string table =
            StudentList::makeTable(names.value(), std::chrono::year(2026) / 12 / 11);
        const Status saved = StudentList::save(path / StudentList::kFileName, table);
        ASSERT_TRUE(saved.ok()) << saved.fault().message;
        StudentList list;
        ASSERT_TRUE(list.load(path).ok());
        std::vector<std::string> expected;
        for (const std::string& name : c.names) {
            expected.push_back(toCp1251(name));
        }
        EXPECT_EQ(list.names(), expected);
        // What dBASE readers go by: header and record length, no record deleted.
        EXPECT_EQ(table.substr(8, 4), std::string("\xC8\x01\x5C\x00", 4));
        for (const auto& record : StudentList::parseRecords(table)) {
            EXPECT_FALSE(record.deleted);
        }
    }
}

TEST(StudentList, AFailedSaveLeavesNoTraceAndNoHalfTable)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path path = dir.path().toStdString();
    const std::string table = StudentList::makeTable({"Koval I."}, std::chrono::year(2026) / 1 / 1);
    const auto faultOf = [](const Status& s) { return s.ok() ? std::string() : s.fault().message; };

    EXPECT_NE(
        faultOf(StudentList::save(path / "missing" / "students.dbf", table)).find("cannot write"),
        std::string::npos);

    // A folder where the table should go: the rename fails after the data is written.
    std::filesystem::create_directory(path / "students.dbf");
    EXPECT_NE(faultOf(StudentList::save(path / "students.dbf", table)).find("cannot write"),
              std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path), {}), 1);

    // A table replaced keeps its permissions.
    std::filesystem::remove(path / "students.dbf");
    ASSERT_EQ(faultOf(StudentList::save(path / "students.dbf", table)), "");
    std::filesystem::permissions(path / "students.dbf", std::filesystem::perms(0640));
    ASSERT_EQ(faultOf(StudentList::save(path / "students.dbf", table + table)), "");
    EXPECT_EQ(std::filesystem::status(path / "students.dbf").permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(std::filesystem::file_size(path / "students.dbf"), 2 * table.size());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path), {}), 1);
}
