#include "signature/pensettings.h"

#include "toolkit/settings.h"

namespace {

const QString kSection = QStringLiteral("ePad");
const QString kPenColorKey = QStringLiteral("PenColor");
const QString kPenSizeKey = QStringLiteral("PenSize");

// A 32-bit integer as the settings hold it: decimal (a sign allowed) or "$" and up to eight
// hexadecimal digits. Like the colour numbers of the platform, the value is 32 bits wide.
bool parseColorNumber(const QString &text, quint32 *number)
{
    const QString value = text.trimmed();
    bool ok = false;
    if (value.startsWith(u'$')) {
        const QStringView digits = QStringView(value).mid(1);
        if (digits.isEmpty() || digits.size() > 8)
            return false;
        const qulonglong parsed = digits.toULongLong(&ok, 16);
        if (!ok)
            return false;
        *number = static_cast<quint32>(parsed);
        return true;
    }
    const int parsed = value.toInt(&ok, 10);
    if (!ok)
        return false;
    *number = static_cast<quint32>(parsed);
    return true;
}

} // namespace

QColor PenColorFromSetting(const QString &value)
{
    quint32 number = kDefaultPenColorNumber;
    if (!parseColorNumber(value, &number))
        number = kDefaultPenColorNumber;
    // The high byte selects palette or system colours on the platform; only the RGB bytes count.
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

QString PenColorToSetting(const QColor &color)
{
    const QColor rgb = color.toRgb();
    const quint32 number =
        quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
    return QString::number(number);
}

QColor ReadPenColor()
{
    return PenColorFromSetting(ReadSettingDef(kSection, kPenColorKey, QStringLiteral("$00FA0000")));
}

int ReadPenSize()
{
    bool ok = false;
    const int size =
        ReadSettingDef(kSection, kPenSizeKey, QStringLiteral("2")).trimmed().toInt(&ok);
    // A pen of no or negative thickness would draw nothing the crop could find.
    return ok && size >= 1 ? size : kDefaultPenSize;
}

void WritePenSettings(int penSize, const QColor &penColor)
{
    WriteSetting(kSection, kPenSizeKey, QString::number(penSize));
    WriteSetting(kSection, kPenColorKey, PenColorToSetting(penColor));
}
