#pragma once

#include <QString>

// The visual style the workstation's settings name.
inline const QString kDefaultStyle = QStringLiteral("Onyx Blue");

// Writes the default style on the first start of a workstation (marked by ZoruvUri/StyleIsSet, so
// that a style staff changed by hand survives later starts), and into KlientSettings/Style
// whenever that is missing; returns the style the settings then name.
QString EnsureStyleSettings();
