#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vn::platform {

// The text form of one settings hive where no registry exists. It keeps the registry's layout
// and reads like a registry export:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\SOFTWARE\Vennic\C_Kiosk\ePad]
//   "PenSize"="2"
//
// Key paths and value names compare without regard to case, as in the registry.
class HiveFile
{
public:
    explicit HiveFile(QString rootName) : m_rootName(std::move(rootName)) {}

    // Reads the text of a hive file. Lines that cannot be read are passed over, so a damaged
    // or cut file reads its damaged values as missing. Returns false when the text is not a
    // hive file at all (then nothing is read).
    bool parse(const QByteArray &text);
    QByteArray serialize() const;

    bool hasKey(const QString &keyPath) const;
    std::optional<QString> value(const QString &keyPath, const QString &name) const;
    void setValue(const QString &keyPath, const QString &name, const QString &value);

private:
    struct Value
    {
        QString name;
        QString data;
    };
    struct Key
    {
        QString path;
        QList<Value> values;
    };

    Key *findKey(const QString &keyPath);
    const Key *findKey(const QString &keyPath) const;

    QString m_rootName;
    QList<Key> m_keys;
};

} // namespace vn::platform
