#pragma once

#include "definition/Fault.h"

#include <filesystem>
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

private:
    std::vector<std::string> m_names;
};

} // namespace qd
