#include "journal/SqlRows.h"

#include "journal/JournalChain.h"

namespace qd::journal::rows {

namespace {

SittingState stateOf(const QString& s)
{
    if (s == QLatin1String("finished")) {
        return SittingState::Finished;
    }
    if (s == QLatin1String("released")) {
        return SittingState::Released;
    }
    if (s == QLatin1String("stopped")) {
        return SittingState::Stopped;
    }
    return SittingState::Open;
}

} // namespace

const char* const kSittingColumns =
    "id, student, computer, address, server, state, answered, last_right, score, percent, "
    "grade, started, last_seen, finished, report IS NOT NULL, max_score, claimed_percent, "
    "claimed_grade, claimed_score, verified, flags";

Sitting sittingOf(const QSqlQuery& q)
{
    Sitting s;
    s.id = q.value(0).toLongLong();
    s.student = str(q.value(1));
    s.computer = str(q.value(2));
    s.address = str(q.value(3));
    s.server = str(q.value(4));
    s.state = stateOf(q.value(5).toString());
    s.answered = q.value(6).toInt();
    s.lastRight = q.value(7).toInt() != 0;
    s.score = q.value(8).toDouble();
    s.percent = q.value(9).isNull() ? -1 : q.value(9).toInt();
    s.grade = str(q.value(10));
    s.started = q.value(11).toLongLong();
    s.lastSeen = q.value(12).toLongLong();
    s.finished = q.value(13).isNull() ? 0 : q.value(13).toLongLong();
    s.hasReport = q.value(14).toBool();
    s.maxScore = q.value(15).isNull() ? -1 : q.value(15).toInt();
    s.claimedPercent = q.value(16).isNull() ? -1 : q.value(16).toInt();
    s.claimedGrade = str(q.value(17));
    s.claimedScore = q.value(18).toDouble();
    s.verified = str(q.value(19));
    s.flags = str(q.value(20));
    return s;
}

const char* const kIncidentColumns =
    "id, at, server, kind, student, computer, address, detail, bytes, times, last_at";

Incident incidentOf(const QSqlQuery& q)
{
    Incident i;
    i.id = q.value(0).toLongLong();
    i.at = q.value(1).toLongLong();
    i.server = str(q.value(2));
    i.kind = str(q.value(3));
    i.student = str(q.value(4));
    i.computer = str(q.value(5));
    i.address = str(q.value(6));
    i.detail = str(q.value(7));
    const QByteArray b = q.value(8).toByteArray();
    i.bytes.assign(b.constData(), std::size_t(b.size()));
    i.times = q.value(9).isNull() ? 1 : q.value(9).toInt();
    i.lastAt = q.value(10).isNull() ? 0 : q.value(10).toLongLong();
    return i;
}

QJsonValue blobValue(const QByteArray& b, bool isNull)
{
    return isNull ? QJsonValue(QJsonValue::Null) : QJsonValue(chain::digest(b));
}

} // namespace qd::journal::rows
