#include "results/ReportReader.h"

#include "results/ReportRows.h"

#include <charconv>
#include <cstdlib>

namespace qd {

namespace {

// Why a parse stopped: the bytes ran out (the report was cut short) or they
// are not what a report holds there.
enum class Stop { None, CutShort, Mismatch };

// A cursor over the report's bytes that knows its line for messages.
class Cursor
{
public:
    explicit Cursor(std::string_view bytes) : m_rest(bytes) {}

    Stop stop() const { return m_stop; }
    bool ok() const { return m_stop == Stop::None; }
    bool atEnd() const { return m_rest.empty(); }
    std::string_view rest() const { return m_rest; }
    void skipRest() { m_rest = {}; }
    int line() const { return m_line; }
    const std::string& expected() const { return m_expected; }

    // The literal `text`; a rest that is a proper prefix of it is cut short.
    bool expect(std::string_view text, std::string_view what)
    {
        if (!ok()) {
            return false;
        }
        if (m_rest.substr(0, text.size()) == text) {
            advance(text.size());
            return true;
        }
        if (m_rest.size() < text.size() && text.substr(0, m_rest.size()) == m_rest) {
            return fail(Stop::CutShort, what);
        }
        return fail(Stop::Mismatch, what);
    }

    // The bytes up to the next `end` (not taken); none: cut short.
    bool until(std::string_view end, std::string& out, std::string_view what)
    {
        if (!ok()) {
            return false;
        }
        const std::size_t at = m_rest.find(end);
        if (at == std::string_view::npos) {
            return fail(Stop::CutShort, what);
        }
        out.assign(m_rest.substr(0, at));
        advance(at);
        return true;
    }

    // A decimal integer after optional blanks (the %2d and %4d padding),
    // with an optional minus sign.
    bool integer(int32_t& out, std::string_view what)
    {
        if (!ok()) {
            return false;
        }
        std::size_t i = 0;
        while (i < m_rest.size() && m_rest[i] == ' ') {
            ++i;
        }
        std::size_t j = i;
        if (j < m_rest.size() && m_rest[j] == '-') {
            ++j;
        }
        const std::size_t digits = j;
        while (j < m_rest.size() && m_rest[j] >= '0' && m_rest[j] <= '9') {
            ++j;
        }
        if (j == m_rest.size()) {
            return fail(Stop::CutShort, what);
        }
        if (j == digits) {
            return fail(Stop::Mismatch, what);
        }
        const auto r = std::from_chars(m_rest.data() + i, m_rest.data() + j, out);
        if (r.ec != std::errc()) {
            return fail(Stop::Mismatch, what);
        }
        advance(j);
        return true;
    }

    // A "%.2f" number: optional minus, digits, a point, two digits. `text`
    // keeps it as written.
    bool fixed2(std::string& text, double& value, std::string_view what)
    {
        if (!ok()) {
            return false;
        }
        std::size_t j = 0;
        if (j < m_rest.size() && m_rest[j] == '-') {
            ++j;
        }
        const std::size_t intStart = j;
        while (j < m_rest.size() && j < 64 && m_rest[j] >= '0' && m_rest[j] <= '9') {
            ++j;
        }
        const bool intDigits = j > intStart;
        std::size_t frac = 0;
        if (j < m_rest.size() && m_rest[j] == '.') {
            ++j;
            while (j < m_rest.size() && frac < 2 && m_rest[j] >= '0' && m_rest[j] <= '9') {
                ++j;
                ++frac;
            }
        }
        if (j == m_rest.size()) {
            return fail(Stop::CutShort, what);
        }
        if (!intDigits || frac != 2) {
            return fail(Stop::Mismatch, what);
        }
        text.assign(m_rest.substr(0, j));
        value = std::strtod(text.c_str(), nullptr);
        advance(j);
        return true;
    }

    // One byte of the given set into `out`.
    bool oneOf(std::string_view set, char& out, std::string_view what)
    {
        if (!ok()) {
            return false;
        }
        if (m_rest.empty()) {
            return fail(Stop::CutShort, what);
        }
        if (set.find(m_rest[0]) == std::string_view::npos) {
            return fail(Stop::Mismatch, what);
        }
        out = m_rest[0];
        advance(1);
        return true;
    }

