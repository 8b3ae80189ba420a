#pragma once

#include <QList>
#include <QString>
#include <utility>

// The OLE DB init string of a data-link file ("Provider=...;Data Source=...;...") turned into the
// settings of a Qt SQL connection. Pure: no settings, no files, no server.

// The key/value pairs of an init string in their order. Keys are trimmed; values are trimmed
// and unquoted ("..." or '...', a doubled quote standing for one).
using InitStringPairs = QList<std::pair<QString, QString>>;
InitStringPairs ParseInitString(const QString &initString);

// The value of the first pair whose key equals `key` without regard to case; empty when absent.
QString InitStringValue(const InitStringPairs &pairs, const QString &key);

enum class ProviderKind
{
    Unknown,
    SqlServer,
    Sqlite,
    PostgreSql
};
ProviderKind ProviderKindOf(const QString &provider);

// Used for SQL Server when the setting DataProvider/OdbcDriver is not set.
inline const QString kDefaultOdbcDriver = QStringLiteral("ODBC Driver 18 for SQL Server");

struct ConnectionTarget
{
    ProviderKind kind = ProviderKind::Unknown;
    QString driver;       // "QODBC", "QSQLITE" or "QPSQL"
    QString databaseName; // QODBC: a DSN-less ODBC connection string; QSQLITE: the file; QPSQL: the
                          // database
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    QString connectOptions;
};

// Throws DatabaseError "Okänd databasleverantör ..." for a provider it does not know.
// `odbcDriver` names the ODBC driver for SQL Server; empty means kDefaultOdbcDriver.
ConnectionTarget MapInitString(const QString &initString, const QString &odbcDriver = {});
