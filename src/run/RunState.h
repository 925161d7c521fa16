#pragma once

#include "definition/Accommodations.h"
#include "definition/TestModel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qd {

// The answers of the question shown, where they stand on the screen: below
// the picture, one character right of the marker bar on an ordering
// question, and in their new order after a move. The model keeps them where
// the test file lays them out.
struct ShownAnswers
{
    std::vector<AnswerSlot> options; // choice and ordering questions
    std::vector<Column> columns;     // matching questions
};

// The running test: the response to the current question, the totals and
// the timing. Owned by the session for the whole run.
struct RunState
{
    int32_t notStarted = 1;
    std::string studentName;     // at most 49 characters
    int32_t currentQuestion = 0; // record index of the question shown
    int32_t finishedCount = 0;   // questions finished

    // The response. Shown (0-based) positions of options or cells; -2 empty.
    std::array<int32_t, kMaxAnswers> picks{};
    int32_t pickCount = 0;
    int32_t activeRow = -1;
    // Type 4: per row of the first column a count and up to 50 picks.
    std::vector<std::array<int32_t, kMaxAnswers + 1>> matchingPicks;
    // Type 6: per row, the pick in each of the columns 2 to 10, -1 none.
    std::array<std::array<int32_t, kMaxColumns - 1>, kMaxAnswers> columnPicks{};
    int16_t selectedPosition = -1;
    std::array<int32_t, kMaxAnswers> ordering{};
    // Ordering: the positions the student has filled (drawn red).
    std::array<bool, kMaxAnswers> placed{};

    ShownAnswers shown;
    // The test's name as the report and the results window give it: the
    // model's name, then CR LF "(" the directory the test ran from ")".
    std::string testTitle;

    int32_t stemTop = 0;
    int32_t cursorShape = -2; // 101 hand, -2 arrow
    int32_t hoverReset = 1;
    int32_t hoverRow = -1;
    int32_t hoverColumn = -1;

    // What the school grants this student (accommodations.txt): nothing
    // for a plain run.
    Accommodation accommodation;

    std::string answerText; // at most 127 characters
    float score = 0.0f;
    int32_t maxScore = 0;
    std::vector<int32_t> wrongQuestions; // numbers of questions not fully right
    // Questions the test time limit left unasked (their marks are counted in
    // maxScore, nothing in score): a run with any is not a full score.
    int32_t unaskedCount = 0;
    std::vector<int32_t> askingOrder; // record indexes in asking order

    uint32_t seed = 0; // of the draws (prepareRun)
    uint32_t testStartTick = 0;
    uint32_t questionStartTick = 0;

    uint32_t answerColour = colour::statusRed; // the status shape `Answer`

    RunState() { resetResponse(); }

    // Adds a question's full marks to maxScore. A mark may be as large as
    // 2^31 - 1 (or negative), so the total saturates instead of overflowing.
    void addMaxScore(int32_t mark)
    {
        maxScore = int32_t(std::clamp<int64_t>(int64_t(maxScore) + mark, INT32_MIN, INT32_MAX));
    }

    // Appends to picks (an ordering question's moves); refused (false) once
    // all kMaxAnswers entries are in use, so the response never overruns.
    bool appendPick(int32_t value)
    {
        if (pickCount < 0 || pickCount >= kMaxAnswers) {
            return false;
        }
        picks[std::size_t(pickCount++)] = value;
        return true;
    }

    // picks to -2, no position placed, ordering to 1..50, stemTop 0, hover reset.
    void resetResponse()
    {
        picks.fill(-2);
        placed.fill(false);
        for (int i = 0; i < kMaxAnswers; ++i) {
            ordering[std::size_t(i)] = i + 1;
        }
        stemTop = 0;
        hoverReset = 1;
    }
};

} // namespace qd
