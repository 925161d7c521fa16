#include "Roster.h"

#include "exam/StudentList.h"
#include "results/ReportSource.h"

#include <sys/stat.h>

namespace qd::server {

namespace {

// The largest roster taken: 92 bytes a record, a million students.
constexpr std::size_t kMaxRosterBytes = 100u << 20;

} // namespace

Status Roster::load(const std::filesystem::path& file)
{
    const auto bytes = readFileBounded(file, kMaxRosterBytes);
    if (!bytes.ok()) {
        return Fault{"cannot read the roster " + file.string() + ": " + bytes.fault().message};
    }
    loadBytes(bytes.value());
    return {};
}

void Roster::loadBytes(std::string_view table)
{
    std::unordered_map<std::string, bool> names;
    for (StudentList::Record& r : StudentList::parseRecords(table)) {
        // A name listed twice is deleted only when every record of it is.
        auto [it, fresh] = names.emplace(r.name, r.deleted);
        if (!fresh) {
            it->second = it->second && r.deleted;
        }
    }
    m_names = std::move(names);
}

Roster::Entry Roster::find(const std::string& cp1251) const
{
    const auto it = m_names.find(cp1251);
    if (it == m_names.end()) {
        return Entry::Absent;
    }
    return it->second ? Entry::Deleted : Entry::Listed;
}

Roster::Stamp Roster::stampOf(const std::filesystem::path& file)
{
    struct stat st
    {};
    if (::stat(file.c_str(), &st) != 0) {
        return {};
    }
    return Stamp{int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, int64_t(st.st_size),
                 uint64_t(st.st_ino)};
}

} // namespace qd::server
