#include "platform/power.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <windows.h>

namespace vn::platform {

namespace {

class PowerBroadcastFilter final : public QAbstractNativeEventFilter
{
public:
    PowerBroadcastFilter(HWND window, PowerCallbacks callbacks)
        : m_window(window), m_callbacks(std::move(callbacks))
    {}

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override
    {
        if (eventType != "windows_generic_MSG" || !message)
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_POWERBROADCAST)
            return false;
        // The broadcast reaches every top-level window of the process; only the toolkit's
        // window acts on it, so that it is handled once.
        if (m_window && msg->hwnd != m_window)
            return false;
        switch (msg->wParam) {
        case PBT_APMSUSPEND:
            // Must finish before the machine sleeps, so it runs inside the broadcast.
            if (m_callbacks.suspend)
                m_callbacks.suspend();
            break;
        case PBT_APMRESUMESUSPEND:
            // The system waits for the broadcast's answer, and the wake handling waits seconds
            // and may ask the user; it runs once the broadcast has been answered.
            if (m_callbacks.resume)
                QTimer::singleShot(0, QCoreApplication::instance(), m_callbacks.resume);
            break;
        default:
            return false;
        }
        if (result)
            *result = TRUE;
        return true;
    }

private:
    HWND m_window;
    PowerCallbacks m_callbacks;
};

std::unique_ptr<PowerBroadcastFilter> &installedFilter()
{
    static std::unique_ptr<PowerBroadcastFilter> filter;
    return filter;
}

} // namespace

bool StartPowerNotifications(quintptr window, PowerCallbacks callbacks)
{
    StopPowerNotifications();
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    installedFilter() = std::make_unique<PowerBroadcastFilter>(reinterpret_cast<HWND>(window),
                                                               std::move(callbacks));
    app->installNativeEventFilter(installedFilter().get());
    return true;
}

void StopPowerNotifications()
{
    if (!installedFilter())
        return;
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(installedFilter().get());
    installedFilter().reset();
}

} // namespace vn::platform
