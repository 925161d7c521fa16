#pragma once

#include "definition/TestModel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qd {

// The running test: the response to the current question, the totals and
// the timing. Owned by the session for the whole run.
struct RunState
{
    int32_t not_started = 1;
    std::string st_name;  // at most 49 characters
    int32_t cur_q = 0;    // record index of the question shown
    int32_t n_done = 0;   // questions finished

    // The response. Shown (0-based) positions of options or cells; -2 empty.
    std::array<int32_t, kMaxAnswers> picks{};
    int32_t n_picks = 0;
    int32_t act_row = -1;
    // Type 4: per row of the first column a count and up to 50 picks.
    std::vector<std::array<int32_t, kMaxAnswers + 1>> rows4;
    // Type 6: per row, the pick in each of the columns 2 to 10, -1 none.
    std::array<std::array<int32_t, kMaxColumns - 1>, kMaxAnswers> grid6{};
    int16_t sel3 = -1;
    std::array<int32_t, kMaxAnswers> order3{};
    std::array<uint32_t, kMaxAnswers> col3{};

    int32_t pic_dy = 0;
    int32_t cursor_id = -2; // 101 hand, -2 arrow
    int32_t hover_reset = 1;
    int32_t hover_row = -1;
    int32_t hover_col = -1;

    std::string ans_text; // at most 127 characters
    float score = 0.0f;
    int32_t max_score = 0;
    std::vector<int32_t> nrighta; // numbers of questions not fully right
    // Questions the test time limit left unasked (their marks are counted in
    // max_score, nothing in score): a run with any is not a full score.
    int32_t n_unasked = 0;
    std::vector<int32_t> i_r;     // record indexes in asking order

    uint32_t tick_test = 0;
    uint32_t tick_quest = 0;

    uint32_t answer_colour = colour::statusRed; // the status shape `Answer`

    RunState() { resetResponse(); }

    // Adds a question's full marks to max_score. A mark may be as large as
    // 2^31 - 1 (or negative), so the total saturates instead of overflowing.
    void addMaxScore(int32_t mark)
    {
        max_score = int32_t(std::clamp<int64_t>(int64_t(max_score) + mark, INT32_MIN, INT32_MAX));
    }

    // Appends to picks (an ordering question's moves); refused (false) once
    // all kMaxAnswers entries are in use, so the response never overruns.
    bool appendPick(int32_t value)
    {
        if (n_picks < 0 || n_picks >= kMaxAnswers) {
            return false;
        }
        picks[std::size_t(n_picks++)] = value;
        return true;
    }

    // picks to -2, col3 to black, order3 to 1..50, pic_dy 0, hover reset.
    void resetResponse()
    {
        picks.fill(-2);
        col3.fill(colour::black);
        for (int i = 0; i < kMaxAnswers; ++i) {
            order3[std::size_t(i)] = i + 1;
        }
        pic_dy = 0;
        hover_reset = 1;
    }
};

} // namespace qd
