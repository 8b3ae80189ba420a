#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// 8-bit text in Windows-1252, the code page of the Swedish Windows workstations that share the
// journal database and the update server, on every platform.
namespace vn {

// Characters outside the code page become "?".
QByteArray ToAnsi(QStringView text);
char ToAnsiByte(char16_t c);
QString FromAnsi(QByteArrayView bytes);

} // namespace vn
