#pragma once

// The item analysis as text: the aligned table for a terminal, CSV and JSON
// (stats), and the figures' formatting shared with the results page.

#include "results/ItemAnalysis.h"
#include "results/ReportSelection.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace qdtool {

// A figure with `decimals` places, or "-" when it is undefined.
QString figure(const std::optional<double>& v, int decimals);

// The grade words in UTF-8.
QString gradeName(const std::string& cp1251);

// The students listed apart from the figures: those who sat nothing, and
// those with several reports (which one was counted, by `rule`).
struct ListedApart
{
    std::vector<std::string> notSat; // names, code page 1251
    std::vector<qd::RepeatedStudent> repeated;
    qd::AttemptRule rule = qd::AttemptRule::Latest;
};
ListedApart listedApart(const qd::ReportSelection& selection, qd::AttemptRule rule);

QByteArray statsTable(const qd::TestStats& stats, const ListedApart& apart);
QByteArray statsCsv(const qd::TestStats& stats);
// {"students", "mean", "median", "sd", "alpha", "sem", "grades": {grade:
// count}, "questions": [{"question", "sat", "facility", "sd",
// "discrimination", "efficiency", "flags", "options"}]}; null where a value
// is undefined, "options" null for a question that is not a choice.
// Also "attempt" (the rule), "notSat" [names] and "repeated" [{"student",
// "reports", "counted"}].
QByteArray statsJson(const qd::TestStats& stats, const ListedApart& apart);

} // namespace qdtool
