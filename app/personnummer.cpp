#include "app/personnummer.h"

namespace {

const QChar kDash = QLatin1Char('-');

QString &pictureInUse()
{
    static QString picture;
    return picture;
}

bool isSeparator(QChar c)
{
    switch (c.unicode()) {
    case u'\t':
    case u'\n':
    case u'\r':
    case u'!':
    case u'&':
    case u'-':
    case u'/':
    case u'\\':
        return true;
    default:
        return false;
    }
}

} // namespace

QString PersonnummerPicture(const QString &maskSetting, int formatCode)
{
    if (maskSetting != kNoPersonnummerMask)
        return maskSetting;
    return formatCode == 1 ? kTenDigitPicture : kTwelveDigitPicture;
}

void SetPersonnummerPictureInUse(const QString &picture)
{
    pictureInUse() = picture;
}

QString PersonnummerPictureInUse()
{
    return pictureInUse();
}

QString RemoveSeparators(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!isSeparator(c))
            result.append(c);
    }
    return result;
}

QString NormalisePersonnummer(const QString &typed, const QString &picture)
{
    const bool textHasDash = typed.contains(kDash);
    const bool pictureHasDash = picture.contains(kDash);
    if (!textHasDash && pictureHasDash && typed.size() >= 4)
        return typed.left(typed.size() - 4) + kDash + typed.right(4);
    if (textHasDash && !pictureHasDash)
        return RemoveSeparators(typed);
    return typed;
}
