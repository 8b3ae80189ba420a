#include "platform/hivestore.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace vn::platform {

namespace {

constexpr REGSAM kReadAccess = 0x20019;  // KEY_READ
constexpr REGSAM kWriteAccess = 0x2001F; // KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY

HKEY rootKey(Hive hive)
{
    return hive == Hive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::wstring toBuffer(const QString &text)
{
    return text.left(kRegistryTextBufferChars - 1).toStdWString();
}

QString systemMessage(DWORD error)
{
    wchar_t buffer[kRegistryTextBufferChars] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   buffer, kRegistryTextBufferChars, nullptr);
    return QString::fromWCharArray(buffer);
}

} // namespace

std::optional<QString> ReadHiveValue(Hive hive, const QString &keyPath, const QString &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(rootKey(hive), toBuffer(keyPath).c_str(), 0, kReadAccess, &key)
        != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t buffer[kRegistryValueBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD size = kRegistryValueBufferBytes;
    const std::wstring valueName = toBuffer(name);
    const LONG status = RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr,
                                         reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return QString::fromWCharArray(buffer);
}

HiveWriteResult WriteHiveValue(Hive hive, const QString &keyPath, const QString &name,
                               const QString &value)
{
    HiveWriteResult result;
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes{};
    SECURITY_ATTRIBUTES *security = nullptr;
    if (hive == Hive::LocalMachine) {
        // A NULL DACL: every user of the workstation may change the machine-wide settings.
        if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) {
            throw std::runtime_error(
                QStringLiteral("Unable to initialize security descriptor. Windows error=%1")
                    .arg(GetLastError())
                    .toStdString());
        }
        if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
            throw std::runtime_error(
                QStringLiteral("Unable to set security descriptor dacl. Windows error=%1")
                    .arg(GetLastError())
                    .toStdString());
        }
        attributes.nLength = sizeof(attributes);
        attributes.lpSecurityDescriptor = &descriptor;
        attributes.bInheritHandle = TRUE;
        security = &attributes;
    }

    const std::wstring path = toBuffer(keyPath);
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExW(rootKey(hive), path.c_str(), 0, nullptr, 0, kWriteAccess,
                                  security, &key, &disposition);
    if (status != ERROR_SUCCESS) {
        result.keyError = systemMessage(static_cast<DWORD>(status));
        key = nullptr;
        status = RegCreateKeyExW(rootKey(hive), path.c_str(), 0, nullptr, 0, kWriteAccess,
                                 nullptr, &key, &disposition);
        if (status != ERROR_SUCCESS)
            key = nullptr;
    }
    if (key) {
        const std::wstring valueName = toBuffer(name);
        const std::wstring data = toBuffer(value);
        result.written =
            RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)))
            == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    return result;
}

} // namespace vn::platform
