#include "app/tfrmhalsodekmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vennic Hälsodeklaration"));
    TfrmHalsoDekMain window;
    window.setWindowTitle(QApplication::applicationName());
    window.showMaximized();
    return app.exec();
}
