#pragma once

#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <QVersionNumber>
#include <optional>

// The Windows version record (VS_VERSIONINFO) of an executable, read from the file's bytes on
// every platform: from the version resource of a PE file, or from the ".vnversion" section of an
// ELF file, which holds the same structure (see cmake/VersionRecord.cmake).

struct VersionTranslation
{
    quint16 language = 0;
    quint16 codePage = 0;

    // Name of the string block this pair selects: language then code page, four upper-case hex
    // digits each ("041D04B0").
    QString blockName() const;

    friend bool operator==(const VersionTranslation &, const VersionTranslation &) = default;
};

struct VersionRecord
{
    // From the fixed file info; null when the record carries none.
    QVersionNumber fileVersion;
    QVersionNumber productVersion;
    // VarFileInfo\Translation in file order; empty when the record has no translation table.
    QList<VersionTranslation> translations;
    // StringFileInfo: block name as stored ("041D04B0") -> value name -> value.
    QMap<QString, QMap<QString, QString>> stringTables;

    // The first translation pair, which names the string block the values are read from.
    std::optional<VersionTranslation> translation() const;
    // The value from the block of the first translation pair; empty when there is no such
    // translation, block or value. Names match without regard to case, as on Windows.
    QString value(const QString &name) const;
};

// Parses a VS_VERSIONINFO structure. Bytes after the root block are ignored. Anything malformed
// gives no record rather than a partly read one, except damaged blocks below the root, which are
// skipped.
std::optional<VersionRecord> ParseVersionInfo(QByteArrayView data);

// The VS_VERSIONINFO bytes inside a PE image (resource RT_VERSION, first name, first language)
// or an ELF image (section ".vnversion"); an empty view when there is none or the image is
// malformed. The view points into `image`.
QByteArrayView FindVersionInfo(QByteArrayView image);

// FindVersionInfo followed by ParseVersionInfo.
std::optional<VersionRecord> ReadVersionRecordFromImage(QByteArrayView image);

// Reads the record of the file at `path`; no record when the file cannot be read or has none.
std::optional<VersionRecord> ReadVersionRecord(const QString &path);
