#include "ExamDesk.h"

#include "definition/Cp1251.h"
#include "exam/StudentList.h"
#include "results/ReportReader.h"
#include "results/ReportSource.h"
#include "run/Clock.h"

#include <QDateTime>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

namespace qd::server {

namespace {

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
    note(kind, a, detail, utf8(a.fields.studentName), bytes);
}

std::string ExamDesk::groupOf(const Sitting& s)
{
    return s.student + '#' + std::to_string(s.id);
}

void ExamDesk::note(const std::string& kind, const Arrival& a, const std::string& detail,
                    const std::string& group, const std::string& bytes)
{
    Incident i;
    i.at = now();
    i.kind = kind;
    i.student = utf8(a.fields.studentName);
    i.computer = utf8(a.fields.hostName);
    i.address = a.address;
    i.detail = detail;
    i.bytes = bytes.substr(0, IncidentLog::kKeptBytes);
    m_incidents.add(i, group);
}

void ExamDesk::setTests(std::vector<const TestModel*> tests)
{
    m_tests = std::move(tests);
    m_limits = progressLimits(m_tests);
}

void ExamDesk::setConnections(Connections* connections, std::string serverName)
{
    m_connections = connections;
    m_serverName = std::move(serverName);
}

bool ExamDesk::heldLive(const Sitting& s, uint64_t holder) const
{
    if (holder != 0) {
        return m_connections != nullptr && m_connections->live(holder);
    }
    // Another server's connections are not seen from here: a sitting it
    // heard from within the minute is taken for live.
    return !m_serverName.empty() && s.server != m_serverName &&
           now() - s.lastSeen < Connections::kLiveSeconds;
}

void ExamDesk::flagged(const Sitting& s, const Arrival& a, const Finding& f)
{
    // Each finding of its own: the same one again only counts.
    note(f.kind, a, f.detail, groupOf(s) + '\0' + f.detail);
    m_journal.flag(s.id, f.kind, now());
}

int16_t ExamDesk::toOpenSitting(const Sitting& s, const Arrival& a, const std::string& computer)
{
    const auto held = m_holders.find(s.student);
    const uint64_t holder = held == m_holders.end() ? 0 : held->second;
    if (holder != 0 && holder == a.connection) {
        return carryOn(s, a);
    }
    // The examiner moved the sitting: the student's next registration takes
    // it from wherever it comes, and from then on only that connection
    // speaks for it.
    if (unbound(s) && a.fields.kind == ExamMessage::Registration) {
        if (holder != 0 && m_connections != nullptr) {
            m_connections->close(holder);
        }
        if (a.connection != 0) {
            hold(s, a.connection);
        }
        resumed(s, a, true);
        m_journal.rebind(s.id, computer, a.address, now());
        return 0;
    }
    // A live sitting goes on untouched, whoever asks and from wherever: a
    // second window, or a computer cloned with the same name and address.
    if (heldLive(s, holder)) {
        const char* what = a.fields.kind == ExamMessage::Registration
                               ? "a registration"
                               : "a message on another connection";
        incident("second-login", a,
                 std::string(what) + " while the sitting on " + s.computer + " (" + s.address +
                     ") is live");
        return -3;
    }
    if (!sameComputer(s, computer, a.address)) {
        incident("two-computers", a, "already sitting on " + s.computer + " (" + s.address + ")");
        return -3;
    }
    // The same computer back (restarted, or its connection lost): from now
    // on only this connection speaks for the sitting.
    if (a.connection != 0) {
        if (holder != 0 && m_connections != nullptr) {
            m_connections->close(holder);
        }
        hold(s, a.connection);
    }
    // A computer whose connection the server closed for idleness connects
    // again by itself: the same run going on, not a resumed one.
    const bool idleClosed =
        holder != 0 && m_connections != nullptr && m_connections->closedForIdleness(holder);
    if (a.fields.kind == ExamMessage::Registration && !idleClosed) {
        resumed(s, a, false);
    }
    return carryOn(s, a);
}

void ExamDesk::resumed(const Sitting& s, const Arrival& a, bool moved)
{
    // The server knows the time of the sitting's last message, not of the
    // cut: the time away is counted from that message.
    const int64_t away = std::max<int64_t>(now() - s.lastSeen, 0);
    Incident probe;
    probe.kind = "resumed";
    probe.address = a.address;
    probe.at = now();
    const int times = m_journal.incidentCount("resumed", s.student, s.started) +
                      m_incidents.unwritten(probe, groupOf(s)) + 1;
    std::string detail = "the sitting goes on after " + std::to_string(away) +
                         " s without a message; resumed " + std::to_string(times) +
                         (times == 1 ? " time" : " times");
    if (moved) {
        detail += "; moved here by the examiner";
    }
    note("resumed", a, detail, groupOf(s));
    m_journal.flag(s.id, "resumed", now());
}

int16_t ExamDesk::handle(const Arrival& a)
{
    const std::string student = utf8(a.fields.studentName);
    if (a.fields.kind == ExamMessage::Progress && a.connection != 0) {
        if (const auto code = progressOnHolder(student, a)) {
            return *code;
        }
    }
    const std::string computer = utf8(a.fields.hostName);
    if (const auto open = m_journal.openSitting(student)) {
        return toOpenSitting(*open, a, computer);
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
    unhold(student); // a sitting closed by another process
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
            return toOpenSitting(*open, a, computer);
        }
        // The statement failed: the batch fails, and no reply grants.
        return 0;
    }
    s.id = *id;
    if (a.connection != 0) {
        hold(s, a.connection);
    }
    return carryOn(s, a, a.fields.kind == ExamMessage::Registration);
}

