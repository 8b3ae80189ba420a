#include "widgets/appfileinformation.h"

#include "widgets/versionrecord.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString fullPath(const QString &path)
{
    return QFileInfo(path.isEmpty() ? QCoreApplication::applicationFilePath() : path)
        .absoluteFilePath();
}

} // namespace

TDCAppFileInformation::TDCAppFileInformation(QObject *parent) : QObject(parent)
{
    readFile(fullPath(QString()));
}

void TDCAppFileInformation::setFileToCheck(const QString &path)
{
    const QString file = fullPath(path);
    if (file != m_file)
        readFile(file);
}

void TDCAppFileInformation::readFile(const QString &path)
{
    m_file = path;
    const std::optional<VersionRecord> record = ReadVersionRecord(path);
    const auto value = [&](const QString &name) {
        return record ? record->value(name) : QString();
    };

    m_companyName = value(QStringLiteral("CompanyName"));
    m_fileDescription = value(QStringLiteral("FileDescription"));
    m_fileVersion = value(QStringLiteral("FileVersion"));
    m_internalName = value(QStringLiteral("InternalName"));
    m_legalCopyright = value(QStringLiteral("LegalCopyright"));
    m_legalTrademarks = value(QStringLiteral("LegalTrademarks"));
    m_originalFileName = value(QStringLiteral("OriginalFileName"));
    m_productName = value(QStringLiteral("ProductName"));
    m_productVersion = value(QStringLiteral("ProductVersion"));
    m_internetDirectVersion = value(QStringLiteral("InternetDirect"));
    m_specialThanks = value(QStringLiteral("SpecialThanks"));
    m_comments = value(QStringLiteral("Comments"));
    m_specialBuild = value(QStringLiteral("SpecialBuild"));
    m_privateBuild = value(QStringLiteral("PrivateBuild"));
}
