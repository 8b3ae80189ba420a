#include "app/demosetup.h"
#include "app/startuphooks.h"
#include "app/tfrmhalsodekmain.h"
#include "toolkit/dialogs.h"

#include <QApplication>
#include <QScreen>

namespace {

int RunKiosk(const QStringList &arguments)
{
    TfrmHalsoDekMain window(arguments);
    if (window.StartupExitCode() >= 0)
        return window.StartupExitCode();
    window.setWindowTitle(QApplication::applicationName());
    // Without a window manager (a bare kiosk session) maximising does nothing, so the window
    // takes the screen's area itself first.
    if (const QScreen *screen = window.screen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vennic Hälsodeklaration"));
    // The kiosk ends only on purpose (exit gesture, failed start-up, update hand-over), each
    // with its own exit code.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = QApplication::arguments();
    const QString demoFolder = DemoFolderFromArguments(arguments);
    if (!demoFolder.isEmpty()) {
        QString error;
        if (!PrepareDemoFolder(demoFolder, &error)) {
            ShowError(error);
            return 1;
        }
    }

    StartToolkitLifecycle();
    const int exitCode = RunKiosk(arguments);
    EndToolkitLifecycle();
    return exitCode;
}
