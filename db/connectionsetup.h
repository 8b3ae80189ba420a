#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class TextCipher;

// Where the database connection comes from: the data-link file chosen in the settings, its init
// string, and the login stored enciphered in VENNICUSER when the file carries none.

struct TDBConnection
{
    QString Databasename;
    QString ServerName;
    QString Username;
    QString Password;
    QString SQLProcessID;
};

// Process-wide values of the connection set-up; they live for the whole run.
struct ToolkitGlobals
{
    QString StartFolder;      // with a trailing separator
    QString DataLinksFolder;  // with a trailing separator
    QString DataProviderFile; // a full path, or a bare name looked up in DataLinksFolder
    QString ConnectionString;
    QString SuiteFolder;      // with a trailing separator; empty when it cannot be made
    TDBConnection DbConnection;
    bool NoLogin = false;     // "NOLOGIN=1" on the command line
};
ToolkitGlobals &Toolkit();

// The login used when VENNICUSER cannot be read.
inline const QString kFallbackUser = QStringLiteral("kalvin");
inline const QString kFallbackPassword = QStringLiteral("pilk");

// Fills the globals from the current folder, the settings and the command line. Throws
// std::runtime_error "Unable to get Current path" when the current folder cannot be read.
bool ResolveStartupPaths(const QStringList &arguments);

// The data-link folder below a common-files folder, with a trailing separator.
QString DataLinksFolderUnder(const QString &commonFiles);

// The connection string of the data-link file named by the settings ("Provider=" + its init
// string), or empty when there is no such file. Also sets DataProviderFile.
void LoadDefaultDataProvider();

QString GetConnectionValue(const QString &text, const QString &key, const QString &terminator);
// Edits Toolkit().ConnectionString in place: replaces the value of `key`, or appends
// ";" + key + value when the key is absent and the value is not empty.
void SetConnectionValue(const QString &key, const QString &value);

// Files matching `mask` in `folder` and all its subfolders, as full paths.
QStringList FindFiles(const QString &folder, const QString &mask);

// The cipher of the stored credentials (owned by the main window).
void SetCredentialCipher(const TextCipher *cipher);
const TextCipher *CredentialCipher();

// Makes sure a data-link file is chosen, fills DbConnection and rewrites ConnectionString.
bool PrepareConnection(const QString &user, const QString &password);

// The message for a connection that could not be made: the server, database and user of
// DbConnection, an empty line and the failure's own text.
QString ConnectionFailureText(const QString &failure);

// Shows the data-provider dialog; the chosen bare file name, or the current one when cancelled.
QString ChooseDataProvider(const QString &valueName);

// Reads and deciphers the first VENNICUSER row through a short-lived connection; nothing when
// the table cannot be read or deciphered.
struct StoredLogin
{
    QString user;
    QString password;
};
std::optional<StoredLogin> ReadStoredLogin(const QString &provider, const QString &user,
                                           const QString &password);
