#include "db/datalinkfile.h"

#include "db/connectionsetup.h"

#include <QSaveFile>

QString BuildInitString(const DataLinkSettings &settings)
{
    QString text = QStringLiteral("Provider=") + settings.provider;
    if (settings.integratedSecurity) {
        text += QStringLiteral(";Integrated Security=SSPI;Persist Security Info=False");
    } else {
        if (!settings.password.isEmpty())
            text += QStringLiteral(";Password=") + settings.password;
        text += settings.password.isEmpty() ? QStringLiteral(";Persist Security Info=False")
                                            : QStringLiteral(";Persist Security Info=True");
        if (!settings.user.isEmpty())
            text += QStringLiteral(";User ID=") + settings.user;
    }
    if (!settings.database.isEmpty())
        text += QStringLiteral(";Initial Catalog=") + settings.database;
    text += QStringLiteral(";Data Source=") + settings.server;
    return text;
}

DataLinkSettings DataLinkSettingsOf(const QString &initString)
{
    const QString semicolon = QStringLiteral(";");
    DataLinkSettings settings;
    settings.provider = GetConnectionValue(initString, QStringLiteral("Provider="), semicolon);
    settings.server = GetConnectionValue(initString, QStringLiteral("Data Source="), semicolon);
    settings.database = GetConnectionValue(initString, QStringLiteral("Initial Catalog="), semicolon);
    settings.user = GetConnectionValue(initString, QStringLiteral("User ID="), semicolon);
    settings.password = GetConnectionValue(initString, QStringLiteral("Password="), semicolon);
    settings.integratedSecurity =
        initString.toUpper().contains(QStringLiteral("INTEGRATED SECURITY=SSPI"));
    return settings;
}

QByteArray DataLinkFileBytes(const QString &initString)
{
    const QString text = QStringLiteral("[oledb]\r\n; Everything after this line is an OLE DB "
                                        "initstring\r\n")
                         + initString + QStringLiteral("\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

bool WriteDataLinkFile(const QString &path, const QString &initString, QString *error)
{
    QSaveFile file(path);
    const QByteArray bytes = DataLinkFileBytes(initString);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