    bool fail(Stop stop, std::string_view what)
    {
        m_stop = stop;
        m_expected.assign(what);
        return false;
    }

private:
    void advance(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            m_line += m_rest[i] == '\n' ? 1 : 0;
        }
        m_rest.remove_prefix(n);
    }

    std::string_view m_rest;
    int m_line = 1;
    Stop m_stop = Stop::None;
    std::string m_expected;
};

Fault notAReport(const Cursor& c)
{
    return Fault{"not a report: line " + std::to_string(c.line()) + ": expected " + c.expected()};
}

// The header (formatReportHeader). False when the parse stopped (see the cursor).
bool readHeader(Cursor& c, ParsedReport& r)
{
    const ReportTexts& t = reportTexts();
    int32_t v[6] = {};
    if (!(c.expect(t.date, "the date line") && c.integer(v[0], "the day") &&
          c.expect(".", "the date") && c.integer(v[1], "the month") && c.expect(".", "the date") &&
          c.integer(v[2], "the year") && c.expect(t.time, "the time") &&
          c.integer(v[3], "the hour") && c.expect(".", "the time") &&
          c.integer(v[4], "the minute") && c.expect(".", "the time") &&
          c.integer(v[5], "the second") && c.expect("\n", "the end of the date line"))) {
        return false;
    }
    r.day = v[0];
    r.month = v[1];
    r.year = v[2];
    r.hour = v[3];
    r.minute = v[4];
    r.second = v[5];

    std::string testLine;
    if (!(c.expect(t.subject, "the discipline line") &&
          c.until(t.test, r.subjectName, "the test name line") &&
          c.expect(t.test, "the test name line") && c.until(t.name, testLine, "the name line") &&
          c.expect(t.name, "the name line") &&
          c.until(t.criteria, r.studentName, "the criteria line") &&
          c.expect(t.criteria, "the criteria line"))) {
        return false;
    }
    // The test name, then CR LF "(" directory ")".
    const std::size_t dir = testLine.rfind("\r\n(");
    if (dir == std::string::npos || testLine.back() != ')') {
        c.fail(Stop::Mismatch, "the test's directory in brackets");
        return false;
    }
    r.testName = testLine.substr(0, dir);
    r.directory = testLine.substr(dir + 3, testLine.size() - dir - 4);

    char before[3] = {}, after[3] = {};
    const std::string_view between[3] = {"", t.good, t.excellent};
    for (int i = 0; i < 3; ++i) {
        if (!((i == 0 || c.expect(between[i], "the grading criteria")) &&
              c.oneOf("<>", before[i], "the grading criteria") &&
              c.expect("= ", "the grading criteria") &&
              c.integer(r.criteria[i], "a threshold of the grading criteria") &&
              c.oneOf("c%", after[i], "the grading criteria"))) {
            return false;
        }
    }
    r.byTime = before[0] == '<';
    if (!(c.expect(t.results, "the results heading") &&
          c.expect(t.heading, "the column heading"))) {
        return false;
    }
    r.headerComplete = true;
    return true;
}

// A question row (formatReportRow).
bool readRow(Cursor& c, ReportRow& row)
{
    const ReportTexts& t = reportTexts();
    if (!(c.expect(t.rowLead, "a question line") && c.integer(row.question, "a question number") &&
          c.expect(t.beforePoints, "the blanks before the points") &&
          c.fixed2(row.pointsText, row.points, "the points of a question") &&
          c.expect(t.beforeAnswer, "the blanks before the answer") &&
          c.until("\n", row.answer, "the end of a question line") && c.expect("\n", ""))) {
        return false;
    }
    if (row.question < 1) {
        return c.fail(Stop::Mismatch, "a question number from 1");
    }
    return true;
}

// The closing rows (formatClosingRows).
bool readClosing(Cursor& c, ParsedReport& r)
{
    const ReportTexts& t = reportTexts();
    int32_t minutes = 0, seconds = 0;
    std::string grade;
    if (!(c.expect(t.total, "the points line") && c.fixed2(r.scoreText, r.score, "the points") &&
          c.expect(t.of, "the points line") && c.integer(r.maxScore, "the maximum points") &&
          c.expect(t.possible, "the points line") && c.expect(t.percent, "the percentage line") &&
          c.integer(r.percent, "the percentage") && c.expect(t.percentEnd, "the percentage line") &&
          c.integer(minutes, "the minutes") && c.expect(t.minutes, "the percentage line") &&
          c.integer(seconds, "the seconds") && c.expect(t.seconds, "the percentage line") &&
          c.expect(t.grade, "the grade line") &&
          c.until("\n", grade, "the end of the grade line") && c.expect("\n", ""))) {
        return false;
    }
    if (minutes < 0 || seconds < 0 || seconds > 59) {
        return c.fail(Stop::Mismatch, "a time of minutes and seconds");
    }
    r.minutes = minutes;
    r.seconds = seconds;
    r.grade = grade;
    return true;
}

} // namespace

