#pragma once

#include <QString>

#include <optional>

// The two settings hives of a workstation: the Windows registry on Windows, and on other
// systems one file per hive with the same hive/key/value layout.
namespace vn::platform {

enum class Hive { CurrentUser, LocalMachine };

// Key paths, value names and values are held in buffers of this many characters (terminator
// included); longer ones are cut when written.
inline constexpr int kRegistryTextBufferChars = 1025;
// A value is read back only when its UTF-16 data, terminator included, fits this many bytes.
inline constexpr int kRegistryValueBufferBytes = 1025;

// The value's data up to its first NUL; nothing when the key or value cannot be read or the
// data does not fit the read buffer. An empty name reads the key's default value.
std::optional<QString> ReadHiveValue(Hive hive, const QString &keyPath, const QString &name);

struct HiveWriteResult
{
    bool written = false;
    // The system's text for a failure to create the key; empty when the key was created.
    QString keyError;
};

// Creates the key when needed and sets the value as a string. Under LocalMachine the key is
// created so that every user may write it.
HiveWriteResult WriteHiveValue(Hive hive, const QString &keyPath, const QString &name,
                               const QString &value);

} // namespace vn::platform
