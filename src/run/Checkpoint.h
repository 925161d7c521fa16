#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/RunState.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Everything a run needs to go on after the computer running it died: the
// test it belongs to, the student, the draw, the answers so far, the open
// question with the time it has used, both clocks, the report so far and
// the exam link's state. The session takes one when a question is shown,
// when it is answered and every few seconds while it is open; a resumed run
// starts from the last one that reached the disk.
struct Checkpoint
{
    // A checkpoint is written at most this far apart while a question is
    // open; a resumed question is charged up to this much for the time
    // between the last checkpoint and the cut, which nothing recorded.
    static constexpr uint32_t kPeriodMs = 5000;
    // Files larger than this are not read: a checkpoint of the largest test
    // (5000 questions with long typed answers) stays far below it.
    static constexpr std::size_t kMaxBytes = 16u << 20;

    struct Answer
    {
        int32_t question = 0; // number (record index + 1)
        float points = 0.0f;
        bool right = false; // the question earned its full mark
    };

    std::string testId;      // testIdentity() of the test
    std::string studentName; // code page 1251, as entered
    bool examMode = false;
    uint32_t seed = 0;
    // The draw: the questions asked, in asking order, and for each of them
    // the shown order of its options (for a matching question, the orders of
    // its columns one after another).
    std::vector<int32_t> askingOrder;
    std::vector<std::vector<int32_t>> optionOrders;

    std::vector<Answer> answers; // in the order answered
    int32_t finishedCount = 0;   // answers plus the questions the test time cut off
    int32_t unaskedCount = 0;
    float score = 0.0f;
    int32_t maxScore = 0;
    std::vector<int32_t> wrongQuestions;

    int32_t openQuestion = -1; // record index of the question shown, -1 none
    uint32_t questionUsedMs = 0;
    uint32_t testUsedMs = 0;
    int64_t writtenAtMs = 0; // the machine's calendar clock (Clock::wallMilliseconds)

    std::string reportName; // the report's file name beside the checkpoint; empty: none
    std::string reportText; // every byte of the report so far (code page 1251)

    bool registered = false;   // examination mode: the server admitted the student
    bool acknowledged = false; // the server answered the last message sent
    int32_t resumeCount = 0;   // how many times this run was resumed
};

// The test's identity: a SHA-256 of both decoded files, as hex. Two
// versions of a test that differ by one byte differ here.
std::string testIdentity(const TestModel& model);

// The draw of a run as a checkpoint records it.
std::vector<std::vector<int32_t>> optionOrdersOf(const TestModel& model,
                                                 const std::vector<int32_t>& asked);

// The file's bytes: a first line naming the format, the body's length and
// its SHA-256, then the body (JSON, UTF-8).
std::string encodeCheckpoint(const Checkpoint& c);

// Why a checkpoint is not used. The messages are the title page's line.
enum class CheckpointProblem { Unreadable, Truncated, Damaged, Foreign };
struct CheckpointRefusal
{
    CheckpointProblem problem;
    std::string message; // code page 1251
};
CheckpointRefusal refusal(CheckpointProblem problem);

// Reads a checkpoint's bytes: the first line, the length (shorter: cut),
// the checksum and every field with its bounds (otherwise damaged or
// edited). Does not know the test: checkpointFits does that.
std::variant<Checkpoint, CheckpointRefusal> decodeCheckpoint(std::string_view bytes);

// Whether a decoded checkpoint belongs to this test and this draw: the
// identity, the questions and option orders `model` and `st` drew from the
// checkpoint's seed, and the answers within them. Another test or version
// is Foreign; anything else that does not fit is Damaged.
std::optional<CheckpointRefusal> checkpointFits(const Checkpoint& c, const TestModel& model,
                                                const RunState& st);

} // namespace qd
