#include "SqlJournal.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

namespace qd::server {

namespace {

QString qs(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

std::string str(const QVariant& v)
{
    return v.toString().toStdString();
}

SittingState stateOf(const QString& s)
{
    if (s == QLatin1String("finished")) {
        return SittingState::Finished;
    }
    if (s == QLatin1String("released")) {
        return SittingState::Released;
    }
    return SittingState::Open;
}

const char* kSittingColumns =
    "id, student, computer, address, server, state, answered, last_right, score, percent, "
    "grade, started, last_seen, finished, report IS NOT NULL";

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
    return s;
}

QByteArray bytesOf(const std::string& b)
{
    return QByteArray(b.data(), qsizetype(b.size()));
}

} // namespace

SqlJournal::SqlJournal(QString connection, bool postgres, std::string server)
    : m_connection(std::move(connection)),
      m_postgres(postgres),
      m_server(std::move(server))
{
}

SqlJournal::~SqlJournal()
{
    m_queries.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen()) {
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(m_connection);
}

Result<std::unique_ptr<SqlJournal>> SqlJournal::open(const std::string& location,
                                                     const std::string& server)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("journal-%1").arg(counter.fetchAndAddOrdered(1));
    const QString text = qs(location);
    const bool postgres = text.startsWith(QLatin1String("postgresql://")) ||
                          text.startsWith(QLatin1String("postgres://"));
    std::unique_ptr<SqlJournal> j(new SqlJournal(name, postgres, server));
    {
        QSqlDatabase db;
        if (postgres) {
            if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
                return Fault{"the PostgreSQL driver of Qt (QPSQL, package libqt6sql6-psql) is "
                             "not installed"};
            }
            const QUrl url(text);
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(url.host());
            if (url.port() > 0) {
                db.setPort(url.port());
            }
            db.setUserName(url.userName());
            db.setPassword(url.password());
            db.setDatabaseName(url.path().mid(1));
            db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        } else {
            if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
                return Fault{"the SQLite driver of Qt (QSQLITE, package libqt6sql6-sqlite) is "
                             "not installed"};
            }
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(text);
            // Another process (a command, a second look at the journal) may
            // hold the write lock for a moment: wait for it, within bounds.
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
        if (!db.open()) {
            return Fault{"cannot open the journal " + location + ": " +
                         db.lastError().text().toStdString()};
        }
    }
    if (Status s = j->createSchema()) {
        return *s;
    }
    return j;
}

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
                          "report %2)")
               .arg(id, blob)
        // The rule that a student sits once at a time is the journal's own,
        // so it holds for every server writing to it.
        << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS one_open_sitting "
                          "ON sittings (student) WHERE state = 'open'")
        << QStringLiteral("CREATE INDEX IF NOT EXISTS sittings_by_student ON sittings (student)")
        << QStringLiteral(
               "CREATE TABLE IF NOT EXISTS answers ("
               "sitting BIGINT NOT NULL, seq INTEGER NOT NULL, question INTEGER NOT NULL, "
               "points DOUBLE PRECISION NOT NULL, answer TEXT NOT NULL, "
               "PRIMARY KEY (sitting, seq))")
        << QStringLiteral("CREATE TABLE IF NOT EXISTS incidents ("
                          "id %1, at BIGINT NOT NULL, server TEXT NOT NULL, kind TEXT NOT NULL, "
                          "student TEXT NOT NULL, computer TEXT NOT NULL, address TEXT NOT NULL, "
                          "detail TEXT NOT NULL, bytes %2)")
               .arg(id, blob);
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
    return std::nullopt;
}

QSqlQuery& SqlJournal::query(const char* sql)
{
    // After a failure the statements are prepared afresh (outside a batch,
    // whose statements may still be in use): one that could not be
    // prepared, or that went stale, must not stay broken for good.
    if (m_resetQueries && !m_inBatch) {
        m_queries.clear();
        m_resetQueries = false;
    }
    auto it = m_queries.find(sql);
    if (it == m_queries.end()) {
        auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
        if (!q->prepare(QString::fromLatin1(sql))) {
            m_resetQueries = true;
        }
        it = m_queries.emplace(sql, std::move(q)).first;
    }
    it->second->finish();
    return *it->second;
}

