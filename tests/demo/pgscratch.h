#pragma once

#include <QSqlDatabase>
#include <QString>

// A PostgreSQL database of the test's own on the server that VN_TEST_PG names (a libpq conninfo),
// created empty and dropped again at the end, so that runs of other developers never meet.
class PgScratchDatabase
{
public:
    PgScratchDatabase();
    ~PgScratchDatabase();
    PgScratchDatabase(const PgScratchDatabase &) = delete;
    PgScratchDatabase &operator=(const PgScratchDatabase &) = delete;

    // VN_TEST_PG is not set: the PostgreSQL cases are skipped.
    bool skipped() const { return m_server.isEmpty(); }
    // Why the database could not be made although a server was named; empty when ready.
    QString error() const { return m_error; }

    // The conninfo of the scratch database.
    QString conninfo() const;
    // A connection of its own to the scratch database, opened, under `connectionName`.
    QSqlDatabase open(const QString &connectionName) const;

private:
    bool adminExec(const QString &sql, QString *error) const;

    QString m_server;
    QString m_name;
    QString m_error;
};
