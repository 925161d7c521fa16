// The examiner's side of the journal: the commands that close or move a
// sitting, and the readings for the board, the exports and the tool.

#include "journal/SqlJournal.h"

#include "journal/JournalChain.h"
#include "journal/SqlRows.h"

#include <QVariant>

#include <algorithm>

namespace qd::journal {

using namespace Qt::StringLiterals;
using namespace rows;

Result<bool> SqlJournal::release(const std::string& student, int64_t now)
{
    return close(student, "released", "release", now);
}

Result<bool> SqlJournal::stop(const std::string& student, int64_t now)
{
    return close(student, "stopped", "stop", now);
}

Result<std::optional<std::pair<qint64, QString>>>
SqlJournal::openForCommand(const std::string& student)
{
    if (Status f = begin(); !f.ok()) {
        return f.fault();
    }
    QSqlQuery& find = query("SELECT id, server FROM sittings WHERE student = ? AND state = 'open'");
    find.addBindValue(qs(student));
    if (!run(find)) {
        const Fault f = faultOf(find);
        rollback();
        return f;
    }
    std::optional<std::pair<qint64, QString>> open;
    if (find.next()) {
        open = {find.value(0).toLongLong(), find.value(1).toString()};
    }
    find.finish();
    if (!open) {
        rollback();
    }
    return open;
}

Result<bool> SqlJournal::close(const std::string& student, const char* state, const char* event,
                               int64_t now)
{
    auto found = openForCommand(student);
    if (!found.ok()) {
        return found.fault();
    }
    const auto& open = found.value();
    if (!open) {
        return false;
    }
    QSqlQuery& q = query("UPDATE sittings SET state = ?, finished = ? WHERE id = ?");
    q.addBindValue(QString::fromLatin1(state));
    q.addBindValue(qlonglong(now));
    q.addBindValue(open->first);
    run(q);
    q.finish();
    // The release (or stop) goes into the chain of the server that holds
    // the sitting.
    appendEvent(
        open->second, event, "sitting", open->first, now,
        QJsonObject{{u"state"_s, QString::fromLatin1(state)}, {u"finished"_s, qint64(now)}});
    if (Status f = commit(); !f.ok()) {
        return f.fault();
    }
    return true;
}

Result<bool> SqlJournal::move(const std::string& student, int64_t now)
{
    auto found = openForCommand(student);
    if (!found.ok()) {
        return found.fault();
    }
    const auto& open = found.value();
    if (!open) {
        return false;
    }
    // No computer and no address: no computer is the sitting's own, so the
    // next registration of the student takes it, from wherever it comes.
    QSqlQuery& q = query("UPDATE sittings SET computer = '', address = '' WHERE id = ?");
    q.addBindValue(open->first);
    run(q);
    q.finish();
    appendEvent(open->second, "move", "sitting", open->first, now,
                QJsonObject{{u"computer"_s, QString()}, {u"address"_s, QString()}});
    if (Status f = commit(); !f.ok()) {
        return f.fault();
    }
    return true;
}
Result<std::vector<Sitting>> SqlJournal::sittings()
{
    if (Status f = ready(); !f.ok()) {
        return f.fault();
    }
    static const std::string sql =
        std::string("SELECT ") + kSittingColumns + " FROM sittings ORDER BY id";
    QSqlQuery& q = query(sql.c_str());
    q.setForwardOnly(true);
    if (!run(q)) {
        return faultOf(q);
    }
    std::vector<Sitting> out;
    while (q.next()) {
        out.push_back(sittingOf(q));
    }
    q.finish();
    return out;
}

Result<std::vector<Incident>> SqlJournal::incidents(int limit)
{
    if (Status f = ready(); !f.ok()) {
        return f.fault();
    }
    static const std::string sql =
        std::string("SELECT ") + kIncidentColumns + " FROM incidents ORDER BY id DESC LIMIT ?";
    QSqlQuery& q = query(sql.c_str());
    q.addBindValue(limit);
    if (!run(q)) {
        return faultOf(q);
    }
    std::vector<Incident> out;
    while (q.next()) {
        out.push_back(incidentOf(q));
    }
    q.finish();
    std::reverse(out.begin(), out.end());
    return out;
}

Result<std::vector<std::string>> SqlJournal::reports(const std::string& student)
{
    if (Status f = ready(); !f.ok()) {
        return f.fault();
    }
    QSqlQuery& q = query("SELECT report FROM sittings WHERE student = ? AND state = 'finished' "
                         "AND report IS NOT NULL ORDER BY finished, id");
    q.addBindValue(qs(student));
    if (!run(q)) {
        return faultOf(q);
    }
    std::vector<std::string> out;
    while (q.next()) {
        const QByteArray b = q.value(0).toByteArray();
        out.emplace_back(b.constData(), std::size_t(b.size()));
    }
    q.finish();
    return out;
}

Result<std::vector<std::pair<int64_t, std::string>>> SqlJournal::finishedReports()
{
    if (Status f = ready(); !f.ok()) {
        return f.fault();
    }
    QSqlQuery& q = query("SELECT id, report FROM sittings WHERE state = 'finished' "
                         "AND report IS NOT NULL ORDER BY id");
    q.setForwardOnly(true);
    if (!run(q)) {
        return faultOf(q);
    }
    std::vector<std::pair<int64_t, std::string>> out;
    while (q.next()) {
        const QByteArray b = q.value(1).toByteArray();
        out.emplace_back(q.value(0).toLongLong(),
                         std::string(b.constData(), std::size_t(b.size())));
    }
    q.finish();
    return out;
}

Result<std::vector<AnswerRow>> SqlJournal::answers()
{
    if (Status f = ready(); !f.ok()) {
        return f.fault();
    }
    QSqlQuery& q = query("SELECT sitting, question, points, answer FROM answers "
                         "ORDER BY sitting, seq");
    q.setForwardOnly(true);
    if (!run(q)) {
        return faultOf(q);
    }
    std::vector<AnswerRow> out;
    while (q.next()) {
        out.push_back(AnswerRow{q.value(0).toLongLong(), q.value(1).toInt(), q.value(2).toDouble(),
                                str(q.value(3))});
    }
    q.finish();
    return out;
}
} // namespace qd::journal
