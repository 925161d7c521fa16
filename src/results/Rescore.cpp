#include "results/Rescore.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "results/ReportFile.h"
#include "results/ReportRows.h"
#include "run/Grading.h"
#include "run/RunState.h"
#include "run/Scoring.h"

#include <algorithm>
#include <cstdio>

namespace qd {

namespace {

Fault doesNotFit(const ReportRow& row, std::string_view why)
{
    return Fault{"question " + std::to_string(row.question) + ": " + std::string(why),
                 TextEncoding::Cp1251};
}

// The group of the first column whose label is `label` and that expects
// something (only such rows are written), not yet taken by an earlier row.
int groupOf(const Question& q, char label, const std::vector<bool>& taken)
{
    const int rows =
        q.columns.empty() ? 0 : std::min<int>(q.columns[0].rowCount(), int(q.groups.size()));
    for (int g = 0; g < rows; ++g) {
        if (!taken[std::size_t(g)] && q.groups[std::size_t(g)].label == label &&
            q.groups[std::size_t(g)].numberCount != 0) {
            return g;
        }
    }
    return -1;
}

// Puts the response of one row into `st` as the window would hold it when
// the question ends, and the typed text into `typed`. Numbers are those of
// the test file, which are the shown positions + 1 of a model as loaded.
Status rebuildResponse(const Question& q, const ReportRow& row, RunState& st, std::string& typed)
{
    st.resetResponse();
    typed.clear();
    if (q.answeredByTyping() && !q.isChoice()) {
        typed = row.answer; // the typed text, as written
        return {};
    }
    switch (q.type) {
    case QuestionType::SingleChoice:
    case QuestionType::MultipleChoice: {
        const auto numbers = choiceNumbers(row.answer);
        if (!numbers || numbers->size() > std::size_t(kMaxAnswers) ||
            (q.type == QuestionType::SingleChoice && q.picture != PictureMode::PictureOnly &&
             numbers->size() > 1)) {
            return doesNotFit(row, "the answer is not a list of option numbers");
        }
        if (q.picture == PictureMode::PictureOnly) {
            // The typed numbers as read from the box; an unreadable text
            // left the column empty and earns nothing again.
            for (std::size_t i = 0; i < numbers->size(); ++i) {
                typed += (i ? "," : "") + std::to_string((*numbers)[i]);
            }
            return {};
        }
        st.pickCount = q.type == QuestionType::SingleChoice ? 1 : 0;
        if (q.type == QuestionType::SingleChoice) {
            st.picks[0] = numbers->empty() ? -2 : (*numbers)[0] - 1;
        } else {
            st.pickCount = int32_t(numbers->size());
            for (std::size_t i = 0; i < numbers->size(); ++i) {
                st.picks[i] = (*numbers)[i] - 1;
            }
        }
        for (int i = 0; i < st.pickCount; ++i) {
            const int32_t p = st.picks[std::size_t(i)];
            if ((p < 0 || p >= q.optionCount) &&
                !(q.type == QuestionType::SingleChoice && p == -2)) {
                return doesNotFit(row, "an option number outside the question");
            }
        }
        return {};
    }
    case QuestionType::Ordering: {
        // "%d," per filled place; the filled places are taken as the first.
        const auto numbers = choiceNumbers(row.answer);
        if (!numbers || numbers->size() > std::size_t(q.optionCount)) {
            return doesNotFit(row, "the answer is not an order of the options");
        }
        for (std::size_t j = 0; j < numbers->size(); ++j) {
            const int32_t n = (*numbers)[j];
            if (n < 0 || n > q.optionCount) {
                return doesNotFit(row, "an option number outside the question");
            }
            st.ordering[j] = n;
            st.placed[j] = true;
        }
        return {};
    }
    case QuestionType::Matching:
    case QuestionType::MatchingColumns: {
        const auto rows = matchingRows(row.answer);
        if (!rows || q.columns.size() < 2) {
            return doesNotFit(row, "the answer is not a matching of the columns");
        }
        const int firstRows = q.columns[0].rowCount();
        const int k = q.columnCount - 1;
        std::vector<bool> taken(std::size_t(std::max(firstRows, 0)), false);
        if (q.type == QuestionType::Matching) {
            st.matchingPicks.assign(std::size_t(firstRows), {});
        } else {
            for (auto& r : st.columnPicks) {
                r.fill(-1);
            }
        }
        for (const MatchingRow& m : *rows) {
            const int g = groupOf(q, m.label, taken);
            if (g < 0) {
                return doesNotFit(row, "a row label that no row of the question has");
            }
            taken[std::size_t(g)] = true;
            if (q.type == QuestionType::Matching) {
                if (m.numbers.size() > std::size_t(q.columns[1].rowCount())) {
                    return doesNotFit(row, "more matches than the second column has cells");
                }
                auto& rec = st.matchingPicks[std::size_t(g)];
                rec[0] = int32_t(m.numbers.size());
                for (std::size_t i = 0; i < m.numbers.size(); ++i) {
                    if (m.numbers[i] < 1 || m.numbers[i] > q.columns[1].rowCount()) {
                        return doesNotFit(row, "a cell number outside the second column");
                    }
                    rec[i + 1] = m.numbers[i] - 1;
                }
            } else {
                if (int(m.numbers.size()) != k) {
                    return doesNotFit(row, "a row without one entry for every further column");
                }
                for (int c = 0; c < k; ++c) {
                    const int32_t v = m.numbers[std::size_t(c)];
                    if (v < 0 || v > q.columns[std::size_t(c) + 1].rowCount()) {
                        return doesNotFit(row, "a cell number outside its column");
                    }
                    st.columnPicks[std::size_t(g)][std::size_t(c)] = v - 1; // 0: none, -1
                }
            }
        }
        return {};
    }
    default:
        return doesNotFit(row, "a question of an unknown type");
    }
}

} // namespace

Result<RescoredReport> rescoreReport(const TestModel& model, const ParsedReport& report)
{
    RescoredReport out;
    RunState st;
    ReportFile none; // scoreQuestion writes its line nowhere
    std::vector<bool> asked(std::size_t(model.questionCount), false);
    int64_t askedMarks = 0;
    for (const ReportRow& row : report.rows) {
        if (row.question < 1 || row.question > model.questionCount) {
            return doesNotFit(row, "not in the test");
        }
        const Question& q = model.questions[std::size_t(row.question - 1)];
        st.currentQuestion = row.question - 1;
        std::string typed;
        if (Status f = rebuildResponse(q, row, st, typed); !f.ok()) {
            return f.fault();
        }
        const Result<float> points = scoreQuestion(model, st, typed, none);
        if (!points.ok()) {
            return doesNotFit(row, points.fault().message); // the engine's own message
        }
        out.points.push_back(points.value());
        asked[std::size_t(row.question - 1)] = true;
        askedMarks += q.mark;
        st.finishedCount += 1;
    }

    const std::string unfinished = toCp1251("Тест не завершено!");
    const bool stopped = !report.finished || report.grade == unfinished;
    // A test ended by its time limit counts the marks of the questions it
    // did not ask. Those are the questions missing from the report when
    // every question is asked; otherwise the report's maximum tells their
    // sum, as long as the marks of the questions it holds did not change.
    if (!stopped && int(report.rows.size()) < model.askCount) {
        st.unaskedCount = model.askCount - int(report.rows.size());
        if (model.askCount == model.questionCount) {
            for (int i = 0; i < model.questionCount; ++i) {
                if (!asked[std::size_t(i)]) {
                    st.addMaxScore(model.questions[std::size_t(i)].mark);
                }
            }
        } else {
            st.addMaxScore(
                int32_t(std::clamp<int64_t>(int64_t(report.maxScore) - askedMarks, 0, INT32_MAX)));
        }
    }

    out.score = st.score;
    out.scoreText = twoDecimals(double(st.score));
    out.maxScore = st.maxScore;
    out.percent = percentOf(st.score, st.maxScore);
    out.grade = stopped
                    ? unfinished
                    : gradeText(model, out.percent, report.elapsedSeconds(), everyPointEarned(st));
    out.wrong = st.wrongQuestions;
    std::sort(out.wrong.begin(), out.wrong.end());
    return out;
}

bool rescoreChanges(const ParsedReport& report, const RescoredReport& rescored)
{
    if (!report.finished) {
        for (std::size_t i = 0; i < report.rows.size() && i < rescored.points.size(); ++i) {
            if (report.rows[i].pointsText != twoDecimals(double(rescored.points[i]))) {
                return true;
            }
        }
        return false;
    }
    return report.scoreText != rescored.scoreText || report.percent != rescored.percent ||
           report.grade != rescored.grade;
}

std::string correctedReport(const ParsedReport& report, const RescoredReport& rescored)
{
    std::string out = report.header;
    if (!report.headerComplete) {
        return out;
    }
    for (std::size_t i = 0; i < report.rows.size(); ++i) {
        const double points =
            i < rescored.points.size() ? double(rescored.points[i]) : report.rows[i].points;
        out += formatReportRow(report.rows[i].question, points, report.rows[i].answer);
    }
    if (report.finished) {
        out += formatClosingRows(double(rescored.score), rescored.maxScore, rescored.percent,
                                 report.elapsedSeconds(), rescored.grade);
        out += formatAccommodationRow(report.accommodations);
    }
    return out;
}

} // namespace qd
