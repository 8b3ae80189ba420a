#pragma once

#include <QString>

// Folders the operating system names. Each comes with native separators and without a
// trailing separator; an empty text when the system cannot tell.
namespace vn::platform {

QString CurrentFolder();
// Program files shared by every program of the machine (where the data-link files live).
// VN_COMMON_FILES_DIR overrides it.
QString CommonFilesFolder();
// The user's roaming application data.
QString ApplicationDataFolder();
QString TempFolder();

} // namespace vn::platform
