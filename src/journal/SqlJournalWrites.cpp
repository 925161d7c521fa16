// What the exam server does to the journal inside its batches: the
// look-ups of the registration rules and the writes of every message, each
// chained as an event.

#include "journal/SqlJournal.h"

#include "journal/JournalChain.h"
#include "journal/SqlRows.h"

#include <QVariant>

namespace qd::journal {

using namespace Qt::StringLiterals;
using namespace rows;

std::optional<Sitting> SqlJournal::oneSitting(QSqlQuery& q)
{
    if (!run(q)) {
        return std::nullopt;
    }
    std::optional<Sitting> s;
    if (q.next()) {
        s = sittingOf(q);
    }
    q.finish();
    return s;
}

std::optional<Sitting> SqlJournal::openSitting(const std::string& student)
{
    static const std::string sql = std::string("SELECT ") + kSittingColumns +
                                   " FROM sittings WHERE student = ? AND state = 'open'";
    QSqlQuery& q = query(sql.c_str());
    q.addBindValue(qs(student));
    return oneSitting(q);
}

std::optional<Sitting> SqlJournal::latestSitting(const std::string& student)
{
    static const std::string sql = std::string("SELECT ") + kSittingColumns +
                                   " FROM sittings WHERE student = ? ORDER BY id DESC LIMIT 1";
    QSqlQuery& q = query(sql.c_str());
    q.addBindValue(qs(student));
    return oneSitting(q);
}

std::vector<Sitting> SqlJournal::openOnComputer(const std::string& computer,
                                                const std::string& address)
{
    static const std::string sql =
        std::string("SELECT ") + kSittingColumns +
        " FROM sittings WHERE computer = ? AND address = ? AND state = 'open'";
    QSqlQuery& q = query(sql.c_str());
    q.addBindValue(qs(computer));
    q.addBindValue(qs(address));
    std::vector<Sitting> out;
    if (run(q)) {
        while (q.next() && out.size() < 100) {
            out.push_back(sittingOf(q));
        }
    }
    q.finish();
    return out;
}

int SqlJournal::finishedCount(const std::string& student)
{
    QSqlQuery& q = query("SELECT COUNT(*) FROM sittings WHERE student = ? AND state IN "
                         "('finished', 'stopped')");
    q.addBindValue(qs(student));
    int n = 0;
    if (run(q) && q.next()) {
        n = q.value(0).toInt();
    }
    q.finish();
    return n;
}

std::optional<int64_t> SqlJournal::insertSitting(const Sitting& s)
{
    // A second open sitting of the student breaks the unique index: the
    // statement then inserts nothing and returns no row, and the batch goes
    // on (PostgreSQL would abort the whole transaction on the error itself).
    QSqlQuery& q = query("INSERT INTO sittings (student, computer, address, server, state, "
                         "answered, last_right, score, started, last_seen) "
                         "VALUES (?, ?, ?, ?, 'open', 0, 0, 0, ?, ?) "
                         "ON CONFLICT DO NOTHING RETURNING id");
    q.addBindValue(qs(s.student));
    q.addBindValue(qs(s.computer));
    q.addBindValue(qs(s.address));
    q.addBindValue(qs(m_server));
    q.addBindValue(qlonglong(s.started));
    q.addBindValue(qlonglong(s.lastSeen));
    std::optional<int64_t> id;
    if (run(q) && q.next()) {
        id = q.value(0).toLongLong();
    }
    q.finish();
    if (id) {
        appendEvent(qs(m_server), "registration", "sitting", *id, s.started,
                    QJsonObject{{u"student"_s, qs(s.student)},
                                {u"computer"_s, qs(s.computer)},
                                {u"address"_s, qs(s.address)},
                                {u"server"_s, qs(m_server)},
                                {u"state"_s, u"open"_s},
                                {u"answered"_s, 0},
                                {u"last_right"_s, 0},
                                {u"score"_s, 0.0},
                                {u"started"_s, qint64(s.started)},
                                {u"last_seen"_s, qint64(s.lastSeen)}});
    }
    return id;
}

bool SqlJournal::progress(int64_t id, int answered, bool lastRight, double score, int64_t now,
                          const std::string& address)
{
    // The one statement of a progress message (besides its event): the
    // sitting by its key, still open. A sitting closed meanwhile by the
    // examiner or another server matches no row, and the caller applies
    // the rules to what the journal now holds.
    QSqlQuery& q = query("UPDATE sittings SET answered = ?, last_right = ?, score = ?, "
                         "last_seen = ?, address = ? WHERE id = ? AND state = 'open'");
    q.addBindValue(answered);
    q.addBindValue(lastRight ? 1 : 0);
    q.addBindValue(score);
    q.addBindValue(qlonglong(now));
    q.addBindValue(qs(address));
    q.addBindValue(qlonglong(id));
    const bool stored = run(q) && q.numRowsAffected() == 1;
    q.finish();
    if (!stored) {
        return false;
    }
    appendEvent(qs(m_server), "progress", "sitting", id, now,
                QJsonObject{{u"answered"_s, answered},
                            {u"last_right"_s, lastRight ? 1 : 0},
                            {u"score"_s, score},
                            {u"last_seen"_s, qint64(now)},
                            {u"address"_s, qs(address)}});
    return true;
}

void SqlJournal::touch(int64_t id, int64_t now, const std::string& address)
{
    QSqlQuery& q = query("UPDATE sittings SET last_seen = ?, address = ? WHERE id = ?");
    q.addBindValue(qlonglong(now));
    q.addBindValue(qs(address));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
    // A registration (or another message) of the sitting's own computer
    // again, as after a reconnection.
    appendEvent(qs(m_server), "registration", "sitting", id, now,
                QJsonObject{{u"last_seen"_s, qint64(now)}, {u"address"_s, qs(address)}});
}

void SqlJournal::finish(int64_t id, int answered, bool lastRight, int percent,
                        std::optional<double> score, const std::string& grade,
                        const std::string& report, const std::vector<AnswerRow>& rows, int64_t now)
{
    QSqlQuery& q = query("UPDATE sittings SET state = 'finished', answered = ?, last_right = ?, "
                         "percent = ?, score = COALESCE(?, score), grade = ?, finished = ?, "
                         "last_seen = ?, report = ? WHERE id = ? AND state = 'open'");
    q.addBindValue(answered);
    q.addBindValue(lastRight ? 1 : 0);
    q.addBindValue(percent);
    q.addBindValue(score ? QVariant(*score) : QVariant(QMetaType::fromType<double>()));
    q.addBindValue(qs(grade));
    q.addBindValue(qlonglong(now));
    q.addBindValue(qlonglong(now));
    q.addBindValue(bytesOf(report));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
    int seq = 0;
    for (const AnswerRow& r : rows) {
        QSqlQuery& a = query("INSERT INTO answers (sitting, seq, question, points, answer) "
                             "VALUES (?, ?, ?, ?, ?)");
        a.addBindValue(qlonglong(id));
        a.addBindValue(seq++);
        a.addBindValue(r.question);
        a.addBindValue(r.points);
        a.addBindValue(qs(r.answer));
        run(a);
        a.finish();
    }
    QJsonObject set{{u"state"_s, u"finished"_s},
                    {u"answered"_s, answered},
                    {u"last_right"_s, lastRight ? 1 : 0},
                    {u"percent"_s, percent},
                    {u"grade"_s, qs(grade)},
                    {u"finished"_s, qint64(now)},
                    {u"last_seen"_s, qint64(now)},
                    {u"report"_s, chain::digest(bytesOf(report))},
                    {u"answers"_s, chain::answersDigest(rows)}};
    if (score) {
        set.insert(QStringLiteral("score"), *score);
    }
    appendEvent(qs(m_server), "final", "sitting", id, now, set);
}

void SqlJournal::recordClaim(int64_t id, const FinalClaim& c, int64_t now)
{
    QSqlQuery& q = query("UPDATE sittings SET max_score = ?, claimed_percent = ?, "
                         "claimed_grade = ?, claimed_score = ?, verified = ? WHERE id = ?");
    q.addBindValue(c.maxScore < 0 ? QVariant(QMetaType::fromType<int>()) : QVariant(c.maxScore));
    q.addBindValue(c.percent < 0 ? QVariant(QMetaType::fromType<int>()) : QVariant(c.percent));
    q.addBindValue(qs(c.grade));
    q.addBindValue(c.score);
    q.addBindValue(qs(c.verified));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
    appendEvent(qs(m_server), "claim", "sitting", id, now,
                QJsonObject{{u"max_score"_s, c.maxScore < 0 ? QJsonValue() : c.maxScore},
                            {u"claimed_percent"_s, c.percent < 0 ? QJsonValue() : c.percent},
                            {u"claimed_grade"_s, qs(c.grade)},
                            {u"claimed_score"_s, c.score},
                            {u"verified"_s, qs(c.verified)}});
}

void SqlJournal::flag(int64_t id, const std::string& kind, int64_t now)
{
    QSqlQuery& r = query("SELECT flags FROM sittings WHERE id = ?");
    r.addBindValue(qlonglong(id));
    std::string flags;
    if (!run(r)) {
        return;
    }
    if (r.next()) {
        flags = str(r.value(0));
    }
    r.finish();
    // Each kind once.
    if (("," + flags + ",").find("," + kind + ",") != std::string::npos) {
        return;
    }
    flags += (flags.empty() ? "" : ",") + kind;
    QSqlQuery& q = query("UPDATE sittings SET flags = ? WHERE id = ?");
    q.addBindValue(qs(flags));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
    appendEvent(qs(m_server), "flag", "sitting", id, now, QJsonObject{{u"flags"_s, qs(flags)}});
}

std::optional<int64_t> SqlJournal::addIncident(const Incident& i)
{
    QSqlQuery& q = query("INSERT INTO incidents (at, server, kind, student, computer, address, "
                         "detail, bytes) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id");
    q.addBindValue(qlonglong(i.at));
    q.addBindValue(qs(m_server));
    q.addBindValue(qs(i.kind));
    q.addBindValue(qs(i.student));
    q.addBindValue(qs(i.computer));
    q.addBindValue(qs(i.address));
    q.addBindValue(qs(i.detail));
    q.addBindValue(i.bytes.empty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                   : QVariant(bytesOf(i.bytes)));
    std::optional<int64_t> id;
    if (run(q) && q.next()) {
        id = q.value(0).toLongLong();
    }
    q.finish();
    if (id) {
        appendEvent(qs(m_server), "incident", "incident", *id, i.at,
                    QJsonObject{{u"at"_s, qint64(i.at)},
                                {u"server"_s, qs(m_server)},
                                {u"kind"_s, qs(i.kind)},
                                {u"student"_s, qs(i.student)},
                                {u"computer"_s, qs(i.computer)},
                                {u"address"_s, qs(i.address)},
                                {u"detail"_s, qs(i.detail)},
                                {u"bytes"_s, blobValue(bytesOf(i.bytes), i.bytes.empty())},
                                {u"times"_s, 1},
                                {u"last_at"_s, QJsonValue()}});
    }
    return id;
}

void SqlJournal::repeatIncident(int64_t id, int times, int64_t lastAt)
{
    QSqlQuery& q = query("UPDATE incidents SET times = ?, last_at = ? WHERE id = ?");
    q.addBindValue(times);
    q.addBindValue(qlonglong(lastAt));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
    appendEvent(qs(m_server), "repeat", "incident", id, lastAt,
                QJsonObject{{u"times"_s, times}, {u"last_at"_s, qint64(lastAt)}});
}
void SqlJournal::rebind(int64_t id, const std::string& computer, const std::string& address,
                        int64_t now)
{
    QSqlQuery& q =
        query("UPDATE sittings SET computer = ?, address = ?, last_seen = ? WHERE id = ?");
    q.addBindValue(qs(computer));
    q.addBindValue(qs(address));
    q.addBindValue(qlonglong(now));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
    appendEvent(qs(m_server), "registration", "sitting", id, now,
                QJsonObject{{u"computer"_s, qs(computer)},
                            {u"address"_s, qs(address)},
                            {u"last_seen"_s, qint64(now)}});
}

int SqlJournal::incidentCount(const std::string& kind, const std::string& student, int64_t since)
{
    QSqlQuery& q =
        query("SELECT COALESCE(SUM(times), 0) FROM incidents WHERE kind = ? AND student = ? "
              "AND at >= ?");
    q.addBindValue(qs(kind));
    q.addBindValue(qs(student));
    q.addBindValue(qlonglong(since));
    int n = 0;
    if (run(q) && q.next()) {
        n = q.value(0).toInt();
    }
    q.finish();
    return n;
}
} // namespace qd::journal
