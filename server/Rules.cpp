#include "Rules.h"

#include "definition/Cp1251.h"
#include "exam/StudentList.h"
#include "results/ReportReader.h"
#include "results/ReportSource.h"
#include "run/Clock.h"

#include <QDateTime>
#include <QString>
#include <QStringDecoder>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace qd::server {

namespace {

// The largest roster taken: 92 bytes a record, a million students.
constexpr std::size_t kMaxRosterBytes = 100u << 20;

// Text for the journal: a zero byte (which a report's answer column may
// hold) is refused by PostgreSQL's text type, and one message must never
// fail the batch of everybody's.
std::string utf8(const std::string& cp1251)
{
    std::string out = fromCp1251(cp1251);
    std::replace(out.begin(), out.end(), '\0', '?');
    return out;
}

// A number from the wire: NaN would be NULL in a NOT NULL column.
double finite(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

} // namespace

Status Roster::load(const std::filesystem::path& file)
{
    std::string error;
    const auto bytes = readFileBounded(file, kMaxRosterBytes, &error);
    if (!bytes) {
        return Fault{"cannot read the roster " + file.string() + ": " + error};
    }
    loadBytes(*bytes);
    return std::nullopt;
}

void Roster::loadBytes(std::string_view table)
{
    std::unordered_map<std::string, bool> names;
    for (StudentList::Record& r : StudentList::parseRecords(table)) {
        // A name listed twice is deleted only when every record of it is.
        auto [it, fresh] = names.emplace(r.name, r.deleted);
        if (!fresh) {
            it->second = it->second && r.deleted;
        }
    }
    m_names = std::move(names);
}

Roster::Entry Roster::find(const std::string& cp1251) const
{
    const auto it = m_names.find(cp1251);
    if (it == m_names.end()) {
        return Entry::Absent;
    }
    return it->second ? Entry::Deleted : Entry::Listed;
}

Roster::Stamp Roster::stampOf(const std::filesystem::path& file)
{
    struct stat st
    {};
    if (::stat(file.c_str(), &st) != 0) {
        return {};
    }
    return Stamp{int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, int64_t(st.st_size),
                 uint64_t(st.st_ino)};
}

std::optional<int64_t> parseLocalTime(const std::string& text)
{
    QString t = QString::fromStdString(text).trimmed();
    t.replace(QLatin1Char('T'), QLatin1Char(' '));
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime d = QDateTime::fromString(t, QLatin1String(format));
        if (d.isValid()) {
            const QDate date = d.date();
            const QTime time = d.time();
            return secondsSince1970(LocalTime{date.year(), date.month(), date.day(), time.hour(),
                                              time.minute(), time.second()});
        }
    }
    return std::nullopt;
}

std::set<std::string> parseDenyList(std::string_view file)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)decoder.decode(QByteArrayView(file.data(), qsizetype(file.size())));
    const bool isUtf8 = !decoder.hasError();
    std::set<std::string> out;
    std::size_t at = 0;
    while (at < file.size()) {
        std::size_t end = file.find('\n', at);
        if (end == std::string_view::npos) {
            end = file.size();
        }
        std::string line(file.substr(at, end - at));
        at = end + 1;
        while (!line.empty() && (line.back() == '\r')) {
            line.pop_back();
        }
        if (line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        out.insert(isUtf8 ? toCp1251(line) : line);
    }
    return out;
}

ExamDesk::ExamDesk(Journal& journal, const Clock& clock, const Roster& roster, RuleOptions options)
    : m_journal(journal),
      m_clock(clock),
      m_roster(roster),
      m_options(std::move(options))
{
}

int64_t ExamDesk::now() const
{
    return int64_t(m_clock.calendarSeconds());
}

bool ExamDesk::sameComputer(const Sitting& s, const std::string& computer,
                            const std::string& address)
{
    // The host name alone could be copied from another machine; the host
    // name with the address is the computer the sitting was granted to.
    return s.computer == computer && s.address == address;
}

void ExamDesk::incident(const std::string& kind, const Arrival& a, const std::string& detail,
                        const std::string& bytes)
{
    Incident i;
    i.at = now();
    i.kind = kind;
    i.student = utf8(a.fields.studentName);
    i.computer = utf8(a.fields.hostName);
    i.address = a.address;
    i.detail = detail;
    i.bytes = bytes;
    m_journal.addIncident(i);
}

