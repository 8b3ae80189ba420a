#pragma once

#include "demo/demojournal.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <functional>

// The journals a benchmark measures against: a SQLite file always, and a scratch PostgreSQL
// database when VN_TEST_PG names a server (dropped again when this ends). The loader fills a
// journal through the open connection it is given.
class BenchJournals
{
public:
    using Loader = std::function<void(QSqlDatabase &db, Dialect dialect)>;

    BenchJournals(const QString &name, const Loader &load);
    ~BenchJournals();
    BenchJournals(const BenchJournals &) = delete;
    BenchJournals &operator=(const BenchJournals &) = delete;

    // Init strings for TVNConnection; the PostgreSQL one is empty without a server.
    QString sqliteConnection() const { return m_sqlite; }
    QString postgresConnection() const { return m_postgres; }

private:
    QTemporaryDir m_dir;
    QString m_sqlite;
    QString m_postgres;
    QString m_pgDatabase;
};

// The demo journal as the kiosk's demo creates it.
void LoadDemoJournal(QSqlDatabase &db, Dialect dialect);
