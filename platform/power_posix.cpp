#include "platform/power.h"

#include <QCoreApplication>
#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QPointer>

namespace vn::platform {

namespace {

// logind's manager as far as sleep goes. Connecting to its Qt signal subscribes to the bus
// signal of the same name and signature.
class LoginManager final : public QDBusAbstractInterface
{
    Q_OBJECT

public:
    LoginManager(const QDBusConnection &bus, QObject *parent)
        : QDBusAbstractInterface(QStringLiteral("org.freedesktop.login1"),
                                 QStringLiteral("/org/freedesktop/login1"),
                                 "org.freedesktop.login1.Manager", bus, parent)
    {}

Q_SIGNALS:
    // true before the machine sleeps, false after it woke.
    void PrepareForSleep(bool start);
};

QPointer<LoginManager> &listener()
{
    static QPointer<LoginManager> current;
    return current;
}

} // namespace

bool StartPowerNotifications(quintptr window, PowerCallbacks callbacks)
{
    Q_UNUSED(window)
    StopPowerNotifications();
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    auto *manager = new LoginManager(bus, app);
    QObject::connect(manager, &LoginManager::PrepareForSleep, manager,
                     [callbacks = std::move(callbacks)](bool start) {
                         const std::function<void()> &callback =
                             start ? callbacks.suspend : callbacks.resume;
                         if (callback)
                             callback();
                     });
    listener() = manager;
    return true;
}

void StopPowerNotifications()
{
    delete listener().data();
}

} // namespace vn::platform

#include "power_posix.moc"
