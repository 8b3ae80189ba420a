#include "db/datalinkeditor.h"

#include <QFileInfo>

#include <windows.h>
#include <shellapi.h>

void OpenDataLinkEditor(const QString &path, QWidget *)
{
    const std::wstring file = path.toStdWString();
    const std::wstring folder = QFileInfo(path).absolutePath().toStdWString();
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}
