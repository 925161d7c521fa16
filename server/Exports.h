#pragma once

#include "definition/TestModel.h"
#include "journal/Journal.h"

#include <QByteArray>

#include <map>
#include <string>
#include <utility>
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

// The board's data: GET /api/sittings and GET /api/incidents, as JSON
// arrays of one object a row.
QByteArray sittingJson(const Sitting& s, int64_t now);
QByteArray incidentJson(const Incident& i);
// The rows (each a JSON value) as one JSON array.
QByteArray jsonArray(const std::vector<QByteArray>& items);
QByteArray sittingsJson(const std::vector<Sitting>& sittings, int64_t now);
QByteArray incidentsJson(const std::vector<Incident>& incidents);

// `report`: the server's result of a sitting whose report it did not
// confirm, as a line to print after the report; empty otherwise.
std::string serverFigures(const Sitting& s);

// `status`: a table of every sitting, open and closed.
std::string statusTable(const std::vector<Sitting>& sittings, int64_t now);

// What a gradebook needs beyond the journal's figures: the name of the test
// each finished sitting sat, as its stored report gives it, and, when the
// tests are known, the maximum of each of their questions.
struct Gradebook
{
    std::map<int64_t, std::string> testNames; // sitting id -> test name, UTF-8
    struct TestMarks
    {
        std::string name;         // UTF-8
        std::map<int, int> marks; // question number -> its maximum
    };
    std::vector<TestMarks> tests; // in the order given
};

// From the finished sittings' reports (id, report bytes) and the tests.
// A report that cannot be read gives its sitting no name.
Gradebook gradebookOf(const std::vector<std::pair<int64_t, std::string>>& reports,
                      const std::vector<const TestModel*>& tests);

// `export`: one row per sitting (RFC 4180, a header row; `separator` ',' or
// ';'), or the student x question table of points. The columns scripts
// know come first and stay as they were; the gradebook's follow at the end:
// the test's name; in the table of points the sitting's points, maximum and
// test, and, under the header, a row "maximum" for each test known with its
// questions' maxima.
std::string sittingsCsv(const std::vector<Sitting>& sittings, char separator,
                        const Gradebook& gradebook = {});
std::string matrixCsv(const std::vector<Sitting>& sittings, const std::vector<AnswerRow>& answers,
                      char separator, const Gradebook& gradebook = {});
// The same as an XLSX workbook at `path`; a fault names what failed.
Status writeXlsx(const std::string& path, const std::vector<Sitting>& sittings,
                 const std::vector<AnswerRow>& answers, bool matrix,
                 const Gradebook& gradebook = {});
// The same workbook as bytes, to be written whole where it goes. It passes
// through a private temporary file: the workbook library writes to nothing
// else.
Result<std::string> xlsxBytes(const std::vector<Sitting>& sittings,
                              const std::vector<AnswerRow>& answers, bool matrix,
                              const Gradebook& gradebook);

} // namespace qd::server
