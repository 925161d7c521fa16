#include "journal/SqlJournal.h"

#include "journal/JournalChain.h"

#include <QAtomicInt>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

#include <sys/stat.h>
#include <unistd.h>

namespace qd::journal {

using namespace Qt::StringLiterals;

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
    if (s == QLatin1String("stopped")) {
        return SittingState::Stopped;
    }
    return SittingState::Open;
}

const char* kSittingColumns =
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

QByteArray bytesOf(const std::string& b)
{
    return QByteArray(b.data(), qsizetype(b.size()));
}

// A blob as the chain records it: its digest, or null.
QJsonValue blobValue(const QByteArray& b, bool isNull)
{
    return isNull ? QJsonValue(QJsonValue::Null) : QJsonValue(chain::digest(b));
}

// Reconnection: the first attempt soon, then less often, never more than a
// few seconds apart.
constexpr int kFirstRetryMs = 250;
constexpr int kLongestRetryMs = 8000;

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
            // A server that does not answer holds the one thread no longer
            // than libpq's shortest connect timeout; a connection that dies
            // quietly is noticed by its keepalives.
            db.setConnectOptions(QStringLiteral(
                "connect_timeout=2;keepalives_idle=5;keepalives_interval=2;keepalives_count=2"));
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
    if (Status s = j->createSchema(); !s.ok()) {
        return s.fault();
    }
    if (!postgres) {
        struct stat st
        {};
        if (::stat(text.toLocal8Bit().constData(), &st) == 0) {
            j->m_file = text;
            j->m_fileDevice = uint64_t(st.st_dev);
            j->m_fileInode = uint64_t(st.st_ino);
        }
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
                          "report %2, max_score INTEGER, claimed_percent INTEGER, "
                          "claimed_grade TEXT, claimed_score DOUBLE PRECISION, verified TEXT, "
                          "flags TEXT)")
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
    const QSqlRecord columns = db.record(QStringLiteral("sittings"));
    const std::pair<const char*, const char*> added[] = {
        {"max_score", "INTEGER"},  {"claimed_percent", "INTEGER"},
        {"claimed_grade", "TEXT"}, {"claimed_score", "DOUBLE PRECISION"},
        {"verified", "TEXT"},      {"flags", "TEXT"},
    };
    for (const auto& [name, type] : added) {
        if (columns.indexOf(QLatin1String(name)) >= 0) {
            continue;
        }
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("ALTER TABLE sittings ADD COLUMN %1 %2")
                        .arg(QLatin1String(name), QLatin1String(type)))) {
            // Another server sharing the journal may have added it meanwhile.
            if (db.record(QStringLiteral("sittings")).indexOf(QLatin1String(name)) >= 0) {
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
    } else if (!m_inBatch) {
        alive();
    }
    return false;
}

Fault SqlJournal::faultOf(const QSqlQuery& q) const
{
    return Fault{"journal: " + q.lastError().text().toStdString()};
}

Status SqlJournal::limitWaits(int ms)
{
    m_waitMs = ms;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // SQLite: the write lock is taken at the batch's begin, which the server
    // simply tries again. PostgreSQL: a row lock is held by another server's
    // batch for a moment (the same student registering in two labs), which
    // is waited for, within the bound; a statement is never let run on.
    const QStringList sql =
        m_postgres
            ? QStringList{QStringLiteral("SET lock_timeout = %1").arg(std::max(ms, 1000)),
                          QStringLiteral("SET statement_timeout = %1").arg(std::max(ms, 2000))}
            : QStringList{QStringLiteral("PRAGMA busy_timeout = %1").arg(ms)};
    for (const QString& s : sql) {
        if (!q.exec(s)) {
            return faultOf(q);
        }
    }
    return {};
}

JournalHealth SqlJournal::fileHealth() const
{
    if (m_file.isEmpty()) {
        return {};
    }
    const QByteArray path = m_file.toLocal8Bit();
    const std::string name = m_file.toStdString();
    struct stat st
    {};
    if (::stat(path.constData(), &st) != 0) {
        return {JournalHealth::State::Lost, "the journal file " + name + " is gone"};
    }
    if (uint64_t(st.st_dev) != m_fileDevice || uint64_t(st.st_ino) != m_fileInode) {
        return {JournalHealth::State::Lost,
                "the journal file " + name + " was replaced by another file"};
    }
    // Root may write whatever its mode says: a file without any write bit
    // was made read-only on purpose all the same.
    if (::access(path.constData(), W_OK) != 0 || (st.st_mode & 0222) == 0) {
        return {JournalHealth::State::Lost, "the journal file " + name + " cannot be written"};
    }
    return {};
}

JournalHealth SqlJournal::watch()
{
    if (m_inBatch) {
        return m_health;
    }
    if (!m_file.isEmpty()) {
        // Writes to a file deleted or replaced under the server would go
        // nowhere the examiner can find: none is made, nor acknowledged.
        m_health = fileHealth();
    } else if (m_postgres) {
        if (m_health.state == JournalHealth::State::Ready) {
            alive();
        } else {
            (void)ready();
        }
    }
    return m_health;
}

