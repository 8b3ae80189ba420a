#include "kioskfixture.h"

#include "app/startuphooks.h"
#include "app/tfrmhalsodekmain.h"
#include "db/datalinkfile.h"
#include "platform/folders.h"
#include "toolkit/settings.h"

#include <QDir>

using namespace std::chrono_literals;

namespace {

const QString kDataLinkName = QStringLiteral("Journal.udl");

} // namespace

KioskFixture::KioskFixture(dbtest::Backend backend)
    : m_db(backend), m_registryDir("VN_REGISTRY_DIR", m_dir.filePath(QStringLiteral("registry"))),
      m_commonFilesDir("VN_COMMON_FILES_DIR", m_dir.filePath(QStringLiteral("common"))),
      m_dataHome("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")))
{
    SetExitFunction([this](int code) { exitCodes.append(code); });
    TfrmHalsoDekMain::SetSearchPause(0ms);
    if (!m_db.unavailable().isEmpty())
        return;
    m_db.loadDemoJournal();
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
