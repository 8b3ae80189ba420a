#pragma once

#include <QString>

// Data-link files (".udl"): the init string of a database connection in section "oledb", as
// the Windows data-link editor writes them: UTF-16LE with byte-order mark, CRLF line ends and a
// comment line before the init string.

struct DataLinkSettings
{
    QString provider; // e.g. "SQLOLEDB.1", "MSOLEDBSQL", "SQLite", "PostgreSQL"
    QString server;   // Data Source
    QString database; // Initial Catalog
    QString user;
    QString password;
    bool integratedSecurity = false;
};

// The init string the editor writes for these settings.
QString BuildInitString(const DataLinkSettings &settings);
// The settings an init string names (unknown keys are ignored).
DataLinkSettings DataLinkSettingsOf(const QString &initString);

QByteArray DataLinkFileBytes(const QString &initString);
// Writes the file atomically; false with `error` set when it cannot be written.
bool WriteDataLinkFile(const QString &path, const QString &initString, QString *error = nullptr);