Result<ParsedReport> readReport(std::string_view bytes)
{
    if (bytes.size() > kMaxReportBytes) {
        return Fault{"not a report: larger than " + std::to_string(kMaxReportBytes >> 20) + " MB"};
    }
    Cursor c(bytes);
    ParsedReport r;
    if (bytes.empty() ||
        !reportTexts().date.starts_with(bytes.substr(0, reportTexts().date.size()))) {
        c.fail(Stop::Mismatch, "the date line");
        return notAReport(c);
    }
    const bool header = readHeader(c, r);
    r.header.assign(bytes.substr(0, bytes.size() - c.rest().size()));
    if (!header) {
        if (c.stop() == Stop::Mismatch) {
            return notAReport(c);
        }
        r.header.assign(bytes);
        return r; // cut short in the header: no rows
    }
    const std::string& total = reportTexts().total;
    while (!c.atEnd()) {
        const std::string_view rest = c.rest();
        if (rest.starts_with(total) || (rest.size() < total.size() && total.starts_with(rest))) {
            if (readClosing(c, r)) {
                // A run with accommodations adds one line saying which (a
                // copy cut inside it is read as far as the grade).
                const std::string& note = reportTexts().accommodations;
                const std::size_t eol = c.rest().find('\n');
                if (c.rest().starts_with(note) &&
                    (eol == std::string_view::npos || eol + 1 == c.rest().size())) {
                    if (eol != std::string_view::npos) {
                        r.accommodations.assign(c.rest().substr(note.size(), eol - note.size()));
                    }
                    c.skipRest();
                }
                if (!c.atEnd()) {
                    c.fail(Stop::Mismatch, "the end of the report after the grade line");
                    return notAReport(c);
                }
                r.finished = true;
            } else if (c.stop() == Stop::Mismatch) {
                return notAReport(c);
            }
            return r;
        }
        ReportRow row;
        if (!readRow(c, row)) {
            if (c.stop() == Stop::Mismatch) {
                return notAReport(c);
            }
            return r; // the last line is not whole
        }
        r.rows.push_back(std::move(row));
    }
    return r;
}

std::optional<std::vector<int32_t>> choiceNumbers(std::string_view answer)
{
    std::vector<int32_t> out;
    std::size_t i = 0;
    while (i < answer.size()) {
        while (i < answer.size() && answer[i] == ' ') {
            ++i;
        }
        const std::size_t start = i;
        if (i < answer.size() && answer[i] == '-') {
            ++i;
        }
        const std::size_t digits = i;
        while (i < answer.size() && answer[i] >= '0' && answer[i] <= '9') {
            ++i;
        }
        int32_t v = 0;
        if (i == digits || i >= answer.size() || answer[i] != ',' ||
            std::from_chars(answer.data() + start, answer.data() + i, v).ec != std::errc()) {
            return std::nullopt;
        }
        out.push_back(v);
        ++i; // the comma
    }
    return out;
}

std::optional<std::vector<MatchingRow>> matchingRows(std::string_view text)
{
    std::vector<MatchingRow> rows;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' && i + 2 < text.size() && text[i + 2] == ':') {
            rows.push_back(MatchingRow{text[i + 1], {}});
            i += 3;
        } else if (rows.empty()) {
            return std::nullopt;
        }
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        int32_t v = 0;
        if (i == start || i >= text.size() || text[i] != ',' ||
            std::from_chars(text.data() + start, text.data() + i, v).ec != std::errc()) {
            return std::nullopt;
        }
        rows.back().numbers.push_back(v);
        ++i; // the comma
    }
    return rows;
}

} // namespace qd
