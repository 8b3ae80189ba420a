// Writes COUNT values named PREFIX0..PREFIXn into one key of a hive, one write at a time, so
// that several of these processes race on the same hive file.

#include "platform/hivestore.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    const auto hive = args[1] == QLatin1String("HKLM") ? vn::platform::Hive::LocalMachine
                                                       : vn::platform::Hive::CurrentUser;
    const QString prefix = args[2];
    const int count = args[3].toInt();
    for (int i = 0; i < count; ++i) {
        const QString name = prefix + QString::number(i);
        if (!vn::platform::WriteHiveValue(hive, QStringLiteral("SOFTWARE\\Vennic\\Race"), name, name).written)
            return 1;
    }
    return 0;
}
