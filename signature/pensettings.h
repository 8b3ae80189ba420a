#pragma once

#include <QColor>
#include <QString>

// The pen of the signature pad, kept in the settings (section "ePad"): the colour as a Windows
// colour number (red in the lowest byte), in decimal or in hexadecimal with a leading "$", and
// the thickness in pixels. The capture dialog draws in this colour and the crop finds the
// strokes by it.
inline constexpr unsigned kDefaultPenColorNumber = 0xFA0000;
inline constexpr int kDefaultPenSize = 2;

// A colour number ("16384000", "$00FA0000") as a colour; nullopt-like fallback to the default
// when it does not parse.
QColor PenColorFromSetting(const QString &value);
QString PenColorToSetting(const QColor &color); // decimal
QColor ReadPenColor();
int ReadPenSize();
void WritePenSettings(int penSize, const QColor &penColor);
