#include "dbtestutil.h"

#include "demo/demojournal.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>

namespace dbtest {

namespace {

int nextAdminNumber()
{
    static int number = 0;
    return ++number;
}

QSqlDatabase pgConnection(const QString &name, const PgServer &server, const QString &database)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setUserName(server.user);
    db.setPassword(server.password);
    db.setDatabaseName(database);
    return db;
}

// The DDL differs between the two only in the binary and date types.
QStringList journalSchema(Backend backend)
{
    const QString blob =
        backend == Backend::Postgres ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    const QString date = QStringLiteral("TIMESTAMP");
    return {
        QStringLiteral("CREATE TABLE KUNDER (PERSONNR VARCHAR(15), PATIENTNR INTEGER PRIMARY KEY, "
                       "F_RNAMN VARCHAR(40), EFTERNAMN VARCHAR(40), FODELSEDAG %1, "
                       "BTEXT VARCHAR(255), MALSMAN2 VARCHAR(80))")
            .arg(date),
        QStringLiteral("CREATE TABLE PATREG (PATIENTNR INTEGER, LOPNR INTEGER PRIMARY KEY, "
                       "ORTODONTIST INTEGER)"),
        QStringLiteral("CREATE TABLE PATHALSODEK (LOPNR INTEGER PRIMARY KEY, PATIENTNR INTEGER, "
                       "REGNR INTEGER, DATUM %1, VARDGIVARENR INTEGER, HALSONR INTEGER, "
                       "SIGNERAD CHAR(1), PATDIGISIGN CHAR(1), PATDIGISIGNATUR %2)")
            .arg(date, blob),
        // No key, as the journal system's own table may have none.
        QStringLiteral(
            "CREATE TABLE PATHALSODEKVALUES (PATHALSODEKLOPNR INTEGER, GRUPPLOPNR INTEGER, "
            "VALUELOPNR INTEGER, COL1VALUE VARCHAR(255), COL2VALUE VARCHAR(100))"),
        QStringLiteral(
            "CREATE TABLE HALSOJOURNALER (HALSONR INTEGER PRIMARY KEY, NAMN VARCHAR(60), "
            "AKTIV CHAR(1))"),
        QStringLiteral(
            "CREATE TABLE HALSOGRUPPER (GRUPPLOPNR INTEGER PRIMARY KEY, HALSONR INTEGER, "
            "AKTIV CHAR(1), INDEXNR INTEGER, NAMN VARCHAR(80), ANTALCOL INTEGER, "
            "COL1TEXT VARCHAR(60), COL2TEXT VARCHAR(60), COL1CHECKBOX CHAR(1), "
            "COL1CBOXACTION INTEGER, COL2CBOXACTION INTEGER, GRUPPSYNLIG CHAR(1))"),
        QStringLiteral(
            "CREATE TABLE HALSOVALUES (LOPNR INTEGER PRIMARY KEY, GRUPPLOPNR INTEGER, "
            "INDEXNR INTEGER, OVERSKRIFT VARCHAR(255), ANTALCOL INTEGER, COL1TYP INTEGER, "
            "COL2TYP INTEGER, COL1LOOKUP INTEGER, COL2LOOKUP INTEGER)"),
        QStringLiteral(
            "CREATE TABLE DROPDOWNDATA (LOPNR INTEGER PRIMARY KEY, DATAMASK VARCHAR(40), "
            "DROPDOWNTYP INTEGER, DEFVALUELOPNR INTEGER)"),
        QStringLiteral(
            "CREATE TABLE DROPDOWNVALUES (LOPNR INTEGER PRIMARY KEY, GROUPLOPNR INTEGER, "
            "DROPDOWNTEXT VARCHAR(100), AKTIV CHAR(1))"),
        QStringLiteral("CREATE TABLE FIELDCOUNTERS (TABLENAME VARCHAR(40), FIELDNAME VARCHAR(255), "
                       "COUNTER INTEGER)"),
    };
}

} // namespace

QList<std::pair<QString, QString>> ParseConninfo(const QString &conninfo)
{
    QList<std::pair<QString, QString>> pairs;
    const qsizetype n = conninfo.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && conninfo.at(i).isSpace())
            ++i;
        const qsizetype eq = conninfo.indexOf(u'=', i);
        if (eq < 0)
            break;
        const QString key = conninfo.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && conninfo.at(i).isSpace())
            ++i;
        QString value;
        if (i < n && conninfo.at(i) == u'\'') {
            ++i;
            while (i < n && conninfo.at(i) != u'\'') {
                if (conninfo.at(i) == u'\\' && i + 1 < n)
                    ++i;
                value += conninfo.at(i++);
            }
            ++i;
        } else {
            while (i < n && !conninfo.at(i).isSpace()) {
                if (conninfo.at(i) == u'\\' && i + 1 < n)
                    ++i;
                value += conninfo.at(i++);
            }
        }
        pairs.append({key, value});
    }
    return pairs;
}

