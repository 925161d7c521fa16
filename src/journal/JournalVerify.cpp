// The journal's check: every chain walked from its start, then its events
// replayed against the tables they wrote.

#include "journal/JournalChain.h"
#include "journal/SqlJournal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlRecord>

#include <map>

namespace qd::journal {

namespace {

struct Expected
{
    QString chain; // of the event that made it
    qint64 event = 0;
    QJsonObject set;
};

std::string text(const QString& s)
{
    return s.toStdString();
}

std::string shown(const QJsonValue& v)
{
    if (v.isNull() || v.isUndefined()) {
        return "empty";
    }
    if (v.isString()) {
        const QString s = v.toString();
        return s.startsWith(QLatin1String("sha256:")) ? "sha256 " + text(s.mid(7, 12)) + "…"
                                                      : "\"" + text(s) + "\"";
    }
    return text(QString::number(v.toDouble(), 'g', 17));
}

bool same(const QJsonValue& want, const QJsonValue& got)
{
    if (want.isNull() || got.isNull()) {
        return want.isNull() && got.isNull();
    }
    if (want.isDouble() || got.isDouble()) {
        // SQLite hands an integral REAL back as an integer, or a number
        // back as text for a column declared otherwise.
        const QJsonValue g = got.isString() ? QJsonValue(got.toString().toDouble()) : got;
        return want.isDouble() && g.isDouble() && want.toDouble() == g.toDouble();
    }
    return want == got;
}

// Compares the rows of `table` with what the events wrote; the first
// difference, or nothing.
std::optional<std::string> compare(const QSqlDatabase& db, const char* table, const char* noun,
                                   std::map<qint64, Expected>& expected,
                                   const std::map<qint64, QString>* answers)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(QLatin1String(table)))) {
        return "cannot read the " + std::string(table) + ": " + text(q.lastError().text());
    }
    const QSqlRecord record = q.record();
    const int idColumn = record.indexOf(QStringLiteral("id"));
    const int who = record.indexOf(QStringLiteral("student"));
    while (q.next()) {
        const qint64 id = q.value(idColumn).toLongLong();
        const std::string name = who >= 0 ? " (" + text(q.value(who).toString()) + ")" : "";
        const auto it = expected.find(id);
        if (it == expected.end()) {
            return std::string(noun) + " " + std::to_string(id) + name +
                   " was written by no event: a row inserted into the " + table;
        }
        const QJsonObject& set = it->second.set;
        for (auto v = set.begin(); v != set.end(); ++v) {
            QJsonValue got;
            if (v.key() == QLatin1String("answers")) {
                const auto a = answers->find(id);
                got = a == answers->end() ? chain::answersDigest({}) : a->second;
            } else {
                const int c = record.indexOf(v.key());
                if (c < 0) {
                    return "the " + std::string(table) + " lost their column " + text(v.key());
                }
                const bool blob =
                    v.key() == QLatin1String("report") || v.key() == QLatin1String("bytes");
                got = chain::valueOf(q.value(c), blob);
            }
            if (!same(v.value(), got)) {
                return std::string(noun) + " " + std::to_string(id) + name + ": " + text(v.key()) +
                       " is " + shown(got) + " in the journal, but " + shown(v.value()) +
                       " by event " + std::to_string(it->second.event) + " of chain " +
                       text(it->second.chain);
            }
        }
        expected.erase(it);
    }
    if (!expected.empty()) {
        const auto& [id, e] = *expected.begin();
        const QString student = e.set.value(QStringLiteral("student")).toString();
        return std::string(noun) + " " + std::to_string(id) +
               (student.isEmpty() ? "" : " (" + text(student) + ")") + " is in chain " +
               text(e.chain) + " but not in the journal: a row deleted from the " + table;
    }
    return std::nullopt;
}

} // namespace