int16_t ExamDesk::handle(const Arrival& a)
{
    const std::string student = utf8(a.fields.studentName);
    const std::string computer = utf8(a.fields.hostName);
    if (const auto open = m_journal.openSitting(student)) {
        if (sameComputer(*open, computer, a.address)) {
            return carryOn(*open, a);
        }
        incident("two-computers", a,
                 "already sitting on " + open->computer + " (" + open->address + ")");
        return -3;
    }
    if (a.fields.kind != ExamMessage::Registration) {
        // A message of a sitting that has ended: the final one again (its
        // reply was lost) is answered and not stored again; anything else
        // from the computer of a closed sitting is refused.
        const auto latest = m_journal.latestSitting(student);
        if (latest && sameComputer(*latest, computer, a.address)) {
            if (a.fields.kind == ExamMessage::Final && latest->state == SittingState::Finished) {
                return 0;
            }
            incident("after-close", a,
                     std::string("a message of a ") + stateName(latest->state) + " sitting");
            return -1;
        }
    }
    return admitNew(a, student, computer, 0);
}

int16_t ExamDesk::admitNew(const Arrival& a, const std::string& student,
                           const std::string& computer, int attempt)
{
    const std::string& name = a.fields.studentName;
    switch (m_roster.find(name)) {
    case Roster::Entry::Absent:
        incident("not-on-roster", a, "not on the roster");
        return -2;
    case Roster::Entry::Deleted:
        incident("no-permission", a, "the roster record is marked deleted");
        return -1;
    case Roster::Entry::Listed:
        break;
    }
    if (m_options.deny.count(name) != 0) {
        incident("no-permission", a, "on the deny list");
        return -1;
    }
    const int64_t t = now();
    if ((m_options.from && t < *m_options.from) || (m_options.until && t > *m_options.until)) {
        incident("no-permission", a, "outside the exam window");
        return -1;
    }
    if (!m_options.allow.empty()) {
        const QHostAddress peer(QString::fromStdString(a.address));
        bool inside = false;
        for (const auto& range : m_options.allow) {
            inside = inside || peer.isInSubnet(range);
        }
        if (!inside) {
            incident("no-permission", a, "address outside the allowed ranges");
            return -1;
        }
    }
    const int finished = m_journal.finishedCount(student);
    if (finished > m_options.retakes) {
        incident("no-permission", a,
                 "sat already (" + std::to_string(finished) + " finished sitting(s))");
        return -1;
    }
    for (const Sitting& other : m_journal.openOnComputer(computer, a.address)) {
        incident("computer-reused", a, "the computer has an open sitting of " + other.student);
    }

    Sitting s;
    s.student = student;
    s.computer = computer;
    s.address = a.address;
    s.started = t;
    s.lastSeen = t;
    const auto id = m_journal.insertSitting(s);
    if (!id) {
        // Another server (or this one's earlier statement) holds the
        // student's open sitting now: the rules again, once, against it.
        if (const auto open = m_journal.openSitting(student); open && attempt == 0) {
            if (sameComputer(*open, computer, a.address)) {
                return carryOn(*open, a);
            }
            incident("two-computers", a,
                     "already sitting on " + open->computer + " (" + open->address + ")");
            return -3;
        }
        // The statement failed: the batch fails, and no reply grants.
        return 0;
    }
    s.id = *id;
    return carryOn(s, a);
}

int16_t ExamDesk::carryOn(const Sitting& s, const Arrival& a)
{
    const int64_t t = now();
    const ExamMessage& m = a.fields;
    switch (m.kind) {
    case ExamMessage::Progress:
        m_journal.progress(s.id, m.answeredCount, m.lastRight != 0, finite(m.scoreValue), t,
                           a.address);
        break;
    case ExamMessage::Final: {
        std::vector<AnswerRow> rows;
        // The final message carries the percentage, not the points: the
        // points are the report's total, when it has one.
        std::optional<double> score;
        if (!a.report.empty()) {
            const auto parsed = readReport(a.report);
            if (const auto* r = std::get_if<ParsedReport>(&parsed)) {
                if (r->finished) {
                    score = finite(r->score);
                }
                for (const ReportRow& row : r->rows) {
                    rows.push_back(
                        AnswerRow{s.id, row.question, finite(row.points), utf8(row.answer)});
                }
                // The examiner sees which accommodations the sitting had
                // (more time, larger text, a quiet exam) beside the others.
                if (!r->accommodations.empty()) {
                    incident("accommodations", a, utf8(r->accommodations));
                }
            } else {
                incident("report-unreadable", a, utf8(std::get<Fault>(parsed).message));
            }
        }
        // A whole number stored as a float; anything else is bounded, not
        // trusted.
        const float percent =
            std::isfinite(m.scoreValue) ? std::clamp(m.scoreValue, -1000000.0f, 1000000.0f) : 0.0f;
        m_journal.finish(s.id, m.answeredCount, m.lastRight != 0, int(std::lround(percent)), score,
                         utf8(m.gradeText), a.report, rows, t);
        break;
    }
    default:
        m_journal.touch(s.id, t, a.address);
        break;
    }
    return 0;
}

} // namespace qd::server
