// The journal's tables: made on a new journal, and brought up to date on
// one that an earlier version wrote.

#include "journal/SqlJournal.h"

#include "journal/JournalChain.h"
#include "journal/SqlRows.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

namespace qd::journal {

using namespace rows;

Status SqlJournal::createSchema()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QStringList sql;
    if (!m_postgres) {
        // Every commit reaches the disk before the server replies.
        sql << QStringLiteral("PRAGMA journal_mode=WAL")
            << QStringLiteral("PRAGMA synchronous=FULL");
    }
    const QString id = m_postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                  : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString blob = m_postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    sql << QStringLiteral("CREATE TABLE IF NOT EXISTS sittings ("
                          "id %1, student TEXT NOT NULL, computer TEXT NOT NULL, "
                          "address TEXT NOT NULL, server TEXT NOT NULL, state TEXT NOT NULL, "
                          "answered INTEGER NOT NULL DEFAULT 0, "
                          "last_right INTEGER NOT NULL DEFAULT 0, "
                          "score DOUBLE PRECISION NOT NULL DEFAULT 0, percent INTEGER, grade TEXT, "
                          "started BIGINT NOT NULL, last_seen BIGINT NOT NULL, finished BIGINT, "
                          "report %2, max_score INTEGER, claimed_percent INTEGER, "
                          "claimed_grade TEXT, claimed_score DOUBLE PRECISION, verified TEXT, "
                          "flags TEXT)")
               .arg(id, blob)
        // The rule that a student sits once at a time is the journal's own,
        // so it holds for every server writing to it.
        << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS one_open_sitting "
                          "ON sittings (student) WHERE state = 'open'")
        << QStringLiteral("CREATE INDEX IF NOT EXISTS sittings_by_student ON sittings (student)")
        // A registration asks whether the computer holds another open
        // sitting: answered from this index alone, however many sittings
        // are open (a restart mid-exam, labs sharing a journal).
        << QStringLiteral("CREATE INDEX IF NOT EXISTS open_by_computer "
                          "ON sittings (computer, address) WHERE state = 'open'")
        << QStringLiteral(
               "CREATE TABLE IF NOT EXISTS answers ("
               "sitting BIGINT NOT NULL, seq INTEGER NOT NULL, question INTEGER NOT NULL, "
               "points DOUBLE PRECISION NOT NULL, answer TEXT NOT NULL, "
               "PRIMARY KEY (sitting, seq))")
        << QStringLiteral("CREATE TABLE IF NOT EXISTS incidents ("
                          "id %1, at BIGINT NOT NULL, server TEXT NOT NULL, kind TEXT NOT NULL, "
                          "student TEXT NOT NULL, computer TEXT NOT NULL, address TEXT NOT NULL, "
                          "detail TEXT NOT NULL, bytes %2, times INTEGER NOT NULL DEFAULT 1, "
                          "last_at BIGINT)")
               .arg(id, blob)
        // A resumed sitting counts its earlier resumptions.
        << QStringLiteral("CREATE INDEX IF NOT EXISTS incidents_by_student "
                          "ON incidents (student, kind, at)");
    // Whether the journal was written before the chains: its rows are then
    // given events once (adoptOldRows).
    const bool hadEvents = QSqlQuery(db).exec(QStringLiteral("SELECT 1 FROM events LIMIT 1"));
    sql << QStringLiteral("CREATE TABLE IF NOT EXISTS events ("
                          "id %1, chain TEXT NOT NULL, seq BIGINT NOT NULL, kind TEXT NOT NULL, "
                          "body TEXT NOT NULL, value TEXT NOT NULL, UNIQUE (chain, seq))")
               .arg(id);
    for (const QString& s : sql) {
        QSqlQuery q(db);
        if (!q.exec(s)) {
            // Two servers creating the schema at once: the loser's
            // statement may fail although the object now exists.
            if (m_postgres && q.exec(s)) {
                continue;
            }
            return Fault{"cannot prepare the journal: " + q.lastError().text().toStdString()};
        }
        if (!m_postgres && s.startsWith(QLatin1String("PRAGMA journal_mode")) && q.next() &&
            q.value(0).toString().toLower() != QLatin1String("wal")) {
            return Fault{"the journal cannot be put in WAL mode (got " +
                         q.value(0).toString().toStdString() + ")"};
        }
    }
    if (Status f = addMissingColumns(); !f.ok()) {
        return f;
    }
    if (!hadEvents) {
        return adoptOldRows();
    }
    return {};
}

