#pragma once

#include "definition/TestModel.h"
#include "results/ReportReader.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qd {

// Item analysis of an exam: how each question worked and how reliable the
// test was, from the points in the students' reports. Variances and
// standard deviations divide by n - 1 (the sample convention); a value that
// needs more students than there are, or a spread where there is none, is
// undefined (nullopt) rather than a division by zero.
//
// A question a student was not asked (a random draw) is missing for that
// student, not zero: the question's figures are over the students who sat
// it, and it takes no part in the reliability.

struct QuestionStats
{
    int32_t question = 0; // its number in the test file
    int32_t type = 0;
    int32_t mark = 0;
    int sat = 0; // students who were asked it
    // Mean points / mark, in percent.
    std::optional<double> facility;
    // Standard deviation of the points, in points.
    std::optional<double> sd;
    // 100 x the correlation of the question's points with the rest of the
    // test (the student's total less this question), over those who sat it.
    std::optional<double> discrimination;
    // 100 x the covariance of the same two over the largest covariance that
    // their values allow (both sorted alike): how much of the discrimination
    // that the question's difficulty leaves possible it reaches.
    std::optional<double> efficiency;
    // Warnings: "efficiency<15%", "discrimination<0", "facility>95%",
    // "facility<5%", each when its value is defined and past its bound.
    std::vector<std::string> flags;
    // Choice questions (types 1 and 2): how many times each option (its
    // number in the test file) was chosen; with the mouse every option of
    // the question is listed, typed numbers as they were typed.
    bool choice = false;
    std::map<int32_t, int> options;
};

struct TestStats
{
    int students = 0;
    // Over the students' percentages (0 to 100, as in the reports).
    std::optional<double> mean, median, sd;
    // Cronbach's alpha (KR-20 for questions scored 0 or 1) over the
    // questions that every student sat; undefined with fewer than two such
    // questions, fewer than two students or no spread of their totals.
    std::optional<double> alpha;
    int alphaQuestions = 0; // the questions alpha is over
    // Standard error of measurement: sd x sqrt(1 - alpha), in percent.
    std::optional<double> sem;
    std::map<std::string, int> grades;    // grade text (code page 1251) -> students
    std::vector<QuestionStats> questions; // every question of the test, in file order
};

// Why a report cannot be counted with this test: it stops inside its
// header, it is of another test (its discipline or test name differ), names a question the test does not
// have, or names one twice. Nullopt: it fits.
std::optional<std::string> reportMisfit(const TestModel& model, const ParsedReport& report);

// Statistics over the finished reports given (one per student). Rows whose
// question is not in the test are ignored; the caller is expected to have
// set such reports aside.
TestStats analyseReports(const TestModel& model, const std::vector<const ParsedReport*>& reports);

} // namespace qd
