#include "db/connectionsetup.h"

#include "db/udataproviders.h"
#include "platform/folders.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <stdexcept>

namespace {

const QString kSemicolon = QStringLiteral(";");

const TextCipher *g_credentialCipher = nullptr;

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(QDir::separator()) ? folder : folder + QDir::separator();
}

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool fileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}


QString connectionStringOf(const QString &dataLinkFile)
{
    return QStringLiteral("Provider=")
           + ReadIniValue(dataLinkFile, QStringLiteral("oledb"), QStringLiteral("Provider"));
}

// A data-link file named on the command line: as written, then in the start folder, then in
// the data-link folder.
void applyCommandLine(const QStringList &arguments)
{
    ToolkitGlobals &g = Toolkit();
    for (const QString &argument : arguments) {
        const QString upper = argument.toUpper();
        if (upper.contains(QStringLiteral("NOLOGIN=1")))
            g.NoLogin = true;
        if (!upper.contains(QStringLiteral(".UDL")))
            continue;
        const QStringList candidates{argument, g.StartFolder + argument,
                                     g.DataLinksFolder + argument};
        for (const QString &candidate : candidates) {
            if (fileExists(candidate)) {
                g.DataProviderFile = candidate;
                g.ConnectionString = connectionStringOf(candidate);
                break;
            }
        }
    }
}

void makeSuiteFolder()
{
    ToolkitGlobals &g = Toolkit();
    const QString appData = vn::platform::ApplicationDataFolder();
    const QString base = appData.isEmpty() ? QString(QDir::separator()) : withTrailingSeparator(appData);
    const QString suite = base + nativePath(QStringLiteral("Vennic/Vennic Suite/"));
    g.SuiteFolder = QDir().mkpath(suite) ? suite : QString();
}

bool isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

bool usesIntegratedSecurity()
{
    return Toolkit().ConnectionString.toUpper().contains(QStringLiteral("INTEGRATED SECURITY=SSPI"));
}

// Steps 2 to 5 of the preparation: find a data-link file and read its init string.
void chooseDataLinkFile()
{
    ToolkitGlobals &g = Toolkit();
    if (!fileExists(g.DataProviderFile) && fileExists(g.DataLinksFolder + g.DataProviderFile))
        g.DataProviderFile = g.DataLinksFolder + g.DataProviderFile;
    if (!fileExists(g.DataProviderFile)) {
        const QStringList found = FindFiles(g.DataLinksFolder, QStringLiteral("*.udl"));
        if (found.size() == 1) {
            g.DataProviderFile = found.first();
            WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"),
                         g.DataProviderFile);
        }
    }
    if (!fileExists(g.DataProviderFile)) {
        ShowNotice(QStringLiteral("Kunde inte hitta den angivna DataProvider-filen \"")
                   + g.DataProviderFile
                   + QStringLiteral("\"!\rKontrollera att filen finns i den aktuella katalogen och "
                                    "försök igen!\r\rVälj databasanslutning i nästa dialog"));
        g.DataProviderFile =
            g.DataLinksFolder + ChooseDataProvider(QStringLiteral("DefaultDataProvider"));
    }
    g.ConnectionString = connectionStringOf(g.DataProviderFile);
}

void readLoginFromDatabase(const QString &user, const QString &password)
{
    TDBConnection &db = Toolkit().DbConnection;
    const QString provider =
        GetConnectionValue(Toolkit().ConnectionString, QStringLiteral("Provider="), kSemicolon);
    if (const std::optional<StoredLogin> login = ReadStoredLogin(provider, user, password)) {
        db.Username = login->user;
        db.Password = login->password;
    } else {
        db.Username = kFallbackUser;
        db.Password = kFallbackPassword;
    }
}

} // namespace

QString DataLinksFolderUnder(const QString &commonFiles)
{
    return withTrailingSeparator(commonFiles) +
           nativePath(QStringLiteral("System/Ole DB/Data Links/"));
}

ToolkitGlobals &Toolkit()
{
    static ToolkitGlobals globals;
    return globals;
}

