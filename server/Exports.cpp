#include "Exports.h"

#include "CellText.h"
#include "ServerText.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "definition/TerminalText.h"
#include "results/ReportReader.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace qd::server {

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

// A sitting finished before the server checked results has no value.
std::string verifiedText(const Sitting& s)
{
    return s.verified.empty() ? std::string("not checked") : s.verified;
}

// One CSV field: quoted when it holds the separator, a quote or a line end.
std::string field(const std::string& v, char separator)
{
    if (v.find_first_of(std::string("\"\r\n") + separator) == std::string::npos) {
        return v;
    }
    std::string out = "\"";
    for (char ch : v) {
        out += ch;
        if (ch == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

std::string row(const std::vector<std::string>& fields, char separator)
{
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += field(csvText(fields[i]), separator);
    }
    return out + "\r\n";
}

// The test's name of a sitting; empty when its report did not give one.
std::string testNameOf(const Gradebook& gradebook, const Sitting& s)
{
    const auto it = gradebook.testNames.find(s.id);
    return it == gradebook.testNames.end() ? std::string() : it->second;
}

std::vector<std::string> sittingFields(const Sitting& s, const Gradebook& gradebook)
{
    const bool closed = s.state != SittingState::Open;
    const bool finished = s.state == SittingState::Finished;
    return {s.student,
            s.computer,
            isoLocal(s.started),
            closed ? isoLocal(s.finished) : std::string(),
            closed ? std::to_string(s.finished - s.started) : std::string(),
            stateName(s.state),
            s.percent >= 0 && finished ? std::to_string(s.percent) : std::string(),
            finished ? s.grade : std::string(),
            finished || s.state == SittingState::Stopped ? twoDecimals(s.score) : std::string(),
            finished && s.maxScore >= 0 ? std::to_string(s.maxScore) : std::string(),
            finished ? verifiedText(s) : std::string(),
            finished && s.claimedPercent >= 0 ? std::to_string(s.claimedPercent) : std::string(),
            finished ? s.claimedGrade : std::string(),
            s.flags,
            testNameOf(gradebook, s)};
}

// Where a number stands in sittingFields (the spreadsheet gets numbers).
constexpr std::size_t kNumberColumns[] = {4, 6, 8, 9, 11};

const std::vector<std::string> kSittingHeader = {
    "student",  "computer",        "started",       "finished", "duration",
    "state",    "percent",         "grade",         "points",   "max",
    "verified", "claimed percent", "claimed grade", "flags",    "test"};

// The matrix: finished sittings by questions asked anywhere.
struct Matrix
{
    std::vector<int> questions;
    std::vector<const Sitting*> rows;
    std::map<std::pair<int64_t, int>, double> cells;
};

Matrix matrixOf(const std::vector<Sitting>& sittings, const std::vector<AnswerRow>& answers)
{
    Matrix m;
    std::set<int> qs;
    for (const AnswerRow& a : answers) {
        qs.insert(a.question);
        m.cells[{a.sitting, a.question}] = a.points;
    }
    m.questions.assign(qs.begin(), qs.end());
    for (const Sitting& s : sittings) {
        if (s.state == SittingState::Finished) {
            m.rows.push_back(&s);
        }
    }
    return m;
}

// The gradebook's columns after the questions of the table of points.
const std::vector<std::string> kMatrixTail = {"points", "max", "test"};

// The spreadsheet is read by people: its column heads, its sheets' names and
// the row of maxima are in the reader's language. The CSV keeps the English
// keys above, which scripts read by name.
std::string heading(const std::string& key)
{
    static const std::map<std::string, const char*> titles = {
        {"student", QT_TRANSLATE_NOOP("qd::server", "student")},
        {"computer", QT_TRANSLATE_NOOP("qd::server", "computer")},
        {"started", QT_TRANSLATE_NOOP("qd::server", "started")},
        {"finished", QT_TRANSLATE_NOOP("qd::server", "finished")},
        {"duration", QT_TRANSLATE_NOOP("qd::server", "duration")},
        {"state", QT_TRANSLATE_NOOP("qd::server", "state")},
        {"percent", QT_TRANSLATE_NOOP("qd::server", "percent")},
        {"grade", QT_TRANSLATE_NOOP("qd::server", "grade")},
        {"points", QT_TRANSLATE_NOOP("qd::server", "points")},
        {"max", QT_TRANSLATE_NOOP("qd::server", "max")},
        {"verified", QT_TRANSLATE_NOOP("qd::server", "verified")},
        {"claimed percent", QT_TRANSLATE_NOOP("qd::server", "claimed percent")},
        {"claimed grade", QT_TRANSLATE_NOOP("qd::server", "claimed grade")},
        {"flags", QT_TRANSLATE_NOOP("qd::server", "flags")},
        {"test", QT_TRANSLATE_NOOP("qd::server", "test")},
        {"maximum", QT_TRANSLATE_NOOP("qd::server", "maximum")},
        {"answers", QT_TRANSLATE_NOOP("qd::server", "answers")},
        {"sittings", QT_TRANSLATE_NOOP("qd::server", "sittings")},
    };
    const auto it = titles.find(key);
    return it == titles.end() ? key : tr(it->second).toStdString();
}

std::vector<std::string> matrixTail(const Sitting& s, const Gradebook& gradebook)
{
    return {twoDecimals(s.score), s.maxScore >= 0 ? std::to_string(s.maxScore) : std::string(),
            testNameOf(gradebook, s)};
}

// A test's name as the report and the program show it: without the blanks
// the header leaves around it.
std::string trimmedName(const std::string& cp1251)
{
    return QString::fromStdString(fromCp1251(cp1251)).trimmed().toStdString();
}

} // namespace

Gradebook gradebookOf(const std::vector<std::pair<int64_t, std::string>>& reports,
                      const std::vector<const TestModel*>& tests)
{
    Gradebook g;
    for (const auto& [id, bytes] : reports) {
        const Result<ParsedReport> r = readReport(bytes);
        if (r.ok() && !r.value().testName.empty()) {
            g.testNames[id] = trimmedName(r.value().testName);
        }
    }
    for (const TestModel* t : tests) {
        Gradebook::TestMarks m;
        m.name = trimmedName(t->testName);
        for (std::size_t q = 0; q < t->questions.size(); ++q) {
            m.marks[int(q) + 1] = t->questions[q].mark;
        }
        g.tests.push_back(std::move(m));
    }
    return g;
}

std::string stateKey(const Sitting& s, int64_t now)
{
    switch (s.state) {
    case SittingState::Finished:
        return "finished";
    case SittingState::Released:
        return "released";
    case SittingState::Stopped:
        return "stopped";
    case SittingState::Open:
        break;
    }
    if (now - s.lastSeen > kSilentAfterSeconds) {
        return "silent";
    }
    return s.answered == 0 ? "waiting" : "answering";
}

std::string stateText(const Sitting& s, int64_t now)
{
    std::string key = stateKey(s, now); // not const: returned by move
    if (key == "finished") {
        return "finished: " + std::to_string(s.percent) + "% " + s.grade;
    }
    if (key == "stopped") {
        return "stopped by the examiner after " + std::to_string(s.answered) + " answer(s)";
    }
    if (key == "silent") {
        return "silent for " + std::to_string(now - s.lastSeen) + " s";
    }
    if (key == "waiting") {
        return "waiting for the first answer";
    }
    if (key == "answering") {
        return "question " + std::to_string(s.answered) + " answered";
    }
    return key;
}

std::string isoLocal(int64_t seconds)
{
    if (seconds == 0) {
        return {};
    }
    // Calendar seconds count the local calendar as written (no zone).
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        .toStdString();
}

QByteArray sittingJson(const Sitting& s, int64_t now)
{
    QJsonObject o;
    o[QStringLiteral("id")] = qint64(s.id);
    o[QStringLiteral("student")] = qs(s.student);
    o[QStringLiteral("computer")] = qs(s.computer);
    o[QStringLiteral("address")] = qs(s.address);
    o[QStringLiteral("server")] = qs(s.server);
    const std::string key = stateKey(s, now);
    o[QStringLiteral("state")] = qs(key);
    // A row changes when the sitting does, not with every second of its
    // silence: the board counts the seconds from lastSeen itself.
    const std::string seen = isoLocal(s.lastSeen);
    o[QStringLiteral("stateText")] =
        key == "silent" ? qs("silent since " + (seen.size() > 11 ? seen.substr(11) : seen))
                        : qs(stateText(s, now));
    o[QStringLiteral("answered")] = s.answered;
    o[QStringLiteral("lastRight")] = s.lastRight;
    // Points while the test runs; the percentage comes with the end.
    o[QStringLiteral("score")] = s.score;
    const bool finished = s.state == SittingState::Finished;
    o[QStringLiteral("percent")] = finished ? QJsonValue(s.percent) : QJsonValue();
    o[QStringLiteral("grade")] = finished ? QJsonValue(qs(s.grade)) : QJsonValue();
    o[QStringLiteral("started")] = qs(isoLocal(s.started));
    o[QStringLiteral("lastSeen")] = qs(isoLocal(s.lastSeen));
    o[QStringLiteral("finished")] =
        s.finished ? QJsonValue(qs(isoLocal(s.finished))) : QJsonValue();
    o[QStringLiteral("maxScore")] =
        finished && s.maxScore >= 0 ? QJsonValue(s.maxScore) : QJsonValue();
    o[QStringLiteral("verified")] = finished ? QJsonValue(qs(verifiedText(s))) : QJsonValue();
    o[QStringLiteral("claimedPercent")] =
        finished && s.claimedPercent >= 0 ? QJsonValue(s.claimedPercent) : QJsonValue();
    o[QStringLiteral("claimedGrade")] = finished ? QJsonValue(qs(s.claimedGrade)) : QJsonValue();
    o[QStringLiteral("flags")] = qs(s.flags);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray incidentJson(const Incident& i)
{
    QJsonObject o;
    o[QStringLiteral("id")] = qint64(i.id);
    o[QStringLiteral("at")] = qs(isoLocal(i.at));
    o[QStringLiteral("server")] = qs(i.server);
    o[QStringLiteral("kind")] = qs(i.kind);
    o[QStringLiteral("student")] = qs(i.student);
    o[QStringLiteral("computer")] = qs(i.computer);
    o[QStringLiteral("address")] = qs(i.address);
    o[QStringLiteral("detail")] = qs(i.detail);
    o[QStringLiteral("bytes")] = qint64(i.bytes.size());
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray jsonArray(const std::vector<QByteArray>& items)
{
    qsizetype size = 2;
    for (const QByteArray& i : items) {
        size += i.size() + 1;
    }
    QByteArray out;
    out.reserve(size);
    out += '[';
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (k > 0) {
            out += ',';
        }
        out += items[k];
    }
    out += ']';
    return out;
}

QByteArray sittingsJson(const std::vector<Sitting>& sittings, int64_t now)
{
    std::vector<QByteArray> rows;
    rows.reserve(sittings.size());
    for (const Sitting& s : sittings) {
        rows.push_back(sittingJson(s, now));
    }
    return jsonArray(rows);
}

QByteArray incidentsJson(const std::vector<Incident>& incidents)
{
    std::vector<QByteArray> rows;
    rows.reserve(incidents.size());
    for (const Incident& i : incidents) {
        rows.push_back(incidentJson(i));
    }
    return jsonArray(rows);
}

std::string statusTable(const std::vector<Sitting>& sittings, int64_t now)
{
    const std::vector<std::string> header = {"student", "computer", "address", "state",
                                             "score",   "verified", "started", "last seen"};
    std::vector<std::vector<std::string>> rows;
    rows.reserve(sittings.size());
    for (const Sitting& s : sittings) {
        // What the students' computers sent reaches the terminal with its
        // control characters shown, never obeyed.
        rows.push_back({terminalSafe(s.student), terminalSafe(s.computer), terminalSafe(s.address),
                        terminalSafe(stateText(s, now)), twoDecimals(s.score),
                        s.state == SittingState::Finished ? verifiedText(s) : std::string(),
                        isoLocal(s.started), isoLocal(s.lastSeen)});
    }
    // Columns as wide as their widest cell, in characters.
    std::vector<qsizetype> width(header.size(), 0);
    const auto len = [](const std::string& t) { return qs(t).size(); };
    for (std::size_t c = 0; c < header.size(); ++c) {
        width[c] = len(header[c]);
        for (const auto& r : rows) {
            width[c] = std::max(width[c], len(r[c]));
        }
    }
    std::string out;
    const auto line = [&](const std::vector<std::string>& r) {
        for (std::size_t c = 0; c < r.size(); ++c) {
            out += r[c];
            if (c + 1 < r.size()) {
                out += std::string(std::size_t(width[c] - len(r[c]) + 2), ' ');
            }
        }
        out += '\n';
    };
    line(header);
    for (const auto& r : rows) {
        line(r);
    }
    return out;
}

std::string serverFigures(const Sitting& s)
{
    if (s.state != SittingState::Finished || s.verified != "mismatch") {
        return {};
    }
    std::string out = "quizdesk-examd: the server's result: " + std::to_string(s.percent) + "% " +
                      s.grade + " (" + twoDecimals(s.score) + " of " + std::to_string(s.maxScore) +
                      " points); the client claimed " +
                      (s.claimedPercent >= 0 ? std::to_string(s.claimedPercent) : "?") + "% " +
                      s.claimedGrade + " (" + twoDecimals(s.claimedScore) + " points)";
    if (!s.flags.empty()) {
        out += "; " + s.flags;
    }
    return out + "\n";
}

std::string sittingsCsv(const std::vector<Sitting>& sittings, char separator,
                        const Gradebook& gradebook)
{
    std::string out = row(kSittingHeader, separator);
    for (const Sitting& s : sittings) {
        out += row(sittingFields(s, gradebook), separator);
    }
    return out;
}

std::string matrixCsv(const std::vector<Sitting>& sittings, const std::vector<AnswerRow>& answers,
                      char separator, const Gradebook& gradebook)
{
    const Matrix m = matrixOf(sittings, answers);
    std::vector<std::string> header = {"student", "computer"};
    for (int q : m.questions) {
        header.push_back(std::to_string(q));
    }
    header.insert(header.end(), kMatrixTail.begin(), kMatrixTail.end());
    std::string out = row(header, separator);
    for (const Gradebook::TestMarks& t : gradebook.tests) {
        std::vector<std::string> r = {"maximum", ""};
        for (int q : m.questions) {
            const auto it = t.marks.find(q);
            r.push_back(it == t.marks.end() ? std::string() : std::to_string(it->second));
        }
        r.insert(r.end(), {"", "", t.name});
        out += row(r, separator);
    }
    for (const Sitting* s : m.rows) {
        std::vector<std::string> r = {s->student, s->computer};
        for (int q : m.questions) {
            const auto it = m.cells.find({s->id, q});
            r.push_back(it == m.cells.end() ? std::string() : twoDecimals(it->second));
        }
        const auto tail = matrixTail(*s, gradebook);
        r.insert(r.end(), tail.begin(), tail.end());
        out += row(r, separator);
    }
    return out;
}

Status writeXlsx(const std::string& path, const std::vector<Sitting>& sittings,
                 const std::vector<AnswerRow>& answers, bool matrix, const Gradebook& gradebook)
{
    lxw_workbook* book = workbook_new(path.c_str());
    if (book == nullptr) {
        return Fault{"cannot create " + path};
    }
    const std::string sheetName = heading(matrix ? "answers" : "sittings");
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.c_str());
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    // Text cells are formatted as text ("@"): a name that begins like a
    // formula stays text even when the cell is edited and entered again.
    lxw_format* plain = workbook_add_format(book);
    format_set_num_format(plain, "@");
    lxw_format* when = workbook_add_format(book);
    format_set_num_format(when, "yyyy-mm-dd hh:mm:ss");
    const auto text = [&](int r, int c, const std::string& v, lxw_format* f = nullptr) {
        worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), v.c_str(), f ? f : plain);
    };
    // Times as dates the spreadsheet can sort and subtract.
    const auto time = [&](int r, int c, int64_t seconds) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
        lxw_datetime d{t.date().year(), t.date().month(),  t.date().day(),
                       t.time().hour(), t.time().minute(), double(t.time().second())};
        worksheet_write_datetime(sheet, lxw_row_t(r), lxw_col_t(c), &d, when);
    };
    const auto number = [&](int r, int c, double v, lxw_format* f = nullptr) {
        worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), v, f);
    };
    if (matrix) {
        const Matrix m = matrixOf(sittings, answers);
        text(0, 0, heading("student"), bold);
        text(0, 1, heading("computer"), bold);
        const int tail = 2 + int(m.questions.size());
        for (std::size_t i = 0; i < m.questions.size(); ++i) {
            number(0, int(2 + i), m.questions[i], bold);
        }
        for (std::size_t c = 0; c < kMatrixTail.size(); ++c) {
            text(0, tail + int(c), heading(kMatrixTail[c]), bold);
        }
        // Under the header, each known test's maxima, in bold as headings.
        int r = 1;
        for (const Gradebook::TestMarks& t : gradebook.tests) {
            text(r, 0, heading("maximum"), bold);
            for (std::size_t i = 0; i < m.questions.size(); ++i) {
                if (const auto it = t.marks.find(m.questions[i]); it != t.marks.end()) {
                    number(r, int(2 + i), it->second, bold);
                }
            }
            text(r, tail + 2, t.name, bold);
            ++r;
        }
        for (const Sitting* s : m.rows) {
            text(r, 0, s->student);
            text(r, 1, s->computer);
            for (std::size_t i = 0; i < m.questions.size(); ++i) {
                const auto it = m.cells.find({s->id, m.questions[i]});
                if (it != m.cells.end()) {
                    number(r, int(2 + i), it->second);
                }
            }
            number(r, tail, s->score);
            if (s->maxScore >= 0) {
                number(r, tail + 1, s->maxScore);
            }
            text(r, tail + 2, testNameOf(gradebook, *s));
            ++r;
        }
    } else {
        for (std::size_t c = 0; c < kSittingHeader.size(); ++c) {
            text(0, int(c), heading(kSittingHeader[c]), bold);
        }
        worksheet_set_column(sheet, 2, 3, 19, nullptr);
        for (std::size_t r = 0; r < sittings.size(); ++r) {
            const auto f = sittingFields(sittings[r], gradebook);
            for (std::size_t c = 0; c < f.size(); ++c) {
                const Sitting& s = sittings[r];
                if (c == 2 || c == 3) {
                    const int64_t at = c == 2 ? s.started : s.finished;
                    if (!f[c].empty() && at > 0) {
                        time(int(r + 1), int(c), at);
                    }
                    continue;
                }
                // Numbers as numbers, so the spreadsheet can sum them.
                if (std::find(std::begin(kNumberColumns), std::end(kNumberColumns), c) !=
                        std::end(kNumberColumns) &&
                    !f[c].empty()) {
                    worksheet_write_number(sheet, lxw_row_t(r + 1), lxw_col_t(c), std::stod(f[c]),
                                           nullptr);
                } else {
                    text(int(r + 1), int(c), f[c]);
                }
            }
        }
    }
    const lxw_error e = workbook_close(book);
    if (e != LXW_NO_ERROR) {
        return Fault{"cannot write " + path + ": " + lxw_strerror(e)};
    }
    return {};
}

Result<std::string> xlsxBytes(const std::vector<Sitting>& sittings,
                              const std::vector<AnswerRow>& answers, bool matrix,
                              const Gradebook& gradebook)
{
    QTemporaryFile part;
    if (!part.open()) {
        return Fault{"cannot make a temporary file: " + part.errorString().toStdString()};
    }
    part.close();
    const std::string path = QFile::encodeName(part.fileName()).toStdString();
    if (Status s = writeXlsx(path, sittings, answers, matrix, gradebook); !s.ok()) {
        return s.fault();
    }
    if (!part.open()) {
        return Fault{"cannot read the workbook back: " + part.errorString().toStdString()};
    }
    const QByteArray bytes = part.readAll();
    if (part.error() != QFileDevice::NoError) {
        return Fault{"cannot read the workbook back: " + part.errorString().toStdString()};
    }
    return bytes.toStdString();
}

} // namespace qd::server
