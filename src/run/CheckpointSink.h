#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/Checkpoint.h"

#include <filesystem>

namespace qd {

// Where a run keeps its checkpoints, beside its report. The session decides
// when and what; the file, its folder and the report's part belong to the
// results layer (CheckpointFile).
class CheckpointSink
{
public:
    virtual ~CheckpointSink() = default;

    // Writes the checkpoint whole, replacing the last one; the sink adds the
    // report's file name and bytes. A failure is kept for takeFault.
    virtual void save(Checkpoint checkpoint) = 0;

    // The test ended normally: the checkpoint is no longer needed.
    virtual void discard() = 0;

    // A resumed run's report: the file the checkpoint names goes on when it
    // still holds exactly the bytes recorded; otherwise it is left as it is
    // and a new one holds them. A fault is not fatal: it says what became
    // of the report.
    virtual Status continueReport(const TestModel& model, const Checkpoint& checkpoint,
                                  const std::filesystem::path& workDir) = 0;

    // The first save that failed since the last call, once; nothing otherwise.
    virtual Status takeFault() = 0;
};

} // namespace qd
