#include "platform/power.h"

#include <QCoreApplication>
#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
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

    // logind sleeps without waiting for its listeners unless one holds a delay lock; the lock
    // lets the connections close before the machine sleeps. Asked for without waiting, so that
    // a bus without logind does not hold up the start.
    void takeSleepDelay()
    {
        auto *watcher = new QDBusPendingCallWatcher(
            asyncCall(QStringLiteral("Inhibit"), QStringLiteral("sleep"),
                      QStringLiteral("Vennic Hälsodeklaration"),
                      QStringLiteral("Databasanslutningarna stängs"), QStringLiteral("delay")),
            this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this](QDBusPendingCallWatcher *call) {
                    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
                    if (reply.isValid())
                        m_sleepDelay = reply.value();
                    call->deleteLater();
                });
    }

    // Closing the descriptor lets the sleep go on.
    void releaseSleepDelay() { m_sleepDelay = QDBusUnixFileDescriptor(); }

Q_SIGNALS:
    // true before the machine sleeps, false after it woke.
    void PrepareForSleep(bool start);

private:
    QDBusUnixFileDescriptor m_sleepDelay;
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
                     [manager, callbacks = std::move(callbacks)](bool start) {
                         const std::function<void()> &callback =
                             start ? callbacks.suspend : callbacks.resume;
                         if (callback)
                             callback();
                         if (start)
                             manager->releaseSleepDelay();
                         else
                             manager->takeSleepDelay();
                     });
    manager->takeSleepDelay();
    listener() = manager;
    return true;
}

void StopPowerNotifications()
{
    delete listener().data();
}

} // namespace vn::platform

#include "power_posix.moc"
