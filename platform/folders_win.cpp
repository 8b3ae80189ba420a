#include "platform/folders.h"

#include <QDir>

#include <shlobj.h>
#include <windows.h>

namespace vn::platform {

namespace {

QString shellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)))
        return {};
    return QString::fromWCharArray(path);
}

QString withoutTrailingSeparator(QString folder)
{
    while (folder.size() > 3 && folder.endsWith(u'\\'))
        folder.chop(1);
    return folder;
}

} // namespace

QString CurrentFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    if (GetCurrentDirectoryW(MAX_PATH, path) == 0)
        return {};
    return withoutTrailingSeparator(QString::fromWCharArray(path));
}

QString CommonFilesFolder()
{
    const QString overridden = qEnvironmentVariable("VN_COMMON_FILES_DIR");
    if (!overridden.isEmpty())
        return withoutTrailingSeparator(QDir::toNativeSeparators(overridden));
    return withoutTrailingSeparator(shellFolder(CSIDL_PROGRAM_FILES_COMMON));
}

QString ApplicationDataFolder()
{
    return withoutTrailingSeparator(shellFolder(CSIDL_APPDATA));
}

QString TempFolder()
{
    return withoutTrailingSeparator(QDir::toNativeSeparators(QDir::tempPath()));
}

} // namespace vn::platform
