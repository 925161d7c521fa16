#include "ModelInvariants.h"

namespace qdfuzz {

namespace {

bool within(int v, int lo, int hi)
{
    return v >= lo && v <= hi;
}

const char* brokenInvariant(const qd::Question& q)
{
    if (!within(qd::typeNumber(q.type), 1, 6) || !within(qd::pictureModeNumber(q.picture), 0, 2)) {
        return "type or graph out of range";
    }
    if (!within(q.optionCount, 0, qd::kMaxAnswers) ||
        q.options.size() < std::size_t(q.optionCount)) {
        return "nans without its answer slots";
    }
    if (!within(q.correctCount, 0, qd::kMaxAnswers)) {
        return "nrans out of range";
    }
    if (q.text.size() > std::size_t(qd::kMaxTextLength)) {
        return "stem longer than its capacity";
    }
    for (int i = 0; i < q.optionCount; ++i) {
        if (!within(q.displayOrder[i], 0, q.optionCount - 1)) {
            return "ord outside the options";
        }
    }
    const bool columns = q.isMatching() && q.picture != qd::PictureMode::PictureOnly;
    if (columns) {
        if (!within(q.columnCount, 2, qd::kMaxColumns) ||
            q.columns.size() != std::size_t(q.columnCount)) {
            return "ncol without its columns";
        }
        int cells = 0;
        for (const qd::Column& c : q.columns) {
            if (c.rowCount() < 1 || c.cells.size() != std::size_t(c.rowCount()) ||
                c.displayOrder.size() != std::size_t(c.rowCount())) {
                return "nrow without its cells";
            }
            cells += c.rowCount();
        }
        if (cells != q.optionCount) {
            return "columns do not hold every option once";
        }
    }
    if (q.type == qd::QuestionType::Matching || (q.type == qd::QuestionType::MatchingColumns &&
                                                 q.picture != qd::PictureMode::PictureOnly)) {
        if (q.correctCount > qd::kMaxGroups || q.groups.size() < std::size_t(q.correctCount)) {
            return "nrans without its groups";
        }
        for (int g = 0; g < q.correctCount; ++g) {
            if (!within(q.groups[g].numberCount, 0, qd::kMaxGroupNumbers)) {
                return "group count out of range";
            }
        }
        if (columns && q.correctCount != q.columns[0].rowCount()) {
            return "groups and first-column rows differ";
        }
    }
    if (q.type == qd::QuestionType::MatchingColumns && q.picture == qd::PictureMode::PictureOnly) {
        if (q.correctCount > qd::kMaxTypedKeys ||
            q.acceptedStrings.size() < std::size_t(q.correctCount) ||
            !within(q.columnCount, 0, qd::kMaxTypedKeyLength)) {
            return "typed keys out of range";
        }
        for (int k = 0; k < q.correctCount; ++k) {
            if (q.acceptedStrings[k].size() != std::size_t(q.columnCount)) {
                return "typed keys of another length than ncol";
            }
        }
    }
    return nullptr;
}

} // namespace

const char* brokenInvariant(const qd::TestModel& m)
{
    if (!within(m.questionCount, 1, qd::kMaxQuestions) ||
        m.questions.size() != std::size_t(m.questionCount)) {
        return "nq_total without its records";
    }
    if (!within(m.sectionCount, 1, m.questionCount) ||
        m.sectionStarts.size() != std::size_t(m.sectionCount) || m.sectionStarts[0] != 1) {
        return "sections";
    }
    for (int s = 1; s < m.sectionCount; ++s) {
        if (m.sectionStarts[s] <= m.sectionStarts[s - 1] || m.sectionStarts[s] > m.questionCount) {
            return "section starts";
        }
    }
    if (!within(m.askCount, 1, m.questionCount) || m.lineHeight < 1 || m.charWidth < 1) {
        return "settings out of range";
    }
    if (m.reportDir.size() > 127) {
        return "rez_dir longer than its capacity";
    }
    for (const qd::Question& q : m.questions) {
        if (const char* broken = brokenInvariant(q)) {
            return broken;
        }
    }
    return nullptr;
}

} // namespace qdfuzz
