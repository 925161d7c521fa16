#include "run/MatchScoring.h"

#include "definition/TextRoutines.h"
#include "run/Scoring.h"
#include "run/Selection.h"

#include <algorithm>

namespace qd {

namespace {

// The typed answer without blanks, and the number of groups typed in it:
// one per ";", plus the last one when it is not closed by a ";".
std::string typedGroups(const std::string& answerText, int& typed)
{
    std::string t = answerText;
    t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
    typed = int(std::count(t.begin(), t.end(), ';'));
    if (!t.empty() && t.back() != ';') {
        ++typed;
    }
    return t;
}

// Bytes from `f` up to the ";" that closes its group, or to the end.
int groupSpan(const std::string& t, std::size_t f)
{
    const std::size_t semi = t.find(';', f);
    return int((semi == std::string::npos ? t.size() : semi) - f);
}

std::string label(char lbl, int32_t first)
{
    std::string s = " ";
    s += lbl;
    s += ':';
    s += std::to_string(first);
    s += ',';
    return s;
}

// Groups g of the first column's rows that expect something.
int groupsWithNumbers(const Question& q, int rows)
{
    int groups = 0;
    for (int g = 0; g < rows && g < int(q.groups.size()); ++g) {
        groups += q.groups[std::size_t(g)].numberCount != 0 ? 1 : 0;
    }
    return groups;
}

} // namespace

Result<float> scoreMatching(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    if (q.picture != PictureMode::PictureOnly) {
        return scoreMatchingByMouse(model, st);
    }
    int typed = 0;
    const std::string t = typedGroups(st.answerText, typed);
    const float value = float(q.mark) / float(q.correctCount);
    float points = 0.0f;
    if (typed > q.correctCount) {
        points = float(-(typed - q.correctCount)) * value;
    }
    for (int g = 0; g < q.correctCount && g < int(q.groups.size()); ++g) {
        const Group& grp = q.groups[std::size_t(g)];
        if (grp.numberCount <= 0) {
            continue; // a typed group always expects numbers
        }
        const float unit = value / float(grp.numberCount);
        const int f = findWithin(t, std::string_view(&grp.label, 1), int(t.size()));
        if (f < 0) {
            continue;
        }
        std::array<int32_t, kMaxGroupNumbers> nums{};
        const int h = readNumbers(std::string_view(t).substr(std::size_t(f) + 1),
                                  groupSpan(t, std::size_t(f)), kMaxGroupNumbers, nums.data());
        if (h > grp.numberCount) {
            points -= float(h - grp.numberCount) * unit;
        }
        for (int i = 0; i < h; ++i) {
            if (indexOf(grp.numbers.data(), nums[std::size_t(i)], grp.numberCount) >= 0) {
                points += unit;
            }
        }
    }
    return points;
}

Result<float> scoreMatchingByMouse(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    float points = 0.0f;
    if (q.columns.size() < 2) {
        return points;
    }
    const Column& first = q.columns[0];
    const Column& second = q.columns[1];
    const int rows = std::min<int>(first.rowCount(), int(st.matchingPicks.size()));
    int answered = 0;
    for (int r = 0; r < rows; ++r) {
        auto& row = st.matchingPicks[std::size_t(r)];
        row[0] = std::clamp(row[0], 0, kMaxAnswers);
        if (Status f = toFileNumbers(row.data() + 1, row[0], second.rowCount(),
                                     second.displayOrder.data());
            !f.ok()) {
            return f.fault();
        }
        answered += row[0] != 0 ? 1 : 0;
    }
    const int groups = groupsWithNumbers(q, first.rowCount());
    if (groups == 0) {
        return points;
    }
    const float value = float(q.mark) / float(groups);
    if (answered > groups) {
        points = float(-(answered - groups)) * value;
    }
    bool full = false;
    for (int r = 0; r < rows; ++r) {
        const auto& row = st.matchingPicks[std::size_t(r)];
        const int32_t g = first.displayOrder[std::size_t(r)];
        if (g < 0 || g >= int(q.groups.size())) {
            continue;
        }
        const Group& grp = q.groups[std::size_t(g)];
        const int d = row[0];
        const int n = grp.numberCount;
        if (d == 0 || n == 0) {
            continue;
        }
        const float unit = value / float(n);
        if (d > n) {
            points -= float(d - n) * unit;
        }
        for (int i = 0; i < d; ++i) {
            const int32_t pick = row[std::size_t(i) + 1];
            if (indexOf(grp.numbers.data(), pick, n) >= 0) {
                points += unit;
            }
            appendEntry(st.answerText, i == 0 ? label(grp.label, pick) : std::to_string(pick) + ",",
                        full);
        }
    }
    return points;
}

Result<float> scoreMatchingColumns(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    if (q.picture != PictureMode::PictureOnly) {
        return scoreMatchingColumnsByMouse(model, st);
    }
    int typed = 0;
    const std::string t = typedGroups(st.answerText, typed);
    const float value = float(q.mark) / float(q.correctCount);
    const float unit = value / float(q.columnCount);
    float points = 0.0f;
    if (typed > q.correctCount) {
        points = float(-(typed - q.correctCount)) * value;
    }
    for (int s = 0; s < q.correctCount && s < int(q.acceptedStrings.size()); ++s) {
        const std::string& key = q.acceptedStrings[std::size_t(s)];
        if (key.empty()) {
            continue;
        }
        const std::size_t f = t.find(key[0]);
        if (f == std::string::npos) {
            continue;
        }
        const int span = groupSpan(t, f);
        if (span > q.columnCount) {
            points -= float(span - q.columnCount) * value;
        }
        for (int i = 0; i < q.columnCount; ++i) {
            const std::size_t at = f + std::size_t(i);
            if (at < t.size() && std::size_t(i) < key.size() && t[at] == key[std::size_t(i)]) {
                points += unit;
            }
        }
    }
    return points;
}

Result<float> scoreMatchingColumnsByMouse(const TestModel& model, RunState& st)
{
    const Question& q = model.questions[std::size_t(st.currentQuestion)];
    float points = 0.0f;
    const int k = std::min(q.columnCount, int(q.columns.size())) - 1;
    if (k < 1) {
        return points;
    }
    const Column& first = q.columns[0];
    const int rows = std::min<int>(first.rowCount(), kMaxAnswers);
    int answered = 0;
    for (int r = 0; r < rows; ++r) {
        auto& row = st.columnPicks[std::size_t(r)];
        bool any = false;
        for (int c = 0; c < k; ++c) {
            int32_t& v = row[std::size_t(c)];
            if (v < 0) {
                v = 0;
                continue;
            }
            const Column& col = q.columns[std::size_t(c) + 1];
            if (Status f = toFileNumbers(&v, 1, col.rowCount(), col.displayOrder.data()); !f.ok()) {
                return f.fault();
            }
            any = true;
        }
        answered += any ? 1 : 0;
    }
    const int groups = groupsWithNumbers(q, first.rowCount());
    if (groups == 0) {
        return points;
    }
    const float value = float(q.mark) / float(groups);
    const float unit = value / float(k);
    if (answered > groups) {
        points = float(-(answered - groups)) * value;
    }
    bool full = false;
    for (int r = 0; r < rows; ++r) {
        const auto& row = st.columnPicks[std::size_t(r)];
        const int32_t g = first.displayOrder[std::size_t(r)];
        if (g < 0 || g >= int(q.groups.size()) || q.groups[std::size_t(g)].numberCount == 0) {
            continue;
        }
        const Group& grp = q.groups[std::size_t(g)];
        for (int c = 0; c < k; ++c) {
            const int32_t v = row[std::size_t(c)];
            if (v == grp.numbers[std::size_t(c)]) {
                points += unit;
            }
            appendEntry(st.answerText, c == 0 ? label(grp.label, v) : std::to_string(v) + ",",
                        full);
        }
    }
    return points;
}

} // namespace qd
