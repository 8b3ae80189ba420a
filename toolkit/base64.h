#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace vn {

// Standard Base64 (A-Z a-z 0-9 + /, "=" padding, no line breaks). Table driven: the cipher's
// string forms are Base64 through and through, and large documents pass through them.
QByteArray Base64Encode(QByteArrayView data);

// Line breaks and blanks between the characters are passed over; any other character outside
// the alphabet, or padding in the middle, makes the text invalid.
std::optional<QByteArray> Base64Decode(QByteArrayView text);

} // namespace vn
