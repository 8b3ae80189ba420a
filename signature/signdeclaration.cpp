#include "signature/signdeclaration.h"

#include "signature/pensettings.h"
#include "signature/richtextdocument.h"
#include "signature/tfrmepadsign.h"
#include "toolkit/dialogs.h"
#include "widgets/inputform.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <array>
#include <cstring>
#include <exception>
#include <new>

using namespace Qt::StringLiterals;

namespace {

enum class Signer
{
    Patient,
    Guardian,
    SecondGuardian,
    CareProvider
};

struct Placeholder
{
    QString text;
    Signer signer;
};

// The order is the order of signing.
const std::array<Placeholder, 4> &placeholders()
{
    static const std::array<Placeholder, 4> list{{
        {u"%patdigisign%"_s, Signer::Patient},
        {u"%patmaldigisign%"_s, Signer::Guardian},
        {u"%patmal2digisign%"_s, Signer::SecondGuardian},
        {u"%vgdigisign%"_s, Signer::CareProvider},
    }};
    return list;
}

QString headingFor(Signer signer, const QString &patientName)
{
    switch (signer) {
    case Signer::Patient:
        return Translate(u"Ange"_s) + u' ' + patientName + u' ' +
               Translate(u"signatur på ePaden"_s);
    case Signer::Guardian:
        return Translate(u"Ange Målsmans signatur på ePaden"_s);
    case Signer::SecondGuardian:
        return Translate(u"Ange Målsman2 signatur på ePaden"_s);
    case Signer::CareProvider:
        break;
    }
    return Translate(u"Ange Vårdgivarens signatur på ePaden"_s);
}

QString messageOf(const std::exception &error)
{
    return QString::fromUtf8(error.what());
}

std::optional<QImage> runCaptureDialog(const QString &heading)
{
    // Guarded: the dialog's parent may go away while the modal loop runs.
    QPointer<TfrmePadSign> dialog = new TfrmePadSign(QApplication::activeWindow());
    dialog->StaticText1->setText(heading);
    const int result = dialog->exec();
    if (!dialog)
        return std::nullopt;
    std::optional<QImage> area;
    if (result == QDialog::Accepted)
        area = dialog->SignArea();
    delete dialog;
    return area;
}

CaptureFunction &captureFunction()
{
    static CaptureFunction capture = runCaptureDialog;
    return capture;
}

// 96 dpi in the bitmap's own terms, so that point sizes give the same pixels on every machine
// and offscreen.
constexpr int kDotsPerMeter96Dpi = 3780;

QImage blankPicture(int width, int height)
{
    QImage picture(qMax(width, 0), qMax(height, 0), QImage::Format_RGB32);
    picture.setDotsPerMeterX(kDotsPerMeter96Dpi);
    picture.setDotsPerMeterY(kDotsPerMeter96Dpi);
    picture.fill(Qt::white);
    return picture;
}

// The picture grown to the given size, the old content at the top-left, the new area white.
QImage enlarged(const QImage &picture, int width, int height)
{
    QImage grown = blankPicture(width, height);
    QPainter painter(&grown);
    painter.drawImage(0, 0, picture);
    return grown;
}

// Adds a band below the picture holding `text`, widening the picture first when asked and the
// text is wider.
void addTextBand(QImage &picture, const QString &text, int pointSize, int bandPadding, bool widen)
{
    const QFont font = SignatureFont(pointSize);
    const QFontMetrics metrics(font, &picture);
    const int height = metrics.height();
    int width = picture.width();
    if (widen) {
        // Measured against the text's full extent (5 pixels in, 5 to spare): a picture only a
        // little wider than the text alone would still cut off its last letters.
        const int textWidth = metrics.horizontalAdvance(text);
        if (width < textWidth + 10)
            width = textWidth + 10;
    }
    picture = enlarged(picture, width, picture.height() + height + bandPadding);

    QPainter painter(&picture);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    const int top = picture.height() - height - 2;
    painter.drawText(5, top + metrics.ascent(), text);
}

// Replaces every occurrence of the placeholder, searching from the start each time.
void replaceAll(TRichTextDocument &document, const QString &placeholder, const QByteArray &rtf)
{
    for (int position = document.FindText(placeholder); position >= 0;
         position = document.FindText(placeholder)) {
        document.SetSelection(position, int(placeholder.size()));
        document.ReplaceSelection(QString());
        document.InsertRtfAtSelection(rtf);
    }
}

// The colour of a pixel as 0x00RRGGBB.
constexpr quint32 rgbKey(int red, int green, int blue)
{
    return (quint32(red) << 16) | (quint32(green) << 8) | quint32(blue);
}

struct Bounds
{
    int top, left, bottom, right;
    bool found;
};

// Scans the rows once: top and bottom are the first and last rows with a pen pixel, left and
// right the smallest and largest columns; the starting values are kept where none is found.
template <typename RowMatcher>
void scanBounds(const QImage &image, Bounds &bounds, RowMatcher firstAndLast)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        int first = width;
        int last = -1;
        firstAndLast(image.constScanLine(y), width, first, last);
        if (last < 0)
            continue;
        if (!bounds.found)
            bounds.top = y;
        bounds.bottom = y;
        bounds.left = qMin(bounds.left, first);
        bounds.right = qMax(bounds.right, last);
        bounds.found = true;
    }
}

