#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

class QSqlDatabase;

// PostgreSQL servers are named the way libpq names them: "host=... port=... user=... dbname=...".
// Values may be single-quoted ('a b', with \' and \\ inside).

struct PgConnInfo
{
    QString host;
    int port = -1; // -1: the driver's default
    QString user;
    QString password;
    QString dbname;
    QStringList options; // every other key, as "key='value'" for the driver's connect options
};

// Nothing, with `error` set, for text that is not a list of key=value pairs, a port that is not
// a number, or a URI.
std::optional<PgConnInfo> ParsePgConnInfo(QStringView conninfo, QString *error = nullptr);

// Puts the connection values on a database object made for the "QPSQL" driver.
void ApplyPgConnInfo(QSqlDatabase &db, const PgConnInfo &info);
