// Settings hives as files: one file per hive, rewritten whole under a lock file and replaced
// atomically, so that concurrent writers from several processes lose none of each other's values.

#include "platform/hivefile.h"
#include "platform/hivestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

namespace vn::platform {

namespace {

constexpr int kLockWaitMs = 10000;

QString hiveRootName(Hive hive)
{
    return hive == Hive::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER")
                                     : QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString hiveFilePath(Hive hive)
{
    const QString fileName =
        hive == Hive::CurrentUser ? QStringLiteral("HKCU.reg") : QStringLiteral("HKLM.reg");
    const QString overrideDir = qEnvironmentVariable("VN_REGISTRY_DIR");
    if (!overrideDir.isEmpty())
        return QDir(overrideDir).filePath(fileName);
    if (hive == Hive::CurrentUser) {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("vennic/") + fileName);
    }
    return QStringLiteral("/var/lib/vennic/") + fileName;
}

QString truncatedToBuffer(const QString &text)
{
    return text.left(kRegistryTextBufferChars - 1);
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads a hive file; missing, unreadable and damaged files read as empty hives.
HiveFile loadHive(Hive hive, const QString &path, bool *isHiveFile = nullptr)
{
    HiveFile file(hiveRootName(hive));
    QFile in(path);
    bool parsed = true;
    if (in.open(QIODevice::ReadOnly))
        parsed = file.parse(in.readAll()) || in.size() == 0;
    if (isHiveFile)
        *isHiveFile = parsed;
    return file;
}

} // namespace

std::optional<QString> ReadHiveValue(Hive hive, const QString &keyPath, const QString &name)
{
    const HiveFile file = loadHive(hive, hiveFilePath(hive));
    std::optional<QString> data = file.value(truncatedToBuffer(keyPath), truncatedToBuffer(name));
    if (!data)
        return std::nullopt;
    const qsizetype nul = data->indexOf(QChar(0));
    if (nul >= 0)
        data->truncate(nul);
    if ((data->size() + 1) * 2 > kRegistryValueBufferBytes)
        return std::nullopt;
    return data;
}

HiveWriteResult WriteHiveValue(Hive hive, const QString &keyPath, const QString &name,
                               const QString &value)
{
    HiveWriteResult result;
    const QString path = hiveFilePath(hive);
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        result.keyError = systemErrorText(errno);
        return result;
    }

    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(30000);
    if (!lock.tryLock(kLockWaitMs)) {
        result.keyError = lock.error() == QLockFile::PermissionError
                              ? systemErrorText(EACCES)
                              : QStringLiteral("The settings file is locked by another program.");
        return result;
    }

    bool isHiveFile = true;
    HiveFile file = loadHive(hive, path, &isHiveFile);
    if (!isHiveFile) {
        // Keep what is there for inspection rather than overwrite it.
        const QString aside = path + QStringLiteral(".damaged");
        QFile::remove(aside);
        QFile::rename(path, aside);
    }
    file.setValue(truncatedToBuffer(keyPath), truncatedToBuffer(name), truncatedToBuffer(value));

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        result.keyError = out.errorString();
        return result;
    }
    out.write(file.serialize());
    if (!out.commit()) {
        result.keyError = out.errorString();
        return result;
    }
    if (hive == Hive::LocalMachine) {
        // The machine hive is shared by every user of the workstation.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                        | QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                        | QFileDevice::ReadOther | QFileDevice::WriteOther);
    }
    result.written = true;
    return result;
}

} // namespace vn::platform
