#include "kioskfixture.h"

#include "app/startuphooks.h"
#include "app/tfrmhalsodekmain.h"
#include "db/datalinkfile.h"
#include "demo/demojournal.h"
#include "platform/folders.h"
#include "toolkit/settings.h"

#include <QDir>

using namespace std::chrono_literals;

namespace {

const QString kDataLinkName = QStringLiteral("Journal.udl");

void restoreVariable(const char *name, const QByteArray &value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

QByteArray variable(const char *name)
{
    return qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray();
}

void loadDemoJournal(dbtest::ScratchDatabase &db)
{
    const Dialect dialect =
        db.backend() == dbtest::Backend::Sqlite ? Dialect::SQLite : Dialect::PostgreSQL;
    for (const QString &statement : SplitSqlStatements(DemoSchemaSql(dialect)))
        db.exec(statement);
    // One transaction keeps the load quick on SQLite.
    db.exec(QStringLiteral("BEGIN"));
    for (const QString &statement : SplitSqlStatements(DemoDataSource()))
        db.exec(statement);
    db.exec(QStringLiteral("COMMIT"));
}

} // namespace

KioskFixture::KioskFixture(dbtest::Backend backend)
    : m_db(backend), m_oldRegistryDir(variable("VN_REGISTRY_DIR")),
      m_oldCommonFilesDir(variable("VN_COMMON_FILES_DIR"))
{
    qputenv("VN_REGISTRY_DIR", m_dir.filePath(QStringLiteral("registry")).toLocal8Bit());
    qputenv("VN_COMMON_FILES_DIR", m_dir.filePath(QStringLiteral("common")).toLocal8Bit());
    SetExitFunction([this](int code) { exitCodes.append(code); });
    TfrmHalsoDekMain::SetSearchPause(0ms);
    if (!m_db.unavailable().isEmpty())
        return;
    loadDemoJournal(m_db);
    // The login of the init string is used as it stands, not read from VENNICUSER.
    writeDataLink(m_db.backend() == dbtest::Backend::Sqlite
                      ? m_db.initString()
                      : m_db.initString() + QStringLiteral(";Password=trust"));
    SetInstallationKey(
        InstallationKeyFromFolder(vn::platform::CurrentFolder() + QDir::separator()));
    WriteSetting(QStringLiteral("DataProvider"), QStringLiteral("DefaultDataProvider"),
                 kDataLinkName);
}

KioskFixture::~KioskFixture()
{
    TfrmHalsoDekMain::SetSearchPause(TfrmHalsoDekMain::kSearchPause);
    SetExitFunction({});
    SetUpdateCheck({});
    restoreVariable("VN_REGISTRY_DIR", m_oldRegistryDir);
    restoreVariable("VN_COMMON_FILES_DIR", m_oldCommonFilesDir);
}

std::unique_ptr<TfrmHalsoDekMain> KioskFixture::makeWindow()
{
    return std::make_unique<TfrmHalsoDekMain>(QStringList{QStringLiteral("halsodeklaration")});
}

void KioskFixture::writeDataLink(const QString &initString)
{
    const QString folder = m_dir.filePath(QStringLiteral("common/System/Ole DB/Data Links"));
    QDir().mkpath(folder);
    QString error;
    if (!WriteDataLinkFile(QDir(folder).filePath(kDataLinkName), initString, &error))
        qFatal("cannot write the data-link file: %s", qPrintable(error));
}