void findBounds(const QImage &image, quint32 pen, Bounds &bounds)
{
    if (image.format() == QImage::Format_RGB888) {
        const uchar red = uchar(pen >> 16), green = uchar(pen >> 8), blue = uchar(pen);
        scanBounds(image, bounds, [=](const uchar *row, int width, int &first, int &last) {
            for (int x = 0; x < width; ++x, row += 3) {
                if (row[0] == red && row[1] == green && row[2] == blue) {
                    if (first == width)
                        first = x;
                    last = x;
                }
            }
        });
        return;
    }
    // Format_RGB32 and its relatives: one 32-bit word per pixel, alpha in the top byte.
    scanBounds(image, bounds, [=](const uchar *bytes, int width, int &first, int &last) {
        const auto *row = reinterpret_cast<const quint32 *>(bytes);
        int x = 0;
        while (x < width && (row[x] & 0x00FFFFFFu) != pen)
            ++x;
        if (x == width)
            return;
        first = x;
        int end = width - 1;
        while ((row[end] & 0x00FFFFFFu) != pen)
            --end;
        last = end;
    });
}

void putLittleEndian(char *at, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = char((value >> (8 * i)) & 0xFF);
}

} // namespace

QFont SignatureFont(int pointSize)
{
    static const bool substituted = [] {
        // Metric-compatible stand-ins where Arial is not installed.
        QFont::insertSubstitutions(u"Arial"_s, {u"Liberation Sans"_s, u"Arimo"_s, u"Nimbus Sans"_s,
                                                u"Nimbus Sans L"_s, u"Helvetica"_s});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(u"Arial"_s);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    return font;
}

CaptureFunction SetCaptureFunction(CaptureFunction capture)
{
    CaptureFunction previous = std::move(captureFunction());
    captureFunction() = capture ? std::move(capture) : CaptureFunction(runCaptureDialog);
    return previous;
}

QString GuardianNameDefault(const QString &guardianText, const QString &secondGuardianText)
{
    const QString first = guardianText.trimmed();
    const QString second = secondGuardianText.trimmed();
    if (!first.isEmpty() && !second.isEmpty())
        return guardianText + u" : "_s + secondGuardianText;
    if (!first.isEmpty())
        return first;
    return second;
}

QString SignatureTimeStamp(const QDateTime &when)
{
    // The workstations' long time format carries no time zone; the locale's format may.
    QString timeFormat = QLocale(QLocale::Swedish, QLocale::Sweden).timeFormat(QLocale::LongFormat);
    QString withoutZone;
    bool quoted = false;
    for (const QChar c : std::as_const(timeFormat)) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        withoutZone += c;
    }
    timeFormat = withoutZone.trimmed();
    return u"Digital signatur: ePad "_s + when.toString(u"yyyy-MM-dd"_s) + u' ' +
           when.time().toString(timeFormat);
}

QImage ComposeSignaturePicture(const QImage &strokes, const std::optional<QString> &nameLine,
                               const QString &timeStamp)
{
    QImage picture = blankPicture(strokes.width(), strokes.height());
    {
        QPainter painter(&picture);
        painter.drawImage(0, 0, strokes);
    }
    const bool careProvider = !nameLine;
    if (nameLine)
        addTextBand(picture, *nameLine, 10, 4, true);
    // Only the care provider's picture is widened for the time stamp; below a name line it may
    // be cut off at the right edge.
    addTextBand(picture, timeStamp, 6, 2, careProvider);
    return picture.convertToFormat(QImage::Format_RGB888);
}

