#pragma once

#include <QString>

// Per-installation settings of the workstation, kept in both settings hives under
// "SOFTWARE\Vennic\" + installation key + section. The user's hive is searched first.

// The sentinel ReadSetting gives for a value that is not set.
inline const QString kSettingMissing = QStringLiteral("ERROR");

// The installation key for a start folder: "C:\Program Files\App\" gives "C_Program_Files_App\".
QString InstallationKeyFromFolder(const QString &folder);
QString InstallationKey();
void SetInstallationKey(const QString &key);

QString ReadSetting(const QString &section, const QString &name);
QString ReadSettingDef(const QString &section, const QString &name, const QString &defaultValue);
// Writes to both hives. A refused machine-wide write is silent; its reason is kept in the
// user's hive under "SOFTWARE\Vennic\ERROR_WRITING_TO_LOCAL_MACHINE", value "ErrorMsg".
void WriteSetting(const QString &section, const QString &name, const QString &value);

// The system's text for the last failure to create a machine-wide key; empty until one fails.
QString LastRegistryError();

// A value of an INI-form file (the data-link files): UTF-16 with byte-order mark as the
// Windows data-link editor writes them, or 8-bit text. Empty when absent; at most 254 characters.
QString ReadIniValue(const QString &fileName, const QString &section, const QString &key);