bool SqlJournal::run(QSqlQuery& q)
{
    if (q.exec()) {
        return true;
    }
    m_resetQueries = true;
    if (m_inBatch && !m_batchFailed) {
        m_batchFailed = true;
        m_batchError = q.lastError().text();
    }
    return false;
}

Fault SqlJournal::faultOf(const QSqlQuery& q) const
{
    return Fault{"journal: " + q.lastError().text().toStdString()};
}

Status SqlJournal::begin()
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // SQLite: take the write lock at once, so that a batch never fails
    // half-way for want of it.
    if (!q.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        return faultOf(q);
    }
    m_inBatch = true;
    m_batchFailed = false;
    m_batchError.clear();
    return std::nullopt;
}

Status SqlJournal::commit()
{
    if (!m_inBatch) {
        return std::nullopt;
    }
    for (auto& [sql, q] : m_queries) {
        q->finish();
    }
    if (m_batchFailed) {
        const QString error = m_batchError;
        rollback();
        return Fault{"journal: " + error.toStdString()};
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    const bool ok = q.exec(QStringLiteral("COMMIT"));
    if (!ok) {
        const Fault f = faultOf(q);
        rollback();
        return f;
    }
    m_inBatch = false;
    return std::nullopt;
}

void SqlJournal::rollback()
{
    for (auto& [sql, q] : m_queries) {
        q->finish();
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.exec(QStringLiteral("ROLLBACK"));
    m_inBatch = false;
    m_batchFailed = false;
}

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
    QSqlQuery& q = query("SELECT COUNT(*) FROM sittings WHERE student = ? AND state = 'finished'");
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
    return id;
}

void SqlJournal::progress(int64_t id, int answered, bool lastRight, double score, int64_t now,
                          const std::string& address)
{
    QSqlQuery& q = query("UPDATE sittings SET answered = ?, last_right = ?, score = ?, "
                         "last_seen = ?, address = ? WHERE id = ?");
    q.addBindValue(answered);
    q.addBindValue(lastRight ? 1 : 0);
    q.addBindValue(score);
    q.addBindValue(qlonglong(now));
    q.addBindValue(qs(address));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
}

void SqlJournal::touch(int64_t id, int64_t now, const std::string& address)
{
    QSqlQuery& q = query("UPDATE sittings SET last_seen = ?, address = ? WHERE id = ?");
    q.addBindValue(qlonglong(now));
    q.addBindValue(qs(address));
    q.addBindValue(qlonglong(id));
    run(q);
    q.finish();
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
}

void SqlJournal::addIncident(const Incident& i)
{
    QSqlQuery& q = query("INSERT INTO incidents (at, server, kind, student, computer, address, "
                         "detail, bytes) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    q.addBindValue(qlonglong(i.at));
    q.addBindValue(qs(m_server));
    q.addBindValue(qs(i.kind));
    q.addBindValue(qs(i.student));
    q.addBindValue(qs(i.computer));
    q.addBindValue(qs(i.address));
    q.addBindValue(qs(i.detail));
    q.addBindValue(i.bytes.empty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                   : QVariant(bytesOf(i.bytes)));
    run(q);
    q.finish();
}

Result<bool> SqlJournal::release(const std::string& student, int64_t now)
{
    QSqlQuery& q = query("UPDATE sittings SET state = 'released', finished = ? "
                         "WHERE student = ? AND state = 'open'");
    q.addBindValue(qlonglong(now));
    q.addBindValue(qs(student));
    if (!run(q)) {
        return faultOf(q);
    }
    const bool any = q.numRowsAffected() > 0;
    q.finish();
    return any;
}

Result<std::vector<Sitting>> SqlJournal::sittings()
{
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
    QSqlQuery& q = query("SELECT id, at, server, kind, student, computer, address, detail, "
                         "bytes FROM incidents ORDER BY id DESC LIMIT ?");
    q.addBindValue(limit);
    if (!run(q)) {
        return faultOf(q);
    }
    std::vector<Incident> out;
    while (q.next()) {
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
        out.push_back(std::move(i));
    }
    q.finish();
    std::reverse(out.begin(), out.end());
    return out;
}

Result<std::vector<std::string>> SqlJournal::reports(const std::string& student)
{
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

Result<std::vector<AnswerRow>> SqlJournal::answers()
{
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

} // namespace qd::server
