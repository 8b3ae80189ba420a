#include "db/powerconnections.h"

#include "db/databaseerror.h"
#include "db/vnconnection.h"
#include "toolkit/powerhandling.h"

#include <QPointer>
#include <QRegularExpression>

namespace {

// Lives as a child of its connection, so that the registration ends with the connection.
class PowerRegistration final : public QObject
{
    Q_OBJECT

public:
    PowerRegistration(int id, TVNConnection *connection) : QObject(connection), m_id(id) {}
    ~PowerRegistration() override { UnregisterPowerConnection(m_id); }

private:
    int m_id;
};

} // namespace

QString ConnectionStringForDisplay(const QString &connectionString)
{
    // A value may be quoted with " or ', a doubled quote standing for one, and then hold ";".
    static const QRegularExpression password(
        QStringLiteral("(^|;)(\\s*(?:password|pwd)\\s*=\\s*)"
                       "(\"(?:[^\"]|\"\")*\"|'(?:[^']|'')*'|[^;]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString shown;
    qsizetype copied = 0;
    QRegularExpressionMatchIterator it = password.globalMatch(connectionString);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        shown += QStringView(connectionString).mid(copied, match.capturedEnd(2) - copied);
        if (match.capturedLength(3) > 0)
            shown += QStringLiteral("*****");
        copied = match.capturedEnd(3);
    }
    shown += QStringView(connectionString).mid(copied);
    return shown;
}

void RegisterForPowerEvents(TVNConnection *connection, const QString &ownerName)
{
    if (!connection)
        return;
    UnregisterFromPowerEvents(connection);
    const QPointer<TVNConnection> guarded(connection);
    PowerConnection power;
    power.ownerName = ownerName;
    power.connectionName = connection->objectName();
    // "Open" as the component's state, which a lost server link does not change: such a
    // connection is closed for the sleep too and comes back after the wake.
    power.isOpen = [guarded] {
        return guarded && (guarded->Connected() || guarded->Database().isValid());
    };
    power.close = [guarded] {
        if (guarded)
            guarded->Close();
    };
    power.openAndBeginTransaction = [guarded] {
        if (!guarded)
            throw DatabaseError(QStringLiteral("Connection is not open"));
        guarded->Open(guarded->ConnectionString());
        guarded->BeginTrans();
    };
    power.tag = [guarded] { return guarded ? guarded->Tag() : 0; };
    power.setTag = [guarded](int tag) {
        if (guarded)
            guarded->SetTag(tag);
    };
    power.connectionString = [guarded] {
        return guarded ? ConnectionStringForDisplay(guarded->ConnectionString()) : QString();
    };
    new PowerRegistration(RegisterPowerConnection(std::move(power)), connection);
}

void UnregisterFromPowerEvents(TVNConnection *connection)
{
    if (!connection)
        return;
    const auto registrations =
        connection->findChildren<PowerRegistration *>(QString(), Qt::FindDirectChildrenOnly);
    for (PowerRegistration *registration : registrations)
        delete registration;
}

#include "powerconnections.moc"
