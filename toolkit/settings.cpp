#include "toolkit/settings.h"

#include "platform/hivestore.h"
#include "toolkit/ansitext.h"

#include <QDir>
#include <QFile>

using vn::platform::Hive;

namespace {

constexpr qsizetype kIniValueBufferChars = 255;

QString &installationKey()
{
    static QString key;
    return key;
}

QString &lastRegistryError()
{
    static QString error;
    return error;
}

QString settingsKeyPath(const QString &section)
{
    return QStringLiteral("SOFTWARE\\Vennic\\") + installationKey() + section;
}

// Blanks and control characters at either end do not count as a value.
bool isBlank(const QString &value)
{
    for (const QChar c : value) {
        if (c.unicode() > u' ')
            return false;
    }
    return true;
}

QString readRegistryString(Hive hive, const QString &keyPath, const QString &name)
{
    return vn::platform::ReadHiveValue(hive, keyPath, name).value_or(QString());
}

std::optional<QString> readFromHives(const QString &section, const QString &name)
{
    const QString path = settingsKeyPath(section);
    QString value = readRegistryString(Hive::CurrentUser, path, name);
    if (isBlank(value))
        value = readRegistryString(Hive::LocalMachine, path, name);
    if (isBlank(value))
        return std::nullopt;
    return value;
}

bool writeRegistryString(Hive hive, const QString &keyPath, const QString &name,
                         const QString &value)
{
    const vn::platform::HiveWriteResult result =
        vn::platform::WriteHiveValue(hive, keyPath, name, value);
    if (!result.keyError.isEmpty() && hive == Hive::LocalMachine)
        lastRegistryError() = result.keyError;
    return result.written;
}

QString decodeIniText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return vn::FromAnsi(bytes);
}

// The value with surrounding blanks removed and one pair of enclosing quotes taken off.
QString iniValueText(QStringView raw)
{
    QStringView value = raw.trimmed();
    if (value.size() >= 2
        && ((value.startsWith(u'"') && value.endsWith(u'"'))
            || (value.startsWith(u'\'') && value.endsWith(u'\'')))) {
        value = value.mid(1, value.size() - 2);
    }
    return value.left(kIniValueBufferChars - 1).toString();
}

} // namespace

QString InstallationKeyFromFolder(const QString &folder)
{
    QString key = QDir::toNativeSeparators(folder);
    if (key.endsWith(u'\\') || key.endsWith(u'/'))
        key.chop(1);
    key.replace(QChar(u' '), QChar(u'_'));
    key.replace(QChar(u'\\'), QChar(u'_'));
    // Where folders are separated by "/", those separators go the same way as backslashes.
    key.replace(QChar(u'/'), QChar(u'_'));
    key.remove(QChar(u':'));
    return key + u'\\';
}

QString InstallationKey()
{
    return installationKey();
}

void SetInstallationKey(const QString &key)
{
    installationKey() = key;
}

QString ReadSetting(const QString &section, const QString &name)
{
    return readFromHives(section, name).value_or(kSettingMissing);
}

QString ReadSettingDef(const QString &section, const QString &name, const QString &defaultValue)
{
    return readFromHives(section, name).value_or(defaultValue);
}

void WriteSetting(const QString &section, const QString &name, const QString &value)
{
    const QString path = settingsKeyPath(section);
    const bool userWritten = writeRegistryString(Hive::CurrentUser, path, name, value);
    const bool machineWritten = writeRegistryString(Hive::LocalMachine, path, name, value);
    if (!machineWritten && userWritten) {
        writeRegistryString(Hive::CurrentUser,
                            QStringLiteral("SOFTWARE\\Vennic\\ERROR_WRITING_TO_LOCAL_MACHINE"),
                            QStringLiteral("ErrorMsg"), lastRegistryError());
    }
}

QString LastRegistryError()
{
    return lastRegistryError();
}

QString ReadIniValue(const QString &fileName, const QString &section, const QString &key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = decodeIniText(file.readAll());
    bool inSection = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            inSection = close > 0
                        && line.mid(1, close - 1).trimmed().compare(section, Qt::CaseInsensitive)
                               == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return iniValueText(line.mid(equals + 1));
    }
    return {};
}
