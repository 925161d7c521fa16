#pragma once

#include "journal/Journal.h"

#include <QByteArray>

#include <string>
#include <vector>

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

// A sitting silent for longer than this is shown as silent.
constexpr int64_t kSilentAfterSeconds = 60;

// The state of a sitting as the examiner reads it: waiting (for the first
// answer), answering, finished, released, silent.
std::string stateKey(const Sitting& s, int64_t now);
// The same in words: "question 7 answered", "finished: 96% Відмінно", ...
std::string stateText(const Sitting& s, int64_t now);

// Local calendar seconds as ISO 8601 ("2026-12-07T10:05:09"); empty for 0.
std::string isoLocal(int64_t seconds);

// The board's data: GET /api/sittings and GET /api/incidents.
QByteArray sittingsJson(const std::vector<Sitting>& sittings, int64_t now);
QByteArray incidentsJson(const std::vector<Incident>& incidents);

// `report`: the server's result of a sitting whose report it did not
// confirm, as a line to print after the report; empty otherwise.
std::string serverFigures(const Sitting& s);

// `status`: a table of every sitting, open and closed.
std::string statusTable(const std::vector<Sitting>& sittings, int64_t now);

// `export`: one row per sitting (RFC 4180, a header row; `separator` ',' or
// ';'), or the student x question table of points.
std::string sittingsCsv(const std::vector<Sitting>& sittings, char separator);
std::string matrixCsv(const std::vector<Sitting>& sittings, const std::vector<AnswerRow>& answers,
                      char separator);
// The same as an XLSX workbook at `path`; a fault names what failed.
Status writeXlsx(const std::string& path, const std::vector<Sitting>& sittings,
                 const std::vector<AnswerRow>& answers, bool matrix);

} // namespace qd::server
