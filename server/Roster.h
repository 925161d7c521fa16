#pragma once

#include "definition/Fault.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qd::server {

// The roster: students.dbf, read at the positions the client reads it, plus
// the deletion mark of each record. Names are kept as the client sends them
// (code page 1251 bytes up to the first zero).
class Roster
{
public:
    enum class Entry { Absent, Listed, Deleted };

    // Reads the table; a fault names the file. The previous names stay on
    // failure.
    Status load(const std::filesystem::path& file);
    // From a table's bytes (tests).
    void loadBytes(std::string_view table);
    Entry find(const std::string& cp1251) const;
    std::size_t size() const { return m_names.size(); }

    // What tells a changed file: written in place (time, size) or replaced
    // by a rename (another inode).
    struct Stamp
    {
        int64_t mtimeNs = -1;
        int64_t size = -1;
        uint64_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::filesystem::path& file);

private:
    std::unordered_map<std::string, bool> m_names; // name -> deleted
};

} // namespace qd::server
