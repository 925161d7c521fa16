#include "journal/SqlJournal.h"

#include <QSqlQuery>
#include <QVariant>

namespace qd::journal {

// SQLite counts, per connection, the commits of every other connection to
// the file; asking costs no read of a table. PostgreSQL has nothing as
// cheap that covers every writer, so its readers look again on a timer.
std::optional<int64_t> SqlJournal::changeMark()
{
    if (m_postgres) {
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next()) {
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

} // namespace qd::journal
