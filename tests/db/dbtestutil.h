#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

class QTestData;

#include <memory>
#include <optional>

// Scratch journal databases for the database tests: a SQLite file always, and a PostgreSQL
// database when VN_TEST_PG holds a libpq conninfo ("host=... port=... user=... dbname=...").
// Also what the fixtures around them share: the demo journal and isolated environment variables.

namespace dbtest {

enum class Backend
{
    Sqlite,
    Postgres
};

struct PgServer
{
    QString host;
    int port = 5432;
    QString user;
    QString password;
    QString dbname;
};
// The server named by VN_TEST_PG, if any.
std::optional<PgServer> PostgresServer();
// Key/value pairs of a libpq conninfo; values may be single-quoted.
QList<std::pair<QString, QString>> ParseConninfo(const QString &conninfo);

// Adds the column "backend" with one row per backend; the rows' names end in the backend.
void AddBackendRows(const char *prefix = "");
// Starts a data row named after the case and the backend, with the backend as first column.
QTestData &NewBackendRow(const char *name, Backend backend);

// What of the demo journal a scratch database gets.
enum class DemoContent
{
    SchemaOnly, // for a small questionnaire of the test's own
    WithData
};

// A database of its own for one test: created empty, dropped at the end.
class ScratchDatabase
{
public:
    explicit ScratchDatabase(Backend backend);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase &) = delete;
    ScratchDatabase &operator=(const ScratchDatabase &) = delete;

    Backend backend() const { return m_backend; }
    // Why it could not be made (no VN_TEST_PG for PostgreSQL); empty when ready.
    QString unavailable() const { return m_unavailable; }
    // The init string the program's connections open it with.
    QString initString() const;
    QString sqliteFile() const { return m_file; }

    // On a connection of the test's own, apart from the program's: set-up and checks.
    void exec(const QString &sql);
    QVariant scalar(const QString &sql);
    // The tables of the journal with the columns the program uses.
    void createJournalSchema();
    // The demo journal's tables, as the demo creates them, and with WithData its contents.
    void loadDemoJournal(DemoContent content = DemoContent::WithData);

private:
    QSqlDatabase admin();

    Backend m_backend;
    QString m_unavailable;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    std::optional<PgServer> m_server;
    QString m_database;
    QString m_adminName;
};

// Sets an environment variable while it lives, then restores it (or unsets it again).
class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(const char *name, const QString &value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
    ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

private:
    QByteArray m_name;
    QByteArray m_previous; // null when it was unset
};

} // namespace dbtest

Q_DECLARE_METATYPE(dbtest::Backend)

// Opens a scratch database for the row's backend, or skips the row.
#define DBTEST_SCRATCH(name, backend)                                                              \
    dbtest::ScratchDatabase name(backend);                                                         \
    if (!name.unavailable().isEmpty())                                                             \
        QSKIP(qPrintable(name.unavailable()));