bool CropSignature(const QImage &source, QImage &target)
{
    const QColor penColor = ReadPenColor();
    const quint32 pen = rgbKey(penColor.red(), penColor.green(), penColor.blue());
    const int width = source.width();
    const int height = source.height();

    Bounds bounds{height, width, 0, 0, false};
    QImage image;
    try {
        switch (source.format()) {
        case QImage::Format_RGB888:
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            image = source;
            break;
        default:
            image = source.convertToFormat(QImage::Format_RGB32);
            break;
        }
        if (!source.isNull() && image.isNull())
            throw std::bad_alloc();
        findBounds(image, pen, bounds);
    } catch (const std::exception &error) {
        ShowError(Translate(u"Det gick inte att hitta yttermåtten på signaturen!"_s) + u"\r\r"_s +
                  messageOf(error));
    }
    // One pixel of margin above and to the left; the bottom and right bounds become exclusive.
    if (bounds.top > 0)
        --bounds.top;
    if (bounds.left > 0)
        --bounds.left;
    if (bounds.bottom < height)
        ++bounds.bottom;
    if (bounds.right < width)
        ++bounds.right;

    try {
        QImage copied;
        if (bounds.left < bounds.right && bounds.top < bounds.bottom)
            copied = source.copy(bounds.left, bounds.top, bounds.right - bounds.left,
                                 bounds.bottom - bounds.top);
        else
            copied = source;
        target = copied.convertToFormat(QImage::Format_RGB888);
        if (!copied.isNull() && target.isNull())
            throw std::bad_alloc();
    } catch (const std::exception &error) {
        ShowError(Translate(u"Det gick inte att kopiera signaturen!"_s) + u"\r\r"_s +
                  messageOf(error));
    }
    return bounds.found;
}

void BitmapToRtfPicture(const QImage &bitmap, QByteArray &stream)
{
    const QImage image = bitmap.format() == QImage::Format_RGB888
                             ? bitmap
                             : bitmap.convertToFormat(QImage::Format_RGB888);
    const int width = image.width();
    const int height = image.height();
    constexpr qsizetype kHeaderSize = 40;
    const qsizetype rowSize = (qsizetype(width) * 3 + 3) & ~qsizetype(3);
    const qsizetype imageSize = rowSize * height;
    const qsizetype dibSize = kHeaderSize + imageSize;

    stream += "{\\rtf1 {\\pict\\picw" + QByteArray::number(width) + "\\pich" +
              QByteArray::number(height) + "\\dibitmap0 ";

    // The buffer of twice the bitmap's size is the stream's own tail: the bitmap goes into its
    // first half, and the hexadecimal text then overwrites it from the last byte backwards.
    const qsizetype start = stream.size();
    stream.resize(start + 2 * dibSize);
    char *buffer = stream.data() + start;

    std::memset(buffer, 0, size_t(dibSize));
    putLittleEndian(buffer + 0, quint32(kHeaderSize), 4);
    putLittleEndian(buffer + 4, quint32(width), 4);
    putLittleEndian(buffer + 8, quint32(height), 4); // positive: rows bottom-up
    putLittleEndian(buffer + 12, 1, 2);              // planes
    putLittleEndian(buffer + 14, 24, 2);             // bits per pixel
    putLittleEndian(buffer + 20, quint32(imageSize), 4);

    char *rows = buffer + kHeaderSize;
    for (int y = 0; y < height; ++y) {
        const uchar *from = image.constScanLine(height - 1 - y);
        auto *to = reinterpret_cast<uchar *>(rows + rowSize * y);
        for (int x = 0; x < width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }

    static constexpr char kHex[] = "0123456789ABCDEF";
    for (qsizetype i = dibSize - 1; i >= 0; --i) {
        const auto byte = uchar(buffer[i]);
        buffer[2 * i] = kHex[byte >> 4];
        buffer[2 * i + 1] = kHex[byte & 0x0F];
    }
    stream += " }}";
}

bool SignDeclaration(TRichTextDocument &document, const QString &patientName,
                     const QString &guardianText, const QString &secondGuardianText)
{
    bool result = true;
    try {
        for (const Placeholder &placeholder : placeholders()) {
            if (document.FindText(placeholder.text) < 0)
                continue;

            const std::optional<QImage> area =
                captureFunction()(headingFor(placeholder.signer, patientName));
            if (!area) {
                result = false;
                continue;
            }

            QImage strokes;
            if (!CropSignature(*area, strokes)) {
                ShowInfo(Translate(u"Ingen signatur kunde detekteras!"_s));
                return false;
            }

            std::optional<QString> nameLine;
            switch (placeholder.signer) {
            case Signer::Patient:
                nameLine = u"Namnförtydligande: "_s + patientName;
                break;
            case Signer::Guardian:
            case Signer::SecondGuardian: {
                QString name = GuardianNameDefault(guardianText, secondGuardianText);
                // The edit's text counts however the dialog was closed.
                ShowInputDialog(u"Ange namnförtydligande"_s, u"Namn:"_s, name, QChar(), 40);
                nameLine = u"Namnförtydligande: "_s + name;
                break;
            }
            case Signer::CareProvider:
                break;
            }

            const QImage picture = ComposeSignaturePicture(
                strokes, nameLine, SignatureTimeStamp(QDateTime::currentDateTime()));

            document.StoreCompressed = true;
            QByteArray rtf;
            BitmapToRtfPicture(picture, rtf);
            replaceAll(document, placeholder.text, rtf);
        }
    } catch (const std::exception &error) {
        ShowError(Translate(u"Det gick inte att signera!"_s) + u"\r\r"_s + messageOf(error));
        return false;
    }
    return result;
}
