#pragma once

#include <QString>

// The personal identity number as the identification page takes it: the picture of the edit and
// the normalisation of a typed number to the form in which the clinic stores numbers.

// Sentinel of the PersonnummerMask setting for "no picture of the clinic's own".
inline const QString kNoPersonnummerMask = QStringLiteral("INGEN");
// Pictures for ten digits (format code 1) and for twelve digits.
inline const QString kTenDigitPicture = QStringLiteral("#[#][#][#][#][#]-[#][#][#][#]");
inline const QString kTwelveDigitPicture =
    QStringLiteral("#[#][#][#][#][#][#][#]-[#,&][#,&][#][#,&]");
// Shorter entries are refused before any search.
inline constexpr int kMinimumPersonnummerLength = 10;

// The picture for the clinic's PersonnummerMask setting and the counter table's format code.
QString PersonnummerPicture(const QString &maskSetting, int formatCode);

// The picture in force for the whole run, chosen at start-up.
void SetPersonnummerPictureInUse(const QString &picture);
QString PersonnummerPictureInUse();

// The text without tab, line feed, carriage return, '!', '&', '-', '/' and '\'.
QString RemoveSeparators(const QString &text);

// A typed number in the stored form: a dash before the last four characters when the picture
// has one and the text has none; the separators removed when the text has a dash and the
// picture none; else unchanged.
QString NormalisePersonnummer(const QString &typed, const QString &picture);
