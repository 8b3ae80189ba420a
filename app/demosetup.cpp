#include "app/demosetup.h"

#include "db/connectionsetup.h"
#include "db/datalinkfile.h"
#include "demo/demojournal.h"
#include "platform/folders.h"
#include "toolkit/settings.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

void writeMissingSetting(const QString &section, const QString &name, const QString &value)
{
    if (ReadSetting(section, name) == kSettingMissing)
        WriteSetting(section, name, value);
}

} // namespace

QString DemoFolderFromArguments(const QStringList &arguments)
{
    // A named folder wins over the bare switch, which the demo script always passes.
    const QString prefix = kDemoArgument + QLatin1Char('=');
    bool demo = false;
    for (const QString &argument : arguments) {
        if (argument.startsWith(prefix) && argument.size() > prefix.size())
            return QDir(argument.mid(prefix.size())).absolutePath();
        demo = demo || argument == kDemoArgument;
    }
    return demo ? DefaultDemoFolder() : QString();
}

QString DefaultDemoFolder()
{
    QString base = vn::platform::ApplicationDataFolder();
    if (base.isEmpty())
        base = QDir::homePath();
    return QDir(base).filePath(QStringLiteral("Vennic/Halsodeklaration-demo"));
}

bool PrepareDemoFolder(const QString &folder, QString *error)
{
    QDir root(folder);
    const QString registry = root.filePath(QStringLiteral("registry"));
    const QString common = root.filePath(QStringLiteral("common"));
    const QString dataLinks = DataLinksFolderUnder(common);
    if (!QDir().mkpath(registry) || !QDir().mkpath(dataLinks))
        return fail(error, QStringLiteral("Demomappen kunde inte skapas: ") + folder);
    qputenv("VN_REGISTRY_DIR", QDir::toNativeSeparators(registry).toLocal8Bit());
    qputenv("VN_COMMON_FILES_DIR", QDir::toNativeSeparators(common).toLocal8Bit());
    // The installation key follows the start folder.
    if (!QDir::setCurrent(root.absolutePath()))
        return fail(error, QStringLiteral("Demomappen kunde inte öppnas: ") + folder);

    const QString journal = root.filePath(kDemoJournalFile);
    if (!QFileInfo::exists(journal) && !CreateDemoJournalFile(journal, error))
        return false;

    const QString dataLink = QDir(dataLinks).filePath(kDemoDataLinkFile);
    if (!QFileInfo::exists(dataLink)) {
        DataLinkSettings settings;
        settings.provider = QStringLiteral("SQLite");
        settings.server = QDir::toNativeSeparators(journal);
        QString why;
        if (!WriteDataLinkFile(dataLink, BuildInitString(settings), &why))
            return fail(error, QStringLiteral("Datalänkfilen kunde inte skrivas: ") + why);
    }

    const QString current = vn::platform::CurrentFolder();
    SetInstallationKey(InstallationKeyFromFolder(
        current.endsWith(QDir::separator()) ? current : current + QDir::separator()));
    writeMissingSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"),
                        kDemoDataLinkFile);
    writeMissingSetting(QStringLiteral("Hälsodeklaration"), QStringLiteral("PatSignDigitalt"),
                        QStringLiteral("TRUE"));
    return true;
}