std::optional<PgServer> PostgresServer()
{
    const QString conninfo = qEnvironmentVariable("VN_TEST_PG").trimmed();
    if (conninfo.isEmpty())
        return std::nullopt;
    PgServer server;
    server.host = QStringLiteral("127.0.0.1");
    server.user = QStringLiteral("postgres");
    server.dbname = QStringLiteral("postgres");
    for (const auto &[key, value] : ParseConninfo(conninfo)) {
        if (key == u"host" || key == u"hostaddr")
            server.host = value;
        else if (key == u"port")
            server.port = value.toInt();
        else if (key == u"user")
            server.user = value;
        else if (key == u"password")
            server.password = value;
        else if (key == u"dbname")
            server.dbname = value;
    }
    return server;
}

void AddBackendRows(const char *prefix)
{
    QTest::newRow(QByteArray(QByteArray(prefix) + "sqlite").constData()) << Backend::Sqlite;
    QTest::newRow(QByteArray(QByteArray(prefix) + "postgresql").constData()) << Backend::Postgres;
}

QTestData &NewBackendRow(const char *name, Backend backend)
{
    const QByteArray tag =
        QByteArray(name) +
        (backend == Backend::Sqlite ? QByteArray(", sqlite") : QByteArray(", postgresql"));
    return QTest::newRow(tag.constData()) << backend;
}

ScratchDatabase::ScratchDatabase(Backend backend)
    : m_backend(backend), m_adminName(QStringLiteral("dbtest_admin_%1").arg(nextAdminNumber()))
{
    if (backend == Backend::Sqlite) {
        m_dir = std::make_unique<QTemporaryDir>();
        m_file = m_dir->filePath(QStringLiteral("journal.db"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_adminName);
        db.setDatabaseName(m_file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open())
            qFatal("cannot create the SQLite file: %s", qPrintable(db.lastError().text()));
        return;
    }
    m_server = PostgresServer();
    if (!m_server) {
        m_unavailable = QStringLiteral("VN_TEST_PG is not set");
        return;
    }
    // A database per test, so that runs of other developers on the same server never meet.
    m_database = QStringLiteral("vntest_%1_%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(QRandomGenerator::global()->bounded(1000000000));
    const QString creator = m_adminName + QStringLiteral("_create");
    {
        QSqlDatabase db = pgConnection(creator, *m_server, m_server->dbname);
        if (!db.open())
            qFatal("cannot reach the PostgreSQL server of VN_TEST_PG: %s",
                   qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("CREATE DATABASE ") + m_database))
            qFatal("CREATE DATABASE failed: %s", qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(creator);
    QSqlDatabase db = pgConnection(m_adminName, *m_server, m_database);
    if (!db.open())
        qFatal("cannot open the scratch database: %s", qPrintable(db.lastError().text()));
}

ScratchDatabase::~ScratchDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_adminName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_adminName);
    if (m_backend == Backend::Postgres && m_server && !m_database.isEmpty()) {
        const QString dropper = m_adminName + QStringLiteral("_drop");
        {
            QSqlDatabase db = pgConnection(dropper, *m_server, m_server->dbname);
            if (db.open())
                QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS ") + m_database +
                                   QStringLiteral(" WITH (FORCE)"));
        }
        QSqlDatabase::removeDatabase(dropper);
    }
}

QString ScratchDatabase::initString() const
{
    if (m_backend == Backend::Sqlite)
        return QStringLiteral("Provider=SQLite;Data Source=") + m_file;
    QString text =
        QStringLiteral("Provider=PostgreSQL;Data Source=%1:%2;Initial Catalog=%3;User ID=%4")
            .arg(m_server->host)
            .arg(m_server->port)
            .arg(m_database, m_server->user);
    if (!m_server->password.isEmpty())
        text += QStringLiteral(";Password=") + m_server->password;
    return text;
}

QSqlDatabase ScratchDatabase::admin()
{
    return QSqlDatabase::database(m_adminName, false);
}

void ScratchDatabase::exec(const QString &sql)
{
    QSqlQuery q(admin());
    if (!q.exec(sql))
        QTest::qFail(
            qPrintable(
                QStringLiteral("set-up statement failed: %1: %2").arg(sql, q.lastError().text())),
            __FILE__, __LINE__);
}

QVariant ScratchDatabase::scalar(const QString &sql)
{
    QSqlQuery q(admin());
    if (!q.exec(sql) || !q.next()) {
        QTest::qFail(
            qPrintable(
                QStringLiteral("check statement failed: %1: %2").arg(sql, q.lastError().text())),
            __FILE__, __LINE__);
        return {};
    }
    return q.value(0);
}

void ScratchDatabase::createJournalSchema()
{
    for (const QString &statement : journalSchema(m_backend))
        exec(statement);
}

void ScratchDatabase::loadDemoJournal(DemoContent content)
{
    const Dialect dialect = m_backend == Backend::Sqlite ? Dialect::SQLite : Dialect::PostgreSQL;
    for (const QString &statement : SplitSqlStatements(DemoSchemaSql(dialect)))
        exec(statement);
    if (content == DemoContent::SchemaOnly)
        return;
    // One transaction keeps the load quick on SQLite.
    exec(QStringLiteral("BEGIN"));
    for (const QString &statement : SplitSqlStatements(DemoDataSource()))
        exec(statement);
    exec(QStringLiteral("COMMIT"));
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char *name, const QString &value)
    : m_name(name), m_previous(qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray())
{
    qputenv(name, value.toLocal8Bit());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
{
    if (m_previous.isNull())
        qunsetenv(m_name.constData());
    else
        qputenv(m_name.constData(), m_previous);
}

} // namespace dbtest
