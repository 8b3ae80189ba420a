#include "app/stylesettings.h"

#include "toolkit/settings.h"

QString EnsureStyleSettings()
{
    const QString clientSection = QStringLiteral("KlientSettings");
    const QString styleKey = QStringLiteral("Style");
    const QString markerSection = QStringLiteral("ZoruvUri");
    const QString markerKey = QStringLiteral("StyleIsSet");
    if (ReadSetting(markerSection, markerKey) == kSettingMissing) {
        WriteSetting(clientSection, styleKey, kDefaultStyle);
        WriteSetting(markerSection, markerKey, QStringLiteral("1"));
    }
    QString style = ReadSetting(clientSection, styleKey);
    if (style == kSettingMissing) {
        WriteSetting(clientSection, styleKey, kDefaultStyle);
        style = kDefaultStyle;
    }
    return style;
}