Status SqlJournal::addMissingColumns()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    struct Column
    {
        const char* table;
        const char* name;
        const char* type;
    };
    const Column added[] = {
        {"sittings", "max_score", "INTEGER"},
        {"sittings", "claimed_percent", "INTEGER"},
        {"sittings", "claimed_grade", "TEXT"},
        {"sittings", "claimed_score", "DOUBLE PRECISION"},
        {"sittings", "verified", "TEXT"},
        {"sittings", "flags", "TEXT"},
        {"incidents", "times", "INTEGER NOT NULL DEFAULT 1"},
        {"incidents", "last_at", "BIGINT"},
    };
    for (const Column& c : added) {
        const QString table = QLatin1String(c.table);
        if (db.record(table).indexOf(QLatin1String(c.name)) >= 0) {
            continue;
        }
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                        .arg(table, QLatin1String(c.name), QLatin1String(c.type)))) {
            // Another server sharing the journal may have added it meanwhile.
            if (db.record(table).indexOf(QLatin1String(c.name)) >= 0) {
                continue;
            }
            return Fault{"cannot prepare the journal: " + q.lastError().text().toStdString()};
        }
    }
    return {};
}

Status SqlJournal::adoptOldRows()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (Status f = begin(); !f.ok()) {
        return f;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool ok = q.exec(QStringLiteral(
        "SELECT id, student, computer, address, server, state, answered, last_right, score, "
        "percent, grade, started, last_seen, finished, report FROM sittings ORDER BY id"));
    struct Row
    {
        QString chain;
        qint64 id;
        qint64 at;
        QJsonObject set;
    };
    std::vector<Row> rows;
    while (ok && q.next()) {
        QJsonObject set;
        const char* names[] = {"student",  "computer",   "address", "server",  "state",
                               "answered", "last_right", "score",   "percent", "grade",
                               "started",  "last_seen",  "finished"};
        for (int c = 0; c < 13; ++c) {
            set.insert(QLatin1String(names[c]), chain::valueOf(q.value(c + 1)));
        }
        set.insert(QStringLiteral("report"),
                   blobValue(q.value(14).toByteArray(), q.value(14).isNull()));
        rows.push_back(
            Row{q.value(4).toString(), q.value(0).toLongLong(), q.value(12).toLongLong(), set});
    }
    for (Row& r : rows) {
        QSqlQuery a(db);
        a.prepare(QStringLiteral("SELECT question, points, answer FROM answers WHERE sitting = ? "
                                 "ORDER BY seq"));
        a.addBindValue(r.id);
        std::vector<AnswerRow> answers;
        ok = ok && a.exec();
        while (ok && a.next()) {
            answers.push_back(
                AnswerRow{r.id, a.value(0).toInt(), a.value(1).toDouble(), str(a.value(2))});
        }
        r.set.insert(QStringLiteral("answers"), chain::answersDigest(answers));
        appendEvent(r.chain, "adopt", "sitting", r.id, r.at, r.set);
    }
    QSqlQuery i(db);
    i.setForwardOnly(true);
    ok = ok && i.exec(QStringLiteral("SELECT id, at, server, kind, student, computer, address, "
                                     "detail, bytes FROM incidents ORDER BY id"));
    std::vector<Row> incidents;
    while (ok && i.next()) {
        QJsonObject set;
        const char* names[] = {"at", "server", "kind", "student", "computer", "address", "detail"};
        for (int c = 0; c < 7; ++c) {
            set.insert(QLatin1String(names[c]), chain::valueOf(i.value(c + 1)));
        }
        set.insert(QStringLiteral("bytes"),
                   blobValue(i.value(8).toByteArray(), i.value(8).isNull()));
        incidents.push_back(
            Row{i.value(2).toString(), i.value(0).toLongLong(), i.value(1).toLongLong(), set});
    }
    for (const Row& r : incidents) {
        appendEvent(r.chain, "adopt", "incident", r.id, r.at, r.set);
    }
    if (!ok) {
        rollback();
        return Fault{"cannot give the journal its chains: " + q.lastError().text().toStdString()};
    }
    if (Status f = commit(); !f.ok()) {
        // Another server sharing the journal did it at the same moment.
        QSqlQuery n(db);
        if (n.exec(QStringLiteral("SELECT COUNT(*) FROM events")) && n.next() &&
            n.value(0).toLongLong() > 0) {
            return {};
        }
        return Fault{"cannot give the journal its chains: " + f.fault().message};
    }
    return {};
}
} // namespace qd::journal
