#include "run/Grading.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "run/ReportSink.h"

#include <algorithm>
#include <cstdio>

namespace qd {

bool everyPointEarned(const RunState& st)
{
    return st.wrongQuestions.empty() && st.unaskedCount == 0;
}

int percentOf(float score, int32_t maxScore)
{
    if (maxScore < 1) {
        return 0;
    }
    // Marks can make the ratio exceed any int (a huge score over a total
    // kept small by negative marks): saturate rather than overflow.
    const double p = 100.0 * double(score) / double(maxScore) + 0.5;
    return int(std::clamp(p, double(INT32_MIN), double(INT32_MAX)));
}

std::string gradeText(const TestModel& model, int percent, uint32_t seconds, bool allEarned)
{
    const char* grade = "Незадовільно";
    if (model.gradeByTime == 1) {
        if (allEarned) {
            if (seconds <= uint32_t(model.excellentSeconds)) {
                grade = "Відмінно";
            } else if (seconds <= uint32_t(model.goodSeconds)) {
                grade = "Добре";
            } else if (seconds <= uint32_t(model.satisfactorySeconds)) {
                grade = "Задовільно";
            }
        }
    } else if (percent >= model.excellentPercent) {
        grade = "Відмінно";
    } else if (percent >= model.goodPercent) {
        grade = "Добре";
    } else if (percent >= model.satisfactoryPercent) {
        grade = "Задовільно";
    }
    return toCp1251(grade);
}

ResultsSummary summarizeResults(const TestModel& model, const RunState& st, const Clock& clock,
                                ReportSink& report)
{
    ResultsSummary r;
    r.testName = st.testTitle;
    r.points = twoDecimals(double(st.score));
    r.maxScore = st.maxScore;
    r.percent = percentOf(st.score, st.maxScore);
    const uint32_t seconds = (clock.ticks() - st.testStartTick) / 1000u;
    r.minutes = seconds / 60;
    r.seconds = seconds % 60;
    r.everyPointEarned = everyPointEarned(st);
    // A student granted more time is graded by time on the time the test
    // allowed them: the thresholds stretch with the clocks.
    const uint32_t graded = st.accommodation.timeFactor == 1.0
                                ? seconds
                                : uint32_t(double(seconds) / st.accommodation.timeFactor);
    r.grade = gradeText(model, r.percent, graded, r.everyPointEarned);
    if (st.finishedCount < model.askCount) {
        r.grade = toCp1251("Тест не завершено!");
    }
    r.accommodations = st.accommodation.reportLine();
    report.writeClosingRows(st, r.percent, seconds, r.grade);
    if (!r.everyPointEarned) {
        std::vector<int32_t> wrong = st.wrongQuestions;
        std::sort(wrong.begin(), wrong.end());
        for (int32_t n : wrong) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%3d, ", n);
            r.wrongList += entry;
        }
    }
    return r;
}

} // namespace qd