bool ResolveStartupPaths(const QStringList &arguments)
{
    ToolkitGlobals &g = Toolkit();
    const QString current = vn::platform::CurrentFolder();
    if (current.isEmpty())
        throw std::runtime_error("Unable to get Current path");
    g.StartFolder = withTrailingSeparator(current);
    SetInstallationKey(InstallationKeyFromFolder(g.StartFolder));
    g.DataLinksFolder = DataLinksFolderUnder(vn::platform::CommonFilesFolder());
    LoadDefaultDataProvider();
    applyCommandLine(arguments);
    makeSuiteFolder();
    return true;
}

void LoadDefaultDataProvider()
{
    ToolkitGlobals &g = Toolkit();
    g.ConnectionString.clear();
    const QString setting = ReadSetting(QStringLiteral("DataProvider"),
                                        QStringLiteral("DefaultDataProvider"));
    g.DataProviderFile = fileExists(setting) ? setting : g.DataLinksFolder + setting;
    if (fileExists(g.DataProviderFile))
        g.ConnectionString = connectionStringOf(g.DataProviderFile);
}

QString GetConnectionValue(const QString &text, const QString &key, const QString &terminator)
{
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return {};
    QString value = text.mid(at + key.size());
    const qsizetype end = value.indexOf(terminator);
    if (end >= 0)
        value.truncate(end);
    return value;
}

void SetConnectionValue(const QString &key, const QString &value)
{
    QString &text = Toolkit().ConnectionString;
    const qsizetype at = text.indexOf(key);
    if (at >= 0) {
        const qsizetype tail = text.indexOf(kSemicolon, at);
        text = text.left(at) + key + value + (tail >= 0 ? text.mid(tail) : QString());
    } else if (!value.isEmpty()) {
        text += kSemicolon + key + value;
    }
}

QStringList FindFiles(const QString &folder, const QString &mask)
{
    QStringList found;
    QString root = folder;
    if (root.endsWith(QDir::separator()) && root.size() > 1)
        root.chop(1);
    QDirIterator files(root, {mask}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        found.append(nativePath(files.next()));
    return found;
}

void SetCredentialCipher(const TextCipher *cipher)
{
    g_credentialCipher = cipher;
}

const TextCipher *CredentialCipher()
{
    return g_credentialCipher;
}

bool PrepareConnection(const QString &user, const QString &password)
{
    ToolkitGlobals &g = Toolkit();
    try {
        if (!g.ConnectionString.toUpper().contains(QStringLiteral("PROVIDER=")))
            chooseDataLinkFile();
        TDBConnection &db = g.DbConnection;
        db.Databasename = GetConnectionValue(g.ConnectionString, QStringLiteral("Initial Catalog="), kSemicolon);
        db.ServerName = GetConnectionValue(g.ConnectionString, QStringLiteral("Data Source="), kSemicolon);
        db.Username = GetConnectionValue(g.ConnectionString, QStringLiteral("User ID="), kSemicolon);
        db.Password = GetConnectionValue(g.ConnectionString, QStringLiteral("Password="), kSemicolon);
        if ((isBlank(db.Username) || isBlank(db.Password)) && !usesIntegratedSecurity())
            readLoginFromDatabase(user, password);
        if (!usesIntegratedSecurity()) {
            SetConnectionValue(QStringLiteral("Persist Security Info="), QStringLiteral("True"));
            SetConnectionValue(QStringLiteral("Initial Catalog="), db.Databasename);
            SetConnectionValue(QStringLiteral("Data Source="), db.ServerName);
            SetConnectionValue(QStringLiteral("User ID="), db.Username);
            SetConnectionValue(QStringLiteral("Password="), db.Password);
        }
        return true;
    } catch (const std::exception &error) {
        ShowError(QStringLiteral("Det gick inte att hämta användarnamn och lösenord till databasen!\r\r")
                  + QString::fromUtf8(error.what()));
        return false;
    }
}

QString ConnectionFailureText(const QString &failure)
{
    const TDBConnection &db = Toolkit().DbConnection;
    return QStringLiteral("Det gick inte att ansluta till databasen ") + db.ServerName
           + QStringLiteral(": ") + db.Databasename + QStringLiteral(" med användarnamnet ")
           + db.Username + QStringLiteral("\r\r") + failure;
}

QString ChooseDataProvider(const QString &valueName)
{
    QString result = QFileInfo(Toolkit().DataProviderFile).fileName();
    TfrmDataProviders dialog;
    dialog.setIniTextPosision(valueName);
    if (dialog.exec() == QDialog::Accepted)
        result = dialog.selectedFileName();
    return result;
}
