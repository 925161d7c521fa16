#include "results/ReportSelection.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "results/ItemAnalysis.h"
#include "results/Rescore.h"

#include <cstdio>
#include <map>

namespace qd {

namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

std::optional<AttemptRule> attemptRuleNamed(std::string_view name)
{
    if (name == "latest") {
        return AttemptRule::Latest;
    }
    if (name == "best") {
        return AttemptRule::Best;
    }
    if (name == "first") {
        return AttemptRule::First;
    }
    return std::nullopt;
}

const char* attemptRuleName(AttemptRule rule)
{
    switch (rule) {
    case AttemptRule::Best:
        return "best";
    case AttemptRule::First:
        return "first";
    case AttemptRule::Latest:
        break;
    }
    return "latest";
}

bool notSat(const ParsedReport& report)
{
    return report.finished && report.rows.empty();
}

int64_t reportTime(const ParsedReport& r)
{
    return daysFromCivil(r.year, r.month, r.day) * 86400 + int64_t(r.hour) * 3600 +
           int64_t(r.minute) * 60 + r.second;
}

std::optional<std::string> reportForeign(const TestModel& model, const ParsedReport& report)
{
    if (auto misfit = reportMisfit(model, report)) {
        return misfit;
    }
    auto rescored = rescoreReport(model, report);
    if (!rescored.ok()) {
        return rescored.fault().utf8();
    }
    return std::nullopt;
}

std::optional<std::string> reportUnfit(const TestModel& model, const ParsedReport& report)
{
    if (auto foreign = reportForeign(model, report)) {
        return foreign;
    }
    if (report.finished && (report.percent < 0 || report.percent > 100)) {
        return "a percentage of " + std::to_string(report.percent);
    }
    for (const ReportRow& row : report.rows) {
        const int32_t mark = model.questions[std::size_t(row.question - 1)].mark;
        // Points are floats summed by the run: the same tolerance as the
        // run's "fully right".
        if (row.points < 0.0 || row.points > double(mark) + 0.001) {
            return "question " + std::to_string(row.question) + ": " + row.pointsText +
                   " points with a mark of " + std::to_string(mark);
        }
    }
    return std::nullopt;
}

Result<ParsedReport> scoredAgainst(const TestModel& model, const ParsedReport& report)
{
    auto rescored = rescoreReport(model, report);
    if (!rescored.ok()) {
        return rescored.fault();
    }
    const RescoredReport& r = rescored.value();
    ParsedReport out = report;
    for (std::size_t i = 0; i < out.rows.size() && i < r.points.size(); ++i) {
        out.rows[i].points = double(r.points[i]);
        out.rows[i].pointsText = twoDecimals(double(r.points[i]));
    }
    if (out.finished) {
        out.score = double(r.score);
        out.scoreText = r.scoreText;
        out.maxScore = r.maxScore;
        out.percent = r.percent;
        out.grade = r.grade;
    }
    return out;
}

std::vector<const ParsedReport*> ReportSelection::countedReports() const
{
    std::vector<const ParsedReport*> out;
    out.reserve(counted.size());
    for (const NamedReport& r : counted) {
        out.push_back(&r.report);
    }
    return out;
}

ReportSelection selectReports(const TestModel& model, std::vector<SourcedReport> reports,
                              const SelectionOptions& options)
{
    ReportSelection out;
    // Per student (by the name in the report), the finished sat reports and
    // the not-sat ones, as indexes into `fitting`.
    std::vector<NamedReport> fitting;
    for (SourcedReport& s : reports) {
        if (!s.report.ok()) {
            out.unreadable.push_back({s.name, s.report.fault().utf8()});
            continue;
        }
        ParsedReport report = std::move(s.report).value();
        if (options.rescore) {
            if (auto foreign = reportForeign(model, report)) {
                out.refused.push_back({s.name, *foreign});
                continue;
            }
            auto scored = scoredAgainst(model, report);
            if (!scored.ok()) {
                out.refused.push_back({s.name, scored.fault().utf8()});
                continue;
            }
            report = std::move(scored.value());
        } else if (auto unfit = reportUnfit(model, report)) {
            out.refused.push_back({s.name, *unfit});
            continue;
        }
        fitting.push_back({s.name, std::move(report)});
    }

    struct Student
    {
        std::vector<std::size_t> sat;
        std::vector<std::size_t> notSat;
        std::size_t first = 0; // where the student first appears
    };
    std::map<std::string, Student> students;
    std::vector<std::string> order;
    for (std::size_t i = 0; i < fitting.size(); ++i) {
        const ParsedReport& r = fitting[i].report;
        if (!r.finished) {
            out.unfinished.push_back(fitting[i]);
            continue;
        }
        auto [it, fresh] = students.try_emplace(r.studentName);
        if (fresh) {
            it->second.first = i;
            order.push_back(r.studentName);
        }
        (notSat(r) ? it->second.notSat : it->second.sat).push_back(i);
    }
    // Later is by the date line, then by the source's order.
    const auto later = [&](std::size_t a, std::size_t b) {
        const int64_t ta = reportTime(fitting[a].report);
        const int64_t tb = reportTime(fitting[b].report);
        return ta != tb ? ta > tb : a > b;
    };
    std::vector<std::pair<std::size_t, std::size_t>> chosen; // (first seen, index)
    for (const std::string& name : order) {
        const Student& st = students[name];
        if (st.sat.empty()) {
            std::size_t last = st.notSat.front();
            for (std::size_t i : st.notSat) {
                last = later(i, last) ? i : last;
            }
            out.notSat.push_back(fitting[last]);
            continue;
        }
        std::size_t pick = st.sat.front();
        for (std::size_t i : st.sat) {
            switch (options.rule) {
            case AttemptRule::Latest:
                pick = later(i, pick) ? i : pick;
                break;
            case AttemptRule::First:
                pick = later(pick, i) ? i : pick;
                break;
            case AttemptRule::Best: {
                const int32_t a = fitting[i].report.percent;
                const int32_t b = fitting[pick].report.percent;
                pick = a > b || (a == b && later(i, pick)) ? i : pick;
                break;
            }
            }
        }
        if (st.sat.size() > 1) {
            out.repeated.push_back({name, int(st.sat.size()), fitting[pick].name});
        }
        chosen.emplace_back(st.first, pick);
    }
    out.counted.reserve(chosen.size());
    for (const auto& [first, index] : chosen) {
        out.counted.push_back(std::move(fitting[index]));
    }
    return out;
}

} // namespace qd
