#include "run/Scoring.h"

#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"
#include "results/ReportFile.h"
#include "run/MatchScoring.h"

#include <algorithm>
#include <cmath>

namespace qd {

void appendEntry(std::string& text, std::string_view entry, bool& full)
{
    if (full || text.size() + entry.size() > kAnsTextCapacity) {
        full = true;
        return;
    }
    text.append(entry);
}

bool answerTyped(const Question& q)
{
    return q.graph == 2 || q.type == 5;
}

Status scoreQuestion(const TestModel& model, RunState& st, std::string_view typed,
                     ReportFile& report, float* points)
{
    const Question& q = model.stq[std::size_t(st.cur_q)];
    st.ans_text.clear();
    if (answerTyped(q)) {
        if (typed.size() >= kAnsTextCapacity + 1) {
            return fault("Переполнение буфера для Edit->Text!");
        }
        st.ans_text.assign(typed);
    }

    float p = 0.0f;
    Status f;
    switch (q.type) {
    case 1:
    case 2:
        f = scoreChoice(model, st, p);
        break;
    case 3:
        f = scoreOrdering(model, st, p);
        break;
    case 4:
        f = scoreMatching(model, st, p);
        break;
    case 5:
        f = scoreTypedText(model, st, p);
        break;
    case 6:
        f = scoreMatchingColumns(model, st, p);
        break;
    default:
        return fault("Тип вопроса %d задан не верно!", st.cur_q + 1);
    }
    if (f) {
        return f;
    }

    if (!(p >= 0.0f)) { // negative, or not a number
        p = 0.0f;
    }
    // Nor more than the mark: a negative mark would turn the penalty for
    // surplus picks into a bonus.
    p = std::min(p, float(std::max(q.mark, 0)));
    if (std::fabs(double(q.mark) - double(p)) < 0.001) {
        st.answer_colour = colour::statusGreen;
    } else {
        st.answer_colour = colour::statusRed;
        st.nrighta.push_back(st.cur_q + 1);
    }
    st.score += p;
    st.addMaxScore(q.mark);
    report.writeQuestionLine(model, st, p);
    if (points) {
        *points = p;
    }
    return std::nullopt;
}

namespace {

// Typed numbers are 1-based; shown positions 0-based. Wrapping arithmetic:
// a typed number may be anything a 32-bit integer holds.
int32_t minusOne(int32_t v)
{
    return int32_t(uint32_t(v) - 1u);
}

int32_t plusOne(int32_t v)
{
    return int32_t(uint32_t(v) + 1u);
}

} // namespace

Status scoreChoice(const TestModel& model, RunState& st, float& points)
{
    const Question& q = model.stq[std::size_t(st.cur_q)];
    if (q.graph == 2) {
        st.n_picks = readnumbers(st.ans_text, int(st.ans_text.size()), kMaxAnswers, st.picks.data());
        for (int i = 0; i < st.n_picks; ++i) {
            st.picks[std::size_t(i)] = minusOne(st.picks[std::size_t(i)]);
        }
    }
    const float unit = float(q.mark) / float(q.nrans);
    points = 0.0f;
    if (st.n_picks > q.nrans) {
        points = float(-(st.n_picks - q.nrans)) * unit;
    }
    for (int i = 0; i < st.n_picks && i < kMaxAnswers; ++i) {
        if (indexOf(q.rans.data(), plusOne(st.picks[std::size_t(i)]), q.nrans) >= 0) {
            points += unit;
        }
    }
    return std::nullopt;
}

Status scoreOrdering(const TestModel& model, RunState& st, float& points)
{
    const Question& q = model.stq[std::size_t(st.cur_q)];
    int placed = 0;
    if (q.graph == 2) {
        placed = readnumbers(st.ans_text, int(st.ans_text.size()), kMaxAnswers, st.order3.data());
    } else {
        const int nans = std::min(q.nans, kMaxAnswers);
        for (int j = 0; j < nans; ++j) {
            if (st.col3[std::size_t(j)] == colour::red) {
                ++placed;
            } else {
                st.order3[std::size_t(j)] = 0;
            }
        }
        // The report shows the file numbers of the options in their new
        // order; at most what ans_text holds, whole entries only.
        st.ans_text.clear();
        bool full = false;
        for (int j = 0; j < placed; ++j) {
            const int32_t shown = st.order3[std::size_t(j)];
            const int32_t number =
                shown >= 1 && shown <= kMaxAnswers ? q.ord[std::size_t(shown - 1)] + 1 : 0;
            appendEntry(st.ans_text, std::to_string(number) + ",", full);
        }
    }
    const float unit = float(q.mark) / float(q.nrans);
    points = 0.0f;
    if (placed > q.nrans) {
        points = float(-(placed - q.nrans)) * unit;
    }
    for (int j = 0; j < q.nrans && j < kMaxAnswers; ++j) {
        if (q.rans[std::size_t(j)] == st.order3[std::size_t(j)]) {
            points += unit;
        }
    }
    return std::nullopt;
}

Status scoreTypedText(const TestModel& model, RunState& st, float& points)
{
    const Question& q = model.stq[std::size_t(st.cur_q)];
    std::string w = st.ans_text;
    if (Status f = removeBlanks(w)) {
        return f;
    }
    lowerCp1251(w);
    points = w == q.tans ? float(q.mark) : 0.0f;
    return std::nullopt;
}

void skip_unasked(const TestModel& model, RunState& st)
{
    for (int p = st.n_done; p < model.nq_ask; ++p) {
        st.addMaxScore(model.stq[std::size_t(st.i_r[std::size_t(p)])].mark);
        ++st.n_unasked;
    }
    st.n_done = std::max(st.n_done, model.nq_ask);
}

} // namespace qd
