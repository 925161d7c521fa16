#include "results/ItemAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace qd {

namespace {

double meanOf(const std::vector<double>& v)
{
    return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

// No spread at all. Tested on the values themselves: a mean of equal
// values can differ from them in the last bit and leave a tiny variance.
bool constant(const std::vector<double>& v)
{
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    return v.empty() || *lo == *hi;
}

// Sum of the products of the deviations from the means.
double coDeviation(const std::vector<double>& x, const std::vector<double>& y)
{
    const double mx = meanOf(x);
    const double my = meanOf(y);
    double s = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        s += (x[i] - mx) * (y[i] - my);
    }
    return s;
}

// Sample variance (divisor n - 1); 0 for a constant list.
double variance(const std::vector<double>& v)
{
    if (v.size() < 2 || constant(v)) {
        return 0.0;
    }
    return coDeviation(v, v) / double(v.size() - 1);
}

std::optional<double> sampleSd(const std::vector<double>& v)
{
    if (v.size() < 2) {
        return std::nullopt;
    }
    return std::sqrt(variance(v));
}

} // namespace

std::optional<std::string> reportMisfit(const TestModel& model, const ParsedReport& report)
{
    if (!report.headerComplete) {
        return std::string("a report cut short before its first question");
    }
    if (report.subjectName != model.subjectName || report.testName != model.testName) {
        return std::string("a report of another test");
    }
    std::vector<bool> seen(std::size_t(std::max(model.questionCount, 0)), false);
    for (const ReportRow& row : report.rows) {
        if (row.question < 1 || row.question > model.questionCount) {
            return "question " + std::to_string(row.question) + " is not in the test";
        }
        if (seen[std::size_t(row.question - 1)]) {
            return "question " + std::to_string(row.question) + " is there twice";
        }
        seen[std::size_t(row.question - 1)] = true;
    }
    return std::nullopt;
}

TestStats analyseReports(const TestModel& model, const std::vector<const ParsedReport*>& reports)
{
    TestStats out;
    const std::size_t students = reports.size();
    out.students = int(students);

    // The points of each question by the students who sat it, and each
    // student's total.
    struct Entry
    {
        std::size_t student;
        double points;
        const std::string* answer;
    };
    const std::size_t nq = std::size_t(std::max(model.questionCount, 0));
    std::vector<std::vector<Entry>> byQuestion(nq);
    std::vector<double> totals(students, 0.0);
    std::vector<double> percents;
    percents.reserve(students);
    for (std::size_t s = 0; s < students; ++s) {
        const ParsedReport& r = *reports[s];
        for (const ReportRow& row : r.rows) {
            if (row.question < 1 || std::size_t(row.question) > nq) {
                continue;
            }
            byQuestion[std::size_t(row.question - 1)].push_back({s, row.points, &row.answer});
            totals[s] += row.points;
        }
        percents.push_back(double(r.percent));
        out.grades[r.grade] += 1;
    }

    if (students > 0) {
        out.mean = meanOf(percents);
        std::vector<double> sorted = percents;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t mid = students / 2;
        out.median = students % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2.0;
        out.sd = sampleSd(percents);
    }

    std::vector<std::size_t> everyone; // questions every student sat
    out.questions.reserve(nq);
    std::vector<double> x, y, xs, ys;
    for (std::size_t qi = 0; qi < nq; ++qi) {
        const Question& q = model.questions[qi];
        const auto& entries = byQuestion[qi];
        QuestionStats st;
        st.question = int32_t(qi + 1);
        st.type = typeNumber(q.type);
        st.mark = q.mark;
        st.sat = int(entries.size());
        if (students > 0 && entries.size() == students) {
            everyone.push_back(qi);
        }
        x.clear();
        y.clear();
        for (const Entry& e : entries) {
            x.push_back(e.points);
            y.push_back(totals[e.student] - e.points);
        }
        if (!x.empty() && q.mark > 0) {
            st.facility = 100.0 * meanOf(x) / double(q.mark);
        }
        st.sd = sampleSd(x);
        if (x.size() >= 2 && !constant(x) && !constant(y)) {
            const double cov = coDeviation(x, y);
            st.discrimination = 100.0 * cov / std::sqrt(coDeviation(x, x) * coDeviation(y, y));
            xs = x;
            ys = y;
            std::sort(xs.begin(), xs.end());
            std::sort(ys.begin(), ys.end());
            const double covMax = coDeviation(xs, ys);
            if (covMax > 0.0) {
                st.efficiency = 100.0 * cov / covMax;
            }
        }
        if (st.efficiency && *st.efficiency < 15.0) {
            st.flags.push_back("efficiency<15%");
        }
        if (st.discrimination && *st.discrimination < 0.0) {
            st.flags.push_back("discrimination<0");
        }
        if (st.facility && *st.facility > 95.0) {
            st.flags.push_back("facility>95%");
        }
        if (st.facility && *st.facility < 5.0) {
            st.flags.push_back("facility<5%");
        }

        st.choice = q.isChoice();
        if (st.choice) {
            if (q.picture != PictureMode::PictureOnly) {
                for (int32_t o = 1; o <= q.optionCount; ++o) {
                    st.options[o] = 0;
                }
            }
            for (const Entry& e : entries) {
                if (const auto numbers = choiceNumbers(*e.answer)) {
                    for (int32_t n : *numbers) {
                        st.options[n] += 1;
                    }
                }
            }
        }
        out.questions.push_back(std::move(st));
    }

    // Reliability over the questions that every student sat.
    out.alphaQuestions = int(everyone.size());
    if (everyone.size() >= 2 && students >= 2) {
        std::vector<double> sums(students, 0.0);
        double itemVariances = 0.0;
        for (std::size_t qi : everyone) {
            x.assign(students, 0.0);
            for (const Entry& e : byQuestion[qi]) {
                x[e.student] = e.points;
                sums[e.student] += e.points;
            }
            itemVariances += variance(x);
        }
        const double totalVariance = variance(sums);
        if (totalVariance > 0.0) {
            const double k = double(everyone.size());
            out.alpha = k / (k - 1.0) * (1.0 - itemVariances / totalVariance);
        }
    }
    if (out.alpha && out.sd && *out.alpha <= 1.0) {
        out.sem = *out.sd * std::sqrt(1.0 - *out.alpha);
    }
    return out;
}

} // namespace qd
