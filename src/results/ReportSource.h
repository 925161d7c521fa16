#pragma once

#include "definition/Fault.h"
#include "results/ReportReader.h"

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace qd {

// A report as a source gives it: a name that tells the examiner where it
// came from, and the parsed report or why it is not one.
struct SourcedReport
{
    std::string name; // UTF-8
    Result<ParsedReport> report;
};

// Where the reports of an exam come from. The analysis works on the parsed
// reports only, so a new source (the exam server's journal) is one more
// implementation of this interface.
class ReportSource
{
public:
    virtual ~ReportSource() = default;

    // Every report of the source, in a stable order. A fault of the whole
    // source (a folder that cannot be read) comes back as a Fault; a single
    // unreadable or foreign entry is a SourcedReport holding its Fault.
    virtual Result<std::vector<SourcedReport>> reports() = 0;
};

// The reports in a folder (typically a REZ_TEST folder collected from the
// lab computers) and its subfolders: every regular file, in the order of
// its path relative to the folder (its name), read and parsed. Bounded:
// at most kMaxFiles files are read, a file over kMaxReportBytes is not.
class ReportFolder : public ReportSource
{
public:
    static constexpr std::size_t kMaxFiles = 100000;

    explicit ReportFolder(std::filesystem::path folder);

    Result<std::vector<SourcedReport>> reports() override;

    // The files themselves, in the same order (for those who need the
    // bytes as they are: bringing them into the journal).
    Result<std::vector<std::filesystem::path>> files() const;

    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
};

// A file's bytes, at most `limit` of them; the reason (UTF-8) when it
// cannot be read or is larger.
Result<std::string> readFileBounded(const std::filesystem::path& path, std::size_t limit);

} // namespace qd
