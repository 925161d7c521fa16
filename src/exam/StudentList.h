#pragma once

#include "definition/Fault.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// The names offered in the name box in examination mode, from the table
// students.dbf (a dBASE file) in the working directory. Only three things of
// it are read: the record count (uint32 at byte 4), the records of 92 bytes
// from byte 456, and in each the name from its byte 5 up to the first zero
// byte, used as it stands (padding blanks included), code page 1251.
class StudentList
{
public:
    static constexpr const char* kFileName = "students.dbf";
    static constexpr std::size_t kCountAt = 4;
    static constexpr std::size_t kFirstRecord = 456;
    static constexpr std::size_t kRecordSize = 92;
    static constexpr std::size_t kNameAt = 5;

    // Reads students.dbf in `dir` and replaces the names. A file that cannot
    // be opened or read leaves the names of the last successful read and
    // gives the (not fatal) fault "Не удается открыть файл students.dbf!".
    Status load(const std::filesystem::path& dir);

    const std::vector<std::string>& names() const { return m_names; }

    // The names of a table's bytes. Nothing beyond the data or beyond a
    // record is read: a file too short for its count gives the records it
    // holds (a last record cut short gives the part of its name that is
    // there), a name without a zero byte ends with its record.
    static std::vector<std::string> parse(std::string_view file);

    // A record as the exam server reads it: the name as above and whether
    // the record carries dBASE's deletion mark ('*' in its first byte),
    // which the client does not look at.
    struct Record
    {
        std::string name;
        bool deleted = false;
    };
    static std::vector<Record> parseRecords(std::string_view file);

    // The examiner's side: making the table from a list of names.
    //
    // The table is a dBASE III file that reads back through parse() and
    // opens in a spreadsheet as well: a number field NR of four digits
    // (bytes 1 to 4 of a record) and the name field NAME (byte 5 on). The
    // name is padded with zero bytes where dBASE pads with blanks, because
    // the client takes padding blanks as part of the name.
    static constexpr std::size_t kHeaderSize = kFirstRecord;
    static constexpr std::size_t kNumberWidth = kNameAt - 1;
    static constexpr std::size_t kNameWidth = kRecordSize - kNameAt;
    static constexpr std::size_t kMostRecords = 9999; // what NR can number

    // The names of a names file, in code page 1251: one a line, the file
    // UTF-8 or else taken as code page 1251; blank lines are skipped and
    // blanks around a name trimmed. A fault (UTF-8, naming the line at
    // fault) when there is no name, a name is
    // longer than the title page takes (TestSession::kNameLimit) or holds a
    // character code page 1251 lacks or a control character, or there are
    // more names than kMostRecords.
    static Result<std::vector<std::string>> namesFromText(std::string_view text);

    // The table of names as namesFromText gives them (at most kMostRecords,
    // each shorter than kNameWidth), dated `updated`.
    static std::string makeTable(const std::vector<std::string>& names,
                                 std::chrono::year_month_day updated);

    // Writes `table` to `file` through a temporary file in the same folder
    // renamed into place: the exam server reads the roster again as soon as
    // it changes and must never see half of one, and a failed write leaves
    // the old file as it was. The fault's message is UTF-8.
    static Status save(const std::filesystem::path& file, std::string_view table);

private:
    std::vector<std::string> m_names;
};

} // namespace qd
