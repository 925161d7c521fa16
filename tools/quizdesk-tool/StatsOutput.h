#pragma once

// The item analysis as text: the aligned table for a terminal, CSV and JSON
// (stats), and the figures' formatting shared with the results page.

#include "results/ItemAnalysis.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace qdtool {

// A figure with `decimals` places, or "-" when it is undefined.
QString figure(const std::optional<double>& v, int decimals);

// The grade words in UTF-8.
QString gradeName(const std::string& cp1251);

QByteArray statsTable(const qd::TestStats& stats);
QByteArray statsCsv(const qd::TestStats& stats);
// {"students", "mean", "median", "sd", "alpha", "sem", "grades": {grade:
// count}, "questions": [{"question", "sat", "facility", "sd",
// "discrimination", "efficiency", "flags", "options"}]}; null where a value
// is undefined, "options" null for a question that is not a choice.
QByteArray statsJson(const qd::TestStats& stats);

} // namespace qdtool
