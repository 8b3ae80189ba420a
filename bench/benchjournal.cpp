#include "benchjournal.h"

#include "demo/pgconninfo.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kLoad = QStringLiteral("bench_load");
const QString kAdmin = QStringLiteral("bench_admin");

void loadInto(QSqlDatabase db, Dialect dialect, const BenchJournals::Loader &load)
{
    if (!db.open())
        qFatal("journal for the benchmark: %s", qPrintable(db.lastError().text()));
    load(db, dialect);
    db.close();
}

} // namespace

BenchJournals::BenchJournals(const QString &name, const Loader &load)
{
    const QString file = m_dir.filePath(name + QStringLiteral(".sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kLoad);
        db.setDatabaseName(file);
        loadInto(db, Dialect::SQLite, load);
    }
    QSqlDatabase::removeDatabase(kLoad);
    m_sqlite = QStringLiteral("Provider=SQLite;Data Source=") + file;

    const QString conninfo = qEnvironmentVariable("VN_TEST_PG").trimmed();
    const std::optional<PgConnInfo> pg =
        conninfo.isEmpty() ? std::nullopt : ParsePgConnInfo(conninfo);
    if (!pg)
        return;
    m_pgDatabase = QStringLiteral("vnbench_%1_%2").arg(name).arg(QCoreApplication::applicationPid());
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kAdmin);
        ApplyPgConnInfo(admin, *pg);
        if (!admin.open() ||
            !QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE ") + m_pgDatabase))
            qFatal("scratch database: %s", qPrintable(admin.lastError().text()));
        PgConnInfo target = *pg;
        target.dbname = m_pgDatabase;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), kLoad);
        ApplyPgConnInfo(db, target);
        loadInto(db, Dialect::PostgreSQL, load);
    }
    QSqlDatabase::removeDatabase(kLoad);
    m_postgres =
        QStringLiteral(
            "Provider=PostgreSQL;Data Source=%1:%2;Initial Catalog=%3;User ID=%4;Password=%5")
            .arg(pg->host, QString::number(pg->port == -1 ? 5432 : pg->port), m_pgDatabase,
                 pg->user, pg->password);
}

BenchJournals::~BenchJournals()
{
    if (m_pgDatabase.isEmpty())
        return;
    {
        QSqlDatabase admin = QSqlDatabase::database(kAdmin);
        QSqlQuery(admin).exec(QStringLiteral("DROP DATABASE IF EXISTS ") + m_pgDatabase +
                              QStringLiteral(" WITH (FORCE)"));
        admin.close();
    }
    QSqlDatabase::removeDatabase(kAdmin);
}

void LoadDemoJournal(QSqlDatabase &db, Dialect dialect)
{
    QString error;
    if (!CreateDemoJournal(db, dialect, &error))
        qFatal("demo journal: %s %s", qPrintable(db.lastError().text()), qPrintable(error));
}