bool SqlJournal::alive()
{
    if (!m_postgres) {
        return true;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (q.exec(QStringLiteral("SELECT 1"))) {
        return true;
    }
    lostConnection(q.lastError().text());
    return false;
}

void SqlJournal::lostConnection(const QString& why)
{
    // The statements are made again on the new connection (reopen); a
    // caller may still hold one now.
    m_resetQueries = true;
    m_heads.clear();
    m_inBatch = false;
    m_batchFailed = false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    m_backoffMs = kFirstRetryMs;
    m_retryAt = m_clock->ticks() + uint32_t(m_backoffMs);
    m_health = {JournalHealth::State::Reconnecting, "the journal's database does not answer (" +
                                                        why.simplified().toStdString() +
                                                        "): connecting again"};
}

Status SqlJournal::reopen()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    m_queries.clear();
    db.close();
    if (!db.open()) {
        return Fault{db.lastError().text().simplified().toStdString()};
    }
    if (m_waitMs >= 0) {
        if (Status f = limitWaits(m_waitMs); !f.ok()) {
            return f;
        }
    }
    return {};
}

Status SqlJournal::ready()
{
    switch (m_health.state) {
    case JournalHealth::State::Ready:
        return {};
    case JournalHealth::State::Lost:
        return Fault{m_health.detail};
    case JournalHealth::State::Reconnecting:
        break;
    }
    if (int32_t(m_clock->ticks() - m_retryAt) < 0) {
        return Fault{m_health.detail};
    }
    if (Status f = reopen(); !f.ok()) {
        m_backoffMs = std::min(m_backoffMs * 2, kLongestRetryMs);
        m_retryAt = m_clock->ticks() + uint32_t(m_backoffMs);
        m_health.detail = "the journal's database does not answer (" + f.fault().message +
                          "): connecting again in " +
                          QString::number(m_backoffMs / 1000.0).toStdString() + " s";
        return Fault{m_health.detail};
    }
    m_health = {};
    return {};
}

Status SqlJournal::begin()
{
    if (m_health.state == JournalHealth::State::Lost) {
        return Fault{m_health.detail};
    }
    if (Status f = ready(); !f.ok()) {
        return f;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // SQLite: take the write lock at once, so that a batch never fails
    // half-way for want of it.
    if (!q.exec(m_postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        const Fault f = faultOf(q);
        alive();
        return f;
    }
    m_inBatch = true;
    m_batchFailed = false;
    m_batchError.clear();
    m_heads.clear();
    return {};
}

Status SqlJournal::commit()
{
    if (!m_inBatch) {
        return {};
    }
    for (auto& [sql, q] : m_queries) {
        q->finish();
    }
    if (m_batchFailed) {
        const QString error = m_batchError;
        rollback();
        alive();
        return Fault{"journal: " + error.toStdString()};
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    const bool ok = q.exec(QStringLiteral("COMMIT"));
    if (!ok) {
        const Fault f = faultOf(q);
        rollback();
        alive();
        return f;
    }
    m_inBatch = false;
    m_heads.clear();
    return {};
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
    m_heads.clear();
}

void SqlJournal::appendEvent(const QString& chainName, const char* kind, const char* subject,
                             int64_t id, int64_t at, const QJsonObject& set)
{
    auto head = m_heads.find(chainName);
    if (head == m_heads.end()) {
        QSqlQuery& h = query("SELECT seq, value FROM events WHERE chain = ? "
                             "ORDER BY seq DESC LIMIT 1");
        h.addBindValue(chainName);
        std::pair<qint64, QByteArray> last{0, chain::genesis()};
        if (!run(h)) {
            return;
        }
        if (h.next()) {
            last = {h.value(0).toLongLong(), h.value(1).toString().toLatin1()};
        }
        h.finish();
        head = m_heads.emplace(chainName, last).first;
    }
    const qint64 seq = head->second.first + 1;
    const QByteArray body = chain::body(chainName, seq, kind, subject, id, at, set);
    const QByteArray value = chain::next(head->second.second, body);
    QSqlQuery& q =
        query("INSERT INTO events (chain, seq, kind, body, value) VALUES (?, ?, ?, ?, ?)");
    q.addBindValue(chainName);
    q.addBindValue(seq);
    q.addBindValue(QString::fromLatin1(kind));
    q.addBindValue(QString::fromUtf8(body));
    q.addBindValue(QString::fromLatin1(value));
    if (run(q)) {
        head->second = {seq, value};
    }
    q.finish();
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
    appendEvent(qs(m_server), "progress", "sitting", id, now,
                QJsonObject{{u"answered"_s, answered},
                            {u"last_right"_s, lastRight ? 1 : 0},
                            {u"score"_s, score},
                            {u"last_seen"_s, qint64(now)},
                            {u"address"_s, qs(address)}});
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

void SqlJournal::addIncident(const Incident& i)
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
    std::optional<qint64> id;
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
                                {u"bytes"_s, blobValue(bytesOf(i.bytes), i.bytes.empty())}});
    }
}

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
        query("SELECT COUNT(*) FROM incidents WHERE kind = ? AND student = ? AND at >= ?");
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
