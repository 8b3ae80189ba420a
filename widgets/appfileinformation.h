#pragma once

#include <QObject>
#include <QString>

// Reads the version record of an executable, by default the running program, into text fields.
// Each field is empty when the record lacks its value.
class TDCAppFileInformation final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString FileToCheck READ FileToCheck WRITE setFileToCheck)

public:
    // Reads the running program's record.
    explicit TDCAppFileInformation(QObject *parent);

    QString FileToCheck() const { return FInfoFromFile(); }
    // Reads the record of `path` (the running program when empty); a path equal to the one
    // already examined reads nothing again.
    void setFileToCheck(const QString &path);

    // The file examined, with its full path.
    QString FInfoFromFile() const { return m_file; }
    QString FCompanyName() const { return m_companyName; }
    QString FFileDescription() const { return m_fileDescription; }
    QString FFileVersion() const { return m_fileVersion; }
    QString FInternalName() const { return m_internalName; }
    QString FLegalCopyright() const { return m_legalCopyright; }
    QString FLegalTrademarks() const { return m_legalTrademarks; }
    QString FOriginalFileName() const { return m_originalFileName; }
    QString FProductName() const { return m_productName; }
    QString FProductVersion() const { return m_productVersion; }
    QString FInternetDirectVersion() const { return m_internetDirectVersion; }
    QString FSpecialThanks() const { return m_specialThanks; }
    QString FComments() const { return m_comments; }
    QString FSpecialBuild() const { return m_specialBuild; }
    QString FPrivateBuild() const { return m_privateBuild; }

private:
    void readFile(const QString &path);

    QString m_file;
    QString m_companyName;
    QString m_fileDescription;
    QString m_fileVersion;
    QString m_internalName;
    QString m_legalCopyright;
    QString m_legalTrademarks;
    QString m_originalFileName;
    QString m_productName;
    QString m_productVersion;
    QString m_internetDirectVersion;
    QString m_specialThanks;
    QString m_comments;
    QString m_specialBuild;
    QString m_privateBuild;
};
