#include "pgscratch.h"

#include "demo/pgconninfo.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace {

int nextNumber()
{
    static int number = 0;
    return ++number;
}

QSqlDatabase connect(const QString &connectionName, const QString &conninfo, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, connectionName);
    const std::optional<PgConnInfo> info = ParsePgConnInfo(conninfo, error);
    if (info) {
        ApplyPgConnInfo(db, *info);
        if (!db.open())
            *error = db.lastError().text();
    }
    return db;
}

} // namespace

PgScratchDatabase::PgScratchDatabase() : m_server(qEnvironmentVariable("VN_TEST_PG").trimmed())
{
    if (m_server.isEmpty())
        return;
    m_name = u"vndemo_%1_%2_%3"_s.arg(QCoreApplication::applicationPid())
                 .arg(nextNumber())
                 .arg(QRandomGenerator::global()->bounded(1000000));
    QString error;
    if (adminExec(u"CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0"_s.arg(m_name), &error))
        return;
    m_error = error;
    m_name.clear();
}

PgScratchDatabase::~PgScratchDatabase()
{
    if (!m_name.isEmpty())
        adminExec(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(m_name), nullptr);
}

QString PgScratchDatabase::conninfo() const
{
    // libpq and ParsePgConnInfo both let the last dbname win.
    return m_server + u" dbname="_s + m_name;
}

QSqlDatabase PgScratchDatabase::open(const QString &connectionName) const
{
    QString error;
    QSqlDatabase db = connect(connectionName, conninfo(), &error);
    if (!error.isEmpty())
        qWarning("cannot open %s: %s", qPrintable(m_name), qPrintable(error));
    return db;
}

bool PgScratchDatabase::adminExec(const QString &sql, QString *error) const
{
    const QString name = u"pgscratch_admin_%1"_s.arg(nextNumber());
    QString message;
    {
        QSqlDatabase db = connect(name, m_server, &message);
        if (message.isEmpty()) {
            QSqlQuery query(db);
            if (!query.exec(sql))
                message = query.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (error)
        *error = message;
    return message.isEmpty();
}
