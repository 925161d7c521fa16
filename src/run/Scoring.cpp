#include "run/Scoring.h"

#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"
#include "run/ReportSink.h"
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

Result<float> scoreQuestion(const TestModel& model, RunState& st, std::string_view typed,
                            ReportSink& report)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    st.answerText.clear();
    if (q.answeredByTyping()) {
        if (typed.size() >= kAnsTextCapacity + 1) {
            return fault("Переполнение буфера для Edit->Text!");
        }
        st.answerText.assign(typed);
    }

    Result<float> scored = 0.0f;
    switch (q.type) {
    case QuestionType::SingleChoice:
    case QuestionType::MultipleChoice:
        scored = scoreChoice(model, st);
        break;
    case QuestionType::Ordering:
        scored = scoreOrdering(model, st);
        break;
    case QuestionType::Matching:
        scored = scoreMatching(model, st);
        break;
    case QuestionType::TypedText:
        scored = scoreTypedText(model, st);
        break;
    case QuestionType::MatchingColumns:
        scored = scoreMatchingColumns(model, st);
        break;
    default:
        return fault("Тип вопроса %d задан не верно!", st.currentQuestion + 1);
    }
    if (!scored.ok()) {
        return scored.fault();
    }
    float p = scored.value();

    if (!(p >= 0.0f)) { // negative, or not a number
        p = 0.0f;
    }
    // Nor more than the mark: a negative mark would turn the penalty for
    // surplus picks into a bonus.
    p = std::min(p, float(std::max(q.mark, 0)));
    if (std::fabs(double(q.mark) - double(p)) < 0.001) {
        st.answerColour = colour::statusGreen;
    } else {
        st.answerColour = colour::statusRed;
        st.wrongQuestions.push_back(st.currentQuestion + 1);
    }
    st.score += p;
    st.addMaxScore(q.mark);
    report.writeQuestionLine(model, st, p);
    return p;
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

float scoreChoice(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    if (q.picture == PictureMode::PictureOnly) {
        st.pickCount =
            readNumbers(st.answerText, int(st.answerText.size()), kMaxAnswers, st.picks.data());
        for (int i = 0; i < st.pickCount; ++i) {
            st.picks[std::size_t(i)] = minusOne(st.picks[std::size_t(i)]);
        }
    }
    const float unit = float(q.mark) / float(q.correctCount);
    float points = 0.0f;
    if (st.pickCount > q.correctCount) {
        points = float(-(st.pickCount - q.correctCount)) * unit;
    }
    for (int i = 0; i < st.pickCount && i < kMaxAnswers; ++i) {
        if (indexOf(q.correctAnswers.data(), plusOne(st.picks[std::size_t(i)]), q.correctCount) >=
            0) {
            points += unit;
        }
    }
    return points;
}

float scoreOrdering(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    int placed = 0;
    if (q.picture == PictureMode::PictureOnly) {
        placed =
            readNumbers(st.answerText, int(st.answerText.size()), kMaxAnswers, st.ordering.data());
    } else {
        const int optionCount = std::min(q.optionCount, kMaxAnswers);
        for (int j = 0; j < optionCount; ++j) {
            if (st.placed[std::size_t(j)]) {
                ++placed;
            } else {
                st.ordering[std::size_t(j)] = 0;
            }
        }
        // The report shows the file numbers of the options in their new
        // order; at most what answerText holds, whole entries only.
        st.answerText.clear();
        bool full = false;
        for (int j = 0; j < placed; ++j) {
            const int32_t shown = st.ordering[std::size_t(j)];
            const int32_t number =
                shown >= 1 && shown <= kMaxAnswers ? q.displayOrder[std::size_t(shown - 1)] + 1 : 0;
            appendEntry(st.answerText, std::to_string(number) + ",", full);
        }
    }
    const float unit = float(q.mark) / float(q.correctCount);
    float points = 0.0f;
    if (placed > q.correctCount) {
        points = float(-(placed - q.correctCount)) * unit;
    }
    for (int j = 0; j < q.correctCount && j < kMaxAnswers; ++j) {
        if (q.correctAnswers[std::size_t(j)] == st.ordering[std::size_t(j)]) {
            points += unit;
        }
    }
    return points;
}

Result<float> scoreTypedText(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    std::string w = st.answerText;
    if (Status f = removeBlanks(w); !f.ok()) {
        return f.fault();
    }
    lowerCp1251(w);
    if (q.acceptedTexts.empty()) {
        return w == q.expectedText ? float(q.mark) : 0.0f;
    }
    const bool accepted =
        std::find(q.acceptedTexts.begin(), q.acceptedTexts.end(), w) != q.acceptedTexts.end();
    return accepted ? float(q.mark) : 0.0f;
}

void skipUnasked(const TestModel& model, RunState& st)
{
    for (int p = st.finishedCount; p < model.askCount; ++p) {
        st.addMaxScore(model.questions[std::size_t(st.askingOrder[std::size_t(p)])].mark);
        ++st.unaskedCount;
    }
    st.finishedCount = std::max(st.finishedCount, model.askCount);
}

} // namespace qd
