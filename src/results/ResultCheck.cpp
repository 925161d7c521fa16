#include "results/ResultCheck.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "results/ItemAnalysis.h"
#include "results/Rescore.h"
#include "run/Grading.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <set>

namespace qd {

namespace {

constexpr const char* kImplausible = "implausible-final";

// Points compare as the report writes them: two decimals.
constexpr double kPointsSlack = 0.005;

// A number from the wire as the examiner should read it, whatever it is.
std::string shown(float v)
{
    if (std::isnan(v)) {
        return "not a number";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

std::string figures(const std::string& percent, const std::string& grade, const std::string& points,
                    int32_t max)
{
    return percent + "% " + fromCp1251(grade) + " (" + points + " of " + std::to_string(max) +
           " points)";
}

// An ordering answered with the mouse whose line shows an empty place (a
// 0): the line lists as many places as were filled, from the first, so a
// place filled after the gap is not in it, and scoring the line again can
// give less than the run did.
bool lossyOrdering(const Question& q, const ReportRow& row)
{
    if (q.type != QuestionType::Ordering || q.picture == PictureMode::PictureOnly) {
        return false;
    }
    const auto numbers = choiceNumbers(row.answer);
    return numbers && std::find(numbers->begin(), numbers->end(), 0) != numbers->end();
}

struct Candidate
{
    int index = -1;
    RescoredReport rescored;
};

} // namespace

const char* verifiedName(Verified v)
{
    switch (v) {
    case Verified::Yes:
        return "yes";
    case Verified::Mismatch:
        return "mismatch";
    case Verified::NotChecked:
        break;
    }
    return "not checked";
}

std::optional<Verified> verifiedFromName(std::string_view name)
{
    for (Verified v : {Verified::Yes, Verified::Mismatch, Verified::NotChecked}) {
        if (name == verifiedName(v)) {
            return v;
        }
    }
    return std::nullopt;
}

FinalCheck checkFinal(const std::vector<const TestModel*>& tests, const ClaimedFinal& claim,
                      std::string_view bytes)
{
    FinalCheck out;
    const auto flag = [&out](const char* kind, std::string detail) {
        out.findings.push_back(Finding{kind, std::move(detail)});
    };
    const auto settle = [&out, &tests] {
        out.verified = tests.empty()                        ? Verified::NotChecked
                       : out.scored && out.findings.empty() ? Verified::Yes
                                                            : Verified::Mismatch;
        return std::move(out);
    };

    // The message's own fields: a whole percentage of 0 to 100 (Part of
    // the wire format: a whole number stored as a float).
    const float p = claim.percent;
    const bool wholePercent = std::isfinite(p) && p >= 0.0f && p <= 100.0f && p == std::floor(p);
    if (!std::isfinite(p) || p < 0.0f || p > 100.0f) {
        flag(kImplausible, "percentage " + shown(p) + " outside 0-100");
    } else if (!wholePercent) {
        flag(kImplausible, "percentage " + shown(p) + " is not a whole number");
    }
    if (claim.answered < 0) {
        flag(kImplausible, "answered count " + std::to_string(claim.answered) + " is negative");
    }
    out.percent = std::isfinite(p) ? int32_t(std::lround(std::clamp(p, -1.0e6f, 1.0e6f))) : 0;
    out.grade = claim.grade;

    if (bytes.empty()) {
        flag("unreadable-report", "the final message carries no report");
        return settle();
    }
    auto parsed = readReport(bytes);
    if (!parsed.ok()) {
        flag("unreadable-report", parsed.fault().utf8());
        return settle();
    }
    const ParsedReport& r = *(out.report = std::move(parsed).value());
    if (!r.headerComplete) {
        flag("unreadable-report", "the report stops inside its header");
        return settle();
    }

    // What the report and the message say of each other.
    if (r.finished) {
        out.claimedScore = out.score = r.score;
        out.claimedMax = out.maxScore = r.maxScore;
        if (wholePercent && int32_t(p) != r.percent) {
            flag(kImplausible, "the message's percentage " + shown(p) + " is not the report's " +
                                   std::to_string(r.percent));
        }
        if (claim.grade != r.grade) {
            flag(kImplausible, "the message's grade " + fromCp1251(claim.grade) +
                                   " is not the report's " + fromCp1251(r.grade));
        }
        if (r.score < 0.0 || r.maxScore < 0 || r.score > r.maxScore + kPointsSlack) {
            flag(kImplausible, "the report's points " + r.scoreText + " of " +
                                   std::to_string(r.maxScore) + " are impossible");
        } else if (r.percent != percentOf(float(r.score), r.maxScore)) {
            flag(kImplausible, "the report's percentage " + std::to_string(r.percent) +
                                   " is not its points " + r.scoreText + " of " +
                                   std::to_string(r.maxScore));
        }
    } else {
        flag(kImplausible, "the report stops before its totals");
    }
    if (claim.answered >= 0 && std::size_t(claim.answered) != r.rows.size()) {
        flag(kImplausible, "answered count " + std::to_string(claim.answered) +
                               ", but the report has " + std::to_string(r.rows.size()) +
                               " question rows");
    }
    out.rowsFit = true;
    std::set<int32_t> seen;
    for (const ReportRow& row : r.rows) {
        out.points.push_back(row.points);
        if (row.question < 1 || row.question > kMaxQuestions || !seen.insert(row.question).second) {
            if (out.rowsFit) {
                flag(kImplausible, "the report names question " + std::to_string(row.question) +
                                       (row.question < 1 || row.question > kMaxQuestions
                                            ? std::string(", which no test can have")
                                            : std::string(" twice")));
            }
            out.rowsFit = false;
        }
        if (row.points < 0.0) {
            flag(kImplausible, "question " + std::to_string(row.question) + ": negative points " +
                                   row.pointsText);
        }
    }
    if (tests.empty()) {
        return settle();
    }

    // The test the report is of.
    std::vector<Candidate> fits;
    std::string why;
    bool named = false;
    for (std::size_t i = 0; i < tests.size(); ++i) {
        const TestModel& m = *tests[i];
        const bool sameNames = r.subjectName == m.subjectName && r.testName == m.testName;
        if (tests.size() > 1 && !sameNames) {
            continue;
        }
        named = named || sameNames;
        if (auto misfit = reportMisfit(m, r)) {
            why = why.empty() ? *misfit : why;
            continue;
        }
        auto rescored = rescoreReport(m, r);
        if (!rescored.ok()) {
            why = why.empty() ? rescored.fault().utf8() : why;
            continue;
        }
        fits.push_back(Candidate{int(i), std::move(rescored).value()});
    }
    if (fits.empty()) {
        out.rowsFit = false;
        if (tests.size() > 1 && !named) {
            why = "the report is of the test \"" + fromCp1251(r.testName) + "\" of \"" +
                  fromCp1251(r.subjectName) + "\", which is not among the tests given";
        }
        flag("foreign-test", why);
        return settle();
    }
    // Two versions of a test may share their names: the one that confirms
    // the claim, if any does.
    const auto confirms = [&](const Candidate& c) {
        return !rescoreChanges(r, c.rescored) && c.rescored.percent == out.percent &&
               c.rescored.grade == claim.grade;
    };
    const auto chosen = std::find_if(fits.begin(), fits.end(), confirms);
    const Candidate& c = chosen != fits.end() ? *chosen : fits.front();
    const TestModel& m = *tests[std::size_t(c.index)];
    const RescoredReport& s = c.rescored;

    out.scored = true;
    out.test = c.index;
    out.score = double(s.score);
    out.maxScore = s.maxScore;
    out.percent = s.percent;
    out.grade = s.grade;
    out.points.assign(s.points.begin(), s.points.end());

    if (int(r.rows.size()) > m.askCount) {
        flag(kImplausible, "the report has " + std::to_string(r.rows.size()) +
                               " question rows, the test asks " + std::to_string(m.askCount));
    }
    std::string overMark;
    std::string otherwise;
    std::string lossy;
    for (std::size_t i = 0; i < r.rows.size() && i < s.points.size(); ++i) {
        const ReportRow& row = r.rows[i];
        const int32_t mark = m.questions[std::size_t(row.question - 1)].mark;
        if (row.points > mark + kPointsSlack) {
            overMark += (overMark.empty() ? "" : ", ") + std::to_string(row.question) + " (" +
                        row.pointsText + " of " + std::to_string(mark) + ")";
        }
        if (row.pointsText != twoDecimals(double(s.points[i]))) {
            otherwise += (otherwise.empty() ? "" : ", ") + std::to_string(row.question);
            if (lossyOrdering(m.questions[std::size_t(row.question - 1)], row)) {
                lossy += (lossy.empty() ? "" : ", ") + std::to_string(row.question);
            }
        }
    }
    if (!overMark.empty()) {
        flag("score-mismatch", "points over the question's mark: " + overMark);
    }
    const bool totalsDiffer = r.finished ? rescoreChanges(r, s) || r.maxScore != s.maxScore : false;
    if (totalsDiffer || !otherwise.empty() || !wholePercent || int32_t(p) != s.percent ||
        claim.grade != s.grade) {
        const std::string claimed =
            figures(shown(p), claim.grade, r.finished ? r.scoreText : std::string("?"),
                    r.finished ? r.maxScore : 0);
        std::string detail = "the client: " + claimed + "; the server: " +
                             figures(std::to_string(s.percent), s.grade, s.scoreText, s.maxScore);
        if (!otherwise.empty()) {
            detail += "; scored otherwise: question(s) " + otherwise;
        }
        if (!lossy.empty()) {
            detail += "; question(s) " + lossy +
                      ": an ordering with an empty place, which its report line does not show "
                      "whole (the places after it are lost)";
        }
        flag("score-mismatch", detail);
    }
    return settle();
}

std::optional<ProgressLimits> progressLimits(const std::vector<const TestModel*>& tests)
{
    if (tests.empty()) {
        return std::nullopt;
    }
    ProgressLimits out;
    for (const TestModel* m : tests) {
        std::vector<int32_t> marks;
        for (const Question& q : m->questions) {
            marks.push_back(q.mark);
        }
        std::sort(marks.begin(), marks.end(), std::greater<>());
        double best = 0.0;
        for (std::size_t i = 0; i < marks.size() && i < std::size_t(std::max(m->askCount, 0));
             ++i) {
            best += std::max(marks[i], 0);
        }
        out.maxPoints = std::max(out.maxPoints, best);
        out.asked = std::max(out.asked, m->askCount);
    }
    return out;
}

std::vector<Finding> checkProgress(int answeredBefore, double pointsBefore, int answered,
                                   float points, const std::optional<ProgressLimits>& limits)
{
    std::vector<Finding> out;
    const auto flag = [&out](std::string detail) {
        out.push_back(Finding{"implausible-progress", std::move(detail)});
    };
    if (!std::isfinite(points) || points < 0.0f) {
        flag("points " + shown(points) + " are not a score");
    } else if (double(points) + kPointsSlack < pointsBefore) {
        flag("points went down from " + twoDecimals(pointsBefore) + " to " +
             twoDecimals(double(points)));
    } else if (limits && double(points) > limits->maxPoints + kPointsSlack) {
        flag("points " + twoDecimals(double(points)) + " above the test's total of " +
             twoDecimals(limits->maxPoints));
    }
    if (answered < 0) {
        flag("answered count " + std::to_string(answered) + " is negative");
    } else if (answered < answeredBefore) {
        flag("answered count went back from " + std::to_string(answeredBefore) + " to " +
             std::to_string(answered));
    } else if (limits && answered > limits->asked) {
        flag("answered count " + std::to_string(answered) + " past the " +
             std::to_string(limits->asked) + " questions asked");
    }
    return out;
}

} // namespace qd
