#pragma once

#include "definition/TestModel.h"
#include "run/Checkpoint.h"
#include "run/CheckpointSink.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qd {

class ReportFile;

// A run's checkpoint on disk: one file beside the report, named as the
// report is (the student's name without blanks, made harmless) with
// ".checkpoint". It is written whole: a temporary file, synced, renamed over
// the last one, then the folder synced, so that a power cut leaves either
// the old checkpoint or the new one, never a part.
//
// Nothing a student or an examiner made is lost: a checkpoint that is not
// used (another test, damaged) is renamed aside with a number behind it
// before this run's first one takes its name, and the report of a resumed
// run that changed since is kept as it is.
class CheckpointFile : public CheckpointSink
{
public:
    explicit CheckpointFile(ReportFile& report) : m_report(report) {}

    // The folders a student's checkpoint may be in, in the order they are
    // looked at: the test's results folder (relative to workDir), then the
    // fall-back folder REZ_TEST in the home directory.
    static std::vector<std::filesystem::path> folders(const TestModel& model,
                                                      const std::filesystem::path& workDir);
    // The checkpoint's file name for a student's name (code page 1251);
    // empty when the name is blank (no report, nothing to resume).
    static std::string fileNameFor(std::string_view studentName);

    struct Found
    {
        std::filesystem::path file;
        std::variant<Checkpoint, CheckpointRefusal> content;
    };
    // The student's checkpoint in the first folder that has one: read and
    // checked on its own (decodeCheckpoint); nullopt when there is none.
    static std::optional<Found> find(const TestModel& model, const std::filesystem::path& workDir,
                                     std::string_view studentName);

    // The run goes on from the checkpoint in `file`: its report is beside
    // it, and the next save replaces it.
    void resumeFrom(std::filesystem::path file) { m_resumedFrom = std::move(file); }

    void save(Checkpoint checkpoint) override;
    void discard() override;
    Status continueReport(const TestModel& model, const Checkpoint& checkpoint,
                          const std::filesystem::path& workDir) override;
    Status takeFault() override;

    // The checkpoint this run wrote last; empty when none.
    const std::filesystem::path& path() const { return m_file; }
    // Called after every checkpoint that reached the disk.
    std::function<void(const Checkpoint&)> afterSave;

    // Numbers tried behind a checkpoint that is put aside.
    static constexpr int kMaxAsideNumbers = 999;

private:
    bool write(const std::filesystem::path& target, const std::string& bytes);
    void putAside(const std::filesystem::path& target);

    ReportFile& m_report;
    std::filesystem::path m_resumedFrom;
    std::filesystem::path m_file;
    bool m_failed = false;
    bool m_faultTaken = false;
};

} // namespace qd
