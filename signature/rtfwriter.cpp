#include "signature/rtfwriter.h"

#include "toolkit/ansitext.h"

#include <QBuffer>
#include <QFont>
#include <QImage>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

namespace {

constexpr double kTwipsPerPixel = 15.0; // 1440 twips per inch at 96 pixels per inch
constexpr int kHexLineLength = 128;

QString familyOf(const QTextCharFormat &format)
{
    const QStringList families = format.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.constFirst();
}

// Windows-1252 byte for a character, 0 when it has none: the fallback after \uN for readers
// that do not know Unicode.
char cp1252Byte(char16_t c)
{
    const char b = vn::ToAnsiByte(c);
    return b == '?' && c != u'?' ? 0 : b;
}

void appendHexByte(QByteArray &out, uchar byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out.append(digits[byte >> 4]);
    out.append(digits[byte & 15]);
}

// RTF names a font in the table with its text up to ';', so those characters cannot appear.
QByteArray fontName(const QString &family)
{
    QByteArray out;
    for (const QChar c : family) {
        const char16_t u = c.unicode();
        if (u == ';' || u == '{' || u == '}' || u == '\\' || u < 0x20)
            continue;
        if (u < 0x80) {
            out.append(char(u));
        } else if (const char b = cp1252Byte(u)) {
            out.append("\\'");
            appendHexByte(out, uchar(b));
        }
    }
    return out;
}

void appendText(QByteArray &out, const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case '\\':
            out.append("\\\\");
            continue;
        case '{':
            out.append("\\{");
            continue;
        case '}':
            out.append("\\}");
            continue;
        case '\t':
            out.append("\\tab ");
            continue;
        case '\n':
        case QChar::LineSeparator:
            out.append("\\line ");
            continue;
        case QChar::Nbsp:
            out.append("\\~");
            continue;
        case QChar::ObjectReplacementCharacter:
            continue; // a picture without its resource
        default:
            break;
        }
        if (u < 0x20)
            continue;
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        out.append("\\u");
        out.append(QByteArray::number(qint16(u))); // RTF takes the UTF-16 unit as signed
        const char fallback = cp1252Byte(u);
        if (fallback) {
            out.append("\\'");
            appendHexByte(out, uchar(fallback));
        } else {
            out.append('?');
        }
    }
}

QImage imageOf(const QTextDocument &document, const QTextImageFormat &format)
{
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(format.name()));
    if (resource.canConvert<QImage>())
        return resource.value<QImage>();
    return {};
}

void appendPicture(QByteArray &out, const QImage &image, const QTextImageFormat &format)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return;
    const double width = format.width() > 0 ? format.width() : image.width();
    const double height = format.height() > 0 ? format.height() : image.height();
    out.append("{\\pict\\picw" + QByteArray::number(image.width()) + "\\pich" +
               QByteArray::number(image.height()) + "\\picwgoal" +
               QByteArray::number(qRound(width * kTwipsPerPixel)) + "\\pichgoal" +
               QByteArray::number(qRound(height * kTwipsPerPixel)) + "\\pngblip\n");
    for (qsizetype i = 0; i < png.size(); ++i) {
        appendHexByte(out, uchar(png[i]));
        if ((i + 1) % (kHexLineLength / 2) == 0)
            out.append('\n');
    }
    out.append("}");
}

QByteArray alignmentWord(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignHCenter)
        return "\\qc";
    if (alignment & Qt::AlignRight)
        return "\\qr";
    if (alignment & Qt::AlignJustify)
        return "\\qj";
    return {};
}

} // namespace

QByteArray WriteRtf(const QTextDocument &document)
{
    // The font table first: every family a fragment names, in order of appearance.
    QStringList families;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString family = familyOf(it.fragment().charFormat());
            if (!family.isEmpty() && !families.contains(family))
                families.append(family);
        }
    }
    const QString defaultFamily = document.defaultFont().family();
    if (!defaultFamily.isEmpty() && !families.contains(defaultFamily))
        families.prepend(defaultFamily);

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (qsizetype i = 0; i < families.size(); ++i)
        out.append("{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 " + fontName(families[i]) +
                   ";}");
    out.append("}\n");

    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        out.append("\\pard" + alignmentWord(block.blockFormat().alignment()) + ' ');
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                const QTextImageFormat imageFormat = format.toImageFormat();
                const QImage image = imageOf(document, imageFormat);
                // One fragment holds every adjacent use of the same picture.
                for (qsizetype n = 0; !image.isNull() && n < fragment.length(); ++n)
                    appendPicture(out, image, imageFormat);
                continue;
            }
            out.append('{');
            const qsizetype wordsAt = out.size();
            const QString family = familyOf(format);
            if (families.contains(family))
                out.append("\\f" + QByteArray::number(families.indexOf(family)));
            if (format.fontPointSize() > 0)
                out.append("\\fs" + QByteArray::number(qRound(format.fontPointSize() * 2)));
            if (format.fontWeight() >= QFont::DemiBold)
                out.append("\\b");
            if (format.fontItalic())
                out.append("\\i");
            if (format.fontUnderline())
                out.append("\\ul");
            if (format.fontStrikeOut())
                out.append("\\strike");
            if (out.size() > wordsAt)
                out.append(' '); // ends the last control word; a space after '{' would be text
            appendText(out, fragment.text());
            out.append('}');
        }
        out.append("\\par\n");
    }
    out.append('}');
    return out;
}
