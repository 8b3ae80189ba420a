#include "app/startuphooks.h"

#include "db/powerconnections.h"
#include "toolkit/vennictools.h"

#include <QCoreApplication>
#include <utility>

namespace {

UpdateCheck &updateCheck()
{
    static UpdateCheck check;
    return check;
}

ExitFunction &exitFunction()
{
    static ExitFunction exit;
    return exit;
}

} // namespace

void StartToolkitLifecycle()
{
    StartToolkit();
}

void EndToolkitLifecycle()
{
    EndToolkit();
}

void RegisterPowerConnections(TVNConnection *database1, TVNConnection *lopnrDatabase)
{
    const QString owner = QStringLiteral("frmHalsoDekMain");
    RegisterForPowerEvents(database1, owner);
    RegisterForPowerEvents(lopnrDatabase, owner);
}

void SetSignedInUser(const QString &fullUsername)
{
    VennicUser().CurrentUserType = utOrdinary;
    VennicUser().FullUsername = fullUsername;
}

void HideProgress()
{
    // The kiosk never starts the external progress application, so there is nothing to hide.
}

UpdateCheck SetUpdateCheck(UpdateCheck check)
{
    return std::exchange(updateCheck(), std::move(check));
}

int CheckForNewExeFile(QString &path)
{
    if (updateCheck())
        return updateCheck()(path);
    // No update server is wired in yet: the running program counts as current.
    if (path.isEmpty())
        path = QCoreApplication::applicationFilePath();
    return kUpdateCurrent;
}

ExitFunction SetExitFunction(ExitFunction exit)
{
    return std::exchange(exitFunction(), std::move(exit));
}

void ExitProgram(int code)
{
    if (exitFunction())
        exitFunction()(code);
    else
        QCoreApplication::exit(code);
}