int16_t ExamDesk::carryOn(const Sitting& s, const Arrival& a, bool registered)
{
    const int64_t t = now();
    const ExamMessage& m = a.fields;
    switch (m.kind) {
    case ExamMessage::Progress:
        for (const Finding& f :
             checkProgress(s.answered, s.score, m.answeredCount, m.scoreValue, m_limits)) {
            flagged(s, a, f);
        }
        // Stored as sent: the journal is the record of what came.
        if (m_journal.progress(s.id, m.answeredCount, m.lastRight != 0, finite(m.scoreValue), t,
                               a.address)) {
            remember(s, a.connection, m.answeredCount, finite(m.scoreValue));
        }
        break;
    case ExamMessage::Final:
        finish(s, a, registered);
        break;
    default:
        m_journal.touch(s.id, t, a.address);
        remember(s, a.connection, s.answered, s.score);
        break;
    }
    return 0;
}

void ExamDesk::finish(const Sitting& s, const Arrival& a, bool registered)
{
    const ExamMessage& m = a.fields;
    FinalCheck c =
        checkFinal(m_tests, ClaimedFinal{m.answeredCount, m.scoreValue, m.gradeText}, a.report);
    if (!registered) {
        c.findings.insert(c.findings.begin(),
                          Finding{"implausible-final", "a final message with no registration"});
        if (c.verified == Verified::Yes) {
            c.verified = Verified::Mismatch;
        }
    }
    // The question rows enter the student x question table only when they
    // fit: with a test, its questions and the server's points.
    std::vector<AnswerRow> rows;
    if (c.report && c.rowsFit) {
        for (std::size_t i = 0; i < c.report->rows.size(); ++i) {
            const ReportRow& row = c.report->rows[i];
            rows.push_back(AnswerRow{s.id, row.question, finite(c.points[i]), utf8(row.answer)});
        }
    }
    // Without a total of its own (no report, or one cut short and not
    // scored) the points of the last progress message stay.
    std::optional<double> score;
    if (c.scored || (c.report && c.report->finished)) {
        score = finite(c.score);
    }
    m_journal.finish(s.id, m.answeredCount, m.lastRight != 0, c.percent, score, utf8(c.grade),
                     a.report, rows, now());
    FinalClaim claim;
    claim.maxScore = c.scored || (c.report && c.report->finished) ? c.maxScore : -1;
    claim.percent = std::isfinite(m.scoreValue)
                        ? int(std::lround(std::clamp(m.scoreValue, -1000000.0f, 1000000.0f)))
                        : -1;
    claim.grade = utf8(m.gradeText);
    claim.score = finite(c.claimedScore);
    claim.verified = verifiedName(c.verified);
    m_journal.recordClaim(s.id, claim, now());
    for (const Finding& f : c.findings) {
        flagged(s, a, f);
    }
    // The examiner sees which accommodations the sitting had (more time,
    // larger text, a quiet exam) beside the others.
    if (c.report && !c.report->accommodations.empty()) {
        note("accommodations", a, utf8(c.report->accommodations), groupOf(s));
    }
    unhold(s.student);
}

void ExamDesk::hold(const Sitting& s, uint64_t connection)
{
    uint64_t& holder = m_holders[s.student];
    m_held.erase(holder);
    holder = connection;
    m_held[connection] = Held{s.student, s.id, s.answered, s.score};
}

void ExamDesk::unhold(const std::string& student)
{
    const auto it = m_holders.find(student);
    if (it != m_holders.end()) {
        m_held.erase(it->second);
        m_holders.erase(it);
    }
}

void ExamDesk::remember(const Sitting& s, uint64_t connection, int answered, double score)
{
    const auto held = m_holders.find(s.student);
    if (connection != 0 && held != m_holders.end() && held->second == connection) {
        m_held[connection] = Held{s.student, s.id, answered, score};
    }
}

std::optional<int16_t> ExamDesk::progressOnHolder(const std::string& student, const Arrival& a)
{
    const auto it = m_held.find(a.connection);
    if (it == m_held.end() || it->second.student != student) {
        return std::nullopt;
    }
    const Held before = it->second;
    const ExamMessage& m = a.fields;
    const double score = finite(m.scoreValue);
    if (!m_journal.progress(before.sitting, m.answeredCount, m.lastRight != 0, score, now(),
                            a.address)) {
        // Closed meanwhile (stop, release, another server): the rules
        // decide again from what the journal holds.
        m_held.erase(it);
        return std::nullopt;
    }
    it->second.answered = m.answeredCount;
    it->second.score = score;
    Sitting s;
    s.id = before.sitting;
    s.student = student;
    for (const Finding& f :
         checkProgress(before.answered, before.score, m.answeredCount, m.scoreValue, m_limits)) {
        flagged(s, a, f);
    }
    return int16_t(0);
}

} // namespace qd::server
