#include "journal/SqlJournal.h"

#include "journal/JournalChain.h"
#include "journal/SqlRows.h"

#include <QAtomicInt>
#include <QJsonDocument>
#include <QSqlError>
#include <QUrl>
#include <QVariant>

#include <sys/stat.h>
#include <unistd.h>

namespace qd::journal {

using namespace rows;

namespace {

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
    m_control.reset();
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
    m_control.reset();
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
    // SQLite: take the write lock at once, so that a batch never fails
    // half-way for want of it.
    if (Status f = control(m_postgres ? "BEGIN" : "BEGIN IMMEDIATE"); !f.ok()) {
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
    if (Status f = control("COMMIT"); !f.ok()) {
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
    (void)control("ROLLBACK");
    m_inBatch = false;
    m_batchFailed = false;
    m_heads.clear();
}

Status SqlJournal::control(const char* sql)
{
    if (m_postgres) {
        // PostgreSQL prepares no transaction statement: sent as text, on a
        // query object kept for it.
        if (!m_control) {
            m_control = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
        }
        if (!m_control->exec(QString::fromLatin1(sql))) {
            return faultOf(*m_control);
        }
        return {};
    }
    // Prepared once, like every statement of a batch: a batch of one
    // message costs no parsing of its BEGIN and COMMIT.
    QSqlQuery& q = query(sql);
    if (!q.exec()) {
        return faultOf(q);
    }
    q.finish();
    return {};
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
} // namespace qd::journal
