// quizdesk_commit_floor: the floor of a reply, measured on the disk the
// server's journal is on. One row committed at a time into a SQLite file in
// WAL mode with full synchronisation (as the journal is), N times; prints
// the p50 and p99 of a commit.
//
//   quizdesk_commit_floor DIR [N]      (default N: 500)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quizdesk_commit_floor DIR [N]\n");
        return 2;
    }
    const int n = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 100000) : 500;
    const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/floor.sqlite");
    QFile::remove(path);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    if (!db.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(db.lastError().text()));
        return 1;
    }
    QSqlQuery setup(db);
    for (const char* sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
                            "CREATE TABLE rows (id INTEGER PRIMARY KEY, at BIGINT, v TEXT)"}) {
        if (!setup.exec(QString::fromLatin1(sql))) {
            std::fprintf(stderr, "%s\n", qPrintable(setup.lastError().text()));
            return 1;
        }
    }
    QSqlQuery begin(db);
    QSqlQuery insert(db);
    QSqlQuery commit(db);
    begin.prepare(QStringLiteral("BEGIN IMMEDIATE"));
    insert.prepare(QStringLiteral("INSERT INTO rows (at, v) VALUES (?, ?)"));
    commit.prepare(QStringLiteral("COMMIT"));
    std::vector<qint64> us;
    QElapsedTimer t;
    for (int i = 0; i < n; ++i) {
        t.start();
        insert.addBindValue(i);
        insert.addBindValue(QStringLiteral("a row of about the size of a progress message"));
        if (!begin.exec() || !insert.exec() || !commit.exec()) {
            std::fprintf(stderr, "%s\n", qPrintable(insert.lastError().text()));
            return 1;
        }
        us.push_back(t.nsecsElapsed() / 1000);
    }
    std::sort(us.begin(), us.end());
    std::printf("raw durable commit of one row: p50 %.3f ms, p99 %.3f ms (%d commits)\n",
                double(us[us.size() / 2]) / 1000.0,
                double(us[std::min(us.size() - 1, us.size() * 99 / 100)]) / 1000.0, n);
    return 0;
}
