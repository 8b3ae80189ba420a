#include "platform/folders.h"

#include <QDir>
#include <QStandardPaths>

namespace vn::platform {

namespace {
QString withoutTrailingSeparator(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}
} // namespace

QString CurrentFolder()
{
    return withoutTrailingSeparator(QDir::currentPath());
}

QString CommonFilesFolder()
{
    const QString overridden = qEnvironmentVariable("VN_COMMON_FILES_DIR");
    return withoutTrailingSeparator(overridden.isEmpty() ? QStringLiteral("/usr/local/share/vennic")
                                                         : overridden);
}

QString ApplicationDataFolder()
{
    return withoutTrailingSeparator(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString TempFolder()
{
    return withoutTrailingSeparator(QDir::tempPath());
}

} // namespace vn::platform
