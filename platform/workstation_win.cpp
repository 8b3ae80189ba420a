#include "platform/workstation.h"

#include <windows.h>
#include <wtsapi32.h>

namespace vn::platform {

namespace {

// Citrix's session interface (wfapi.dll), loaded at run time: most machines lack it.
using WFQuerySessionInformationWProc = BOOL(WINAPI *)(HANDLE server, DWORD sessionId, int infoClass,
                                                      LPWSTR *buffer, DWORD *bytesReturned);
using WFFreeMemoryProc = VOID(WINAPI *)(PVOID memory);

constexpr int kWFClientName = 10;
constexpr DWORD kCurrentSession = static_cast<DWORD>(-1);
// MAX_COMPUTERNAME_LENGTH and the terminator.
constexpr DWORD kComputerNameCapacity = 16;

struct CitrixLibrary
{
    HMODULE module = nullptr;
    WFQuerySessionInformationWProc querySessionInformationW = nullptr;
    WFFreeMemoryProc freeMemory = nullptr; // optional
};

// Loaded on first use and kept loaded; a library without both query entries counts as absent.
const CitrixLibrary *citrixLibrary()
{
    static CitrixLibrary library;
    if (library.module)
        return &library;
    HMODULE module = LoadLibraryW(L"wfapi.dll");
    if (!module)
        return nullptr;
    const auto queryW = reinterpret_cast<WFQuerySessionInformationWProc>(
        reinterpret_cast<void *>(GetProcAddress(module, "WFQuerySessionInformationW")));
    const FARPROC queryA = GetProcAddress(module, "WFQuerySessionInformationA");
    if (!queryW || !queryA) {
        FreeLibrary(module);
        return nullptr;
    }
    library.module = module;
    library.querySessionInformationW = queryW;
    library.freeMemory = reinterpret_cast<WFFreeMemoryProc>(
        reinterpret_cast<void *>(GetProcAddress(module, "WFFreeMemory")));
    return &library;
}

QString systemErrorText(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    QString text;
    if (length && buffer)
        text = QString::fromWCharArray(buffer, static_cast<qsizetype>(length)).trimmed();
    if (buffer)
        LocalFree(buffer);
    if (text.isEmpty())
        text = QStringLiteral("System Error. Code: %1.").arg(code);
    return text;
}

// A returned buffer's text: the byte count includes the terminator, which is not trusted.
QString bufferText(const wchar_t *buffer, DWORD bytes)
{
    if (!buffer)
        return {};
    const qsizetype maxChars = static_cast<qsizetype>(bytes / sizeof(wchar_t));
    qsizetype length = 0;
    while (length < maxChars && buffer[length] != L'\0')
        ++length;
    return QString::fromWCharArray(buffer, length);
}

QString computerName()
{
    wchar_t buffer[kComputerNameCapacity] = {};
    DWORD size = kComputerNameCapacity;
    if (!GetComputerNameW(buffer, &size))
        return {};
    return QString::fromWCharArray(buffer, static_cast<qsizetype>(size));
}

// Fills `name` from Citrix when it answers; false with `error` when the query itself failed.
bool citrixClientName(QString &name, QString &error)
{
    const CitrixLibrary *library = citrixLibrary();
    if (!library)
        return true;
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!library->querySessionInformationW(nullptr, kCurrentSession, kWFClientName, &buffer,
                                           &bytes)) {
        error = systemErrorText(GetLastError());
        return false;
    }
    name = bufferText(buffer, bytes);
    if (buffer) {
        // The library's own release where it has one: its buffers come from its allocator.
        if (library->freeMemory)
            library->freeMemory(buffer);
        else
            WTSFreeMemory(buffer);
    }
    return true;
}

bool terminalServicesClientName(QString &name, QString &error)
{
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSClientName,
                                     &buffer, &bytes)) {
        error = systemErrorText(GetLastError());
        return false;
    }
    name = bufferText(buffer, bytes);
    if (buffer)
        WTSFreeMemory(buffer);
    return true;
}

} // namespace

WorkstationName QueryWorkstationName()
{
    WorkstationName result;
    if (GetSystemMetrics(SM_REMOTESESSION) == 0) {
        result.name = computerName();
        return result;
    }
    QString note;
    QString error;
    if (!citrixClientName(result.name, error))
        note = QStringLiteral("Citrix: ") + error + u'\r';
    if (result.name.trimmed().isEmpty()) {
        error.clear();
        if (!terminalServicesClientName(result.name, error))
            result.failure = note + QStringLiteral("TerminalServer: ") + error;
    }
    return result;
}

} // namespace vn::platform