Result<SqlJournal::ChainCheck> SqlJournal::verifyChains()
{
    if (Status f = ready(); !f.ok()) {
        return f.fault();
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    ChainCheck out;
    std::map<qint64, Expected> sittings;
    std::map<qint64, Expected> incidents;
    // Events of one sitting may lie in two chains (a student whose messages
    // reached two servers sharing the journal): they are replayed in the
    // order they were written.
    struct Replay
    {
        qint64 id;
        QString chain;
        qint64 seq;
        QJsonObject body;
    };
    std::vector<Replay> replay;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT id, chain, seq, body, value FROM events "
                                   "ORDER BY chain, seq"))) {
            return faultOf(q);
        }
        QString chainName;
        bool first = true;
        QByteArray previous;
        qint64 seq = 0;
        while (q.next()) {
            const QString c = q.value(1).toString();
            if (first || c != chainName) {
                if (!first) {
                    out.chains.push_back({text(chainName), seq, previous.toStdString()});
                }
                first = false;
                chainName = c;
                previous = chain::genesis();
                seq = 0;
            }
            const qint64 at = q.value(2).toLongLong();
            const QByteArray body = q.value(3).toString().toUtf8();
            const QByteArray value = q.value(4).toString().toLatin1();
            const std::string where = "event " + std::to_string(at) + " of chain " + text(c);
            if (at != seq + 1) {
                out.broken = at > seq + 1
                                 ? "chain " + text(c) + " goes from event " + std::to_string(seq) +
                                       " to event " + std::to_string(at) + ": events deleted"
                                 : where + " comes twice";
                return out;
            }
            if (chain::next(previous, body) != value) {
                const QJsonObject o = QJsonDocument::fromJson(body).object();
                out.broken = where + " (" + text(o.value(QStringLiteral("kind")).toString()) +
                             ") breaks the chain: its value is not SHA-256 of the one before "
                             "and its own bytes";
                return out;
            }
            QJsonParseError error{};
            const QJsonObject o = QJsonDocument::fromJson(body, &error).object();
            if (o.value(QStringLiteral("chain")).toString() != c ||
                o.value(QStringLiteral("seq")).toInteger() != at) {
                out.broken = where + " breaks the chain: it was written as another event";
                return out;
            }
            replay.push_back({q.value(0).toLongLong(), c, at, o});
            previous = value;
            seq = at;
        }
        if (!first) {
            out.chains.push_back({text(chainName), seq, previous.toStdString()});
        }
    }
    std::sort(replay.begin(), replay.end(),
              [](const Replay& a, const Replay& b) { return a.id < b.id; });
    for (const Replay& r : replay) {
        const bool isSitting = r.body.contains(QStringLiteral("sitting"));
        const qint64 subject =
            r.body.value(isSitting ? QStringLiteral("sitting") : QStringLiteral("incident"))
                .toInteger();
        Expected& e = (isSitting ? sittings : incidents)[subject];
        e.chain = r.chain;
        e.event = r.seq;
        const QJsonObject set = r.body.value(QStringLiteral("set")).toObject();
        for (auto v = set.begin(); v != set.end(); ++v) {
            e.set.insert(v.key(), v.value());
        }
    }

    std::map<qint64, QString> answers;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT sitting, question, points, answer FROM answers "
                                   "ORDER BY sitting, seq"))) {
            return faultOf(q);
        }
        std::vector<AnswerRow> rows;
        qint64 current = -1;
        const auto flush = [&] {
            if (current >= 0) {
                answers[current] = chain::answersDigest(rows);
            }
            rows.clear();
        };
        while (q.next()) {
            const qint64 s = q.value(0).toLongLong();
            if (s != current) {
                flush();
                current = s;
            }
            rows.push_back(AnswerRow{s, q.value(1).toInt(), q.value(2).toDouble(),
                                     q.value(3).toString().toStdString()});
        }
        flush();
    }
    for (const auto& [id, digest] : answers) {
        if (sittings.count(id) == 0) {
            out.broken = "answers of sitting " + std::to_string(id) +
                         " were written by no event: rows inserted into the answers";
            return out;
        }
    }
    if (auto d = compare(db, "sittings", "sitting", sittings, &answers)) {
        out.broken = d;
        return out;
    }
    if (auto d = compare(db, "incidents", "incident", incidents, nullptr)) {
        out.broken = d;
    }
    return out;
}

} // namespace qd::journal
