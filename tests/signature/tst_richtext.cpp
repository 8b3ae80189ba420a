// The declaration's rich-text document: reading RTF from other writers, writing RTF that reads
// back the same, finding and replacing text around pictures, and the stored blob.

#include "signature/richtextdocument.h"
#include "testrunner.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

namespace {

struct ShownPicture
{
    QImage image;
    QSizeF shown; // the display size in pixels
};

QList<ShownPicture> picturesOf(const QTextDocument &document)
{
    QList<ShownPicture> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QTextImageFormat image = format.toImageFormat();
            const QImage picture =
                document.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            const QSizeF shown(image.width() > 0 ? image.width() : picture.width(),
                               image.height() > 0 ? image.height() : picture.height());
            for (int n = 0; n < it.fragment().length(); ++n)
                pictures.append({picture, shown});
        }
    }
    return pictures;
}

QByteArray fixture(const QString &name)
{
    QFile file(QStringLiteral(VN_TEST_DATA_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The capture's picture fragment for a 1x1 picture of one colour: a bottom-up 24-bit DIB.
QByteArray onePixelFragment(QRgb colour)
{
    QByteArray dib;
    const auto put = [&dib](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            dib.append(char((v >> (8 * i)) & 0xFF));
    };
    put(40, 4);
    put(1, 4);
    put(1, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(4, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    put(0, 4);
    dib.append(char(qBlue(colour)))
        .append(char(qGreen(colour)))
        .append(char(qRed(colour)))
        .append('\0');
    return "{\\rtf1 {\\pict\\picw1\\pich1\\dibitmap0 " + dib.toHex().toUpper() + " }}";
}

QString characterAt(const TRichTextDocument &document, int position, bool *bold)
{
    QTextCursor cursor(document.document());
    cursor.setPosition(position + 1);
    *bold = cursor.charFormat().fontWeight() >= QFont::DemiBold;
    return document.PlainText().mid(position, 1);
}

} // namespace

class TestRichText : public QObject
{
    Q_OBJECT

private slots:
    void readsFixtures_data();
    void readsFixtures();
    void decodesDibBottomUp();
    void pictureKinds_data();
    void pictureKinds();
    void escapesAndSkipping_data();
    void escapesAndSkipping();
    void malformedInputShowsReadablePart_data();
    void malformedInputShowsReadablePart();
    void randomInputNeverBreaks();
    void roundTripKeepsTextFormatsAndPictures();
    void roundTripKeepsFixtures_data();
    void roundTripKeepsFixtures();
    void findsTextAroundPictures();
    void replacesEveryPlaceholderWithPicture();
    void blobRoundTrip_data();
    void blobRoundTrip();
    void blobThatIsNoDocument();
};

void TestRichText::readsFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("boldWord");
    QTest::addColumn<int>("pictures");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QSizeF>("shownSize");

    QTest::newRow("office suite, Swedish letters")
        << QStringLiteral("lo_swedish.rtf")
        << QStringLiteral("Hälsodeklaration för Åsa Ölund\nKära patient, svara på frågorna: "
                          "räksmörgås – ÅÄÖ åäö.")
        << QStringLiteral("Ölund") << 0 << QSize() << QSizeF();
    QTest::newRow("office suite, table as tabs and lines")
        << QStringLiteral("lo_table.rtf")
        << QStringLiteral("Före tabellen\nFråga\tSvar\nAllergi\tNej\nEfter tabellen") << QString()
        << 0 << QSize() << QSizeF();
    QTest::newRow("office suite, PNG picture scaled")
        << QStringLiteral("lo_picture.rtf") << QStringLiteral("Signatur: \uFFFC klar") << QString()
        << 1 << QSize(8, 6) << QSizeF(80, 60);
    QTest::newRow("word processor, DIB picture and escapes")
        << QStringLiteral("wordpad_dib.rtf")
        << QStringLiteral("Hälsodeklaration för Patient på kliniken\nSignatur: \uFFFC\nPris € 100")
        << QStringLiteral("Patient") << 1 << QSize(3, 2) << QSizeF(3, 2);
}

void TestRichText::readsFixtures()
{
    QFETCH(QString, file);
    QFETCH(QString, text);
    QFETCH(QString, boldWord);
    QFETCH(int, pictures);
    QFETCH(QSize, pictureSize);
    QFETCH(QSizeF, shownSize);

    const QByteArray rtf = fixture(file);
    QVERIFY(!rtf.isEmpty());
    TRichTextDocument document;
    document.LoadRtf(rtf);
    QCOMPARE(document.PlainText(), text);
    QCOMPARE(document.PlainText().size(), document.document()->characterCount() - 1);

    if (!boldWord.isEmpty()) {
        const int at = document.FindText(boldWord);
        QVERIFY(at >= 0);
        bool bold = false;
        characterAt(document, at, &bold);
        QVERIFY(bold);
        characterAt(document, 0, &bold);
        QVERIFY(!bold);
    }

    const QList<ShownPicture> shown = picturesOf(*document.document());
    QCOMPARE(shown.size(), pictures);
    if (pictures > 0) {
        QCOMPARE(shown[0].image.size(), pictureSize);
        QCOMPARE(shown[0].shown, shownSize);
    }
}

void TestRichText::decodesDibBottomUp()
{
    TRichTextDocument document;
    document.LoadRtf(fixture(QStringLiteral("wordpad_dib.rtf")));
    const QList<ShownPicture> shown = picturesOf(*document.document());
    QCOMPARE(shown.size(), 1);
    const QImage image = shown[0].image;
    // The file stores the bottom row first: blue, green, red; above it white, black, grey.
    QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(1, 0), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(2, 0), qRgb(128, 128, 128));
    QCOMPARE(image.pixel(0, 1), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(1, 1), qRgb(0, 255, 0));
    QCOMPARE(image.pixel(2, 1), qRgb(255, 0, 0));
}

void TestRichText::pictureKinds_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSizeF>("shown");
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<QRgb>("colour");

    QImage indexed(5, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 255, 255), qRgb(0, 128, 0)});
    indexed.fill(0);
    indexed.setPixel(4, 2, 1);
    const auto encoded = [](const QImage &image, const char *format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    };
    const QByteArray dib8 = encoded(indexed, "BMP").mid(14); // a packed DIB has no file header
    QTest::newRow("8-bit DIB with colour table")
        << "{\\rtf1 {\\pict\\dibitmap0 " + dib8.toHex() + "}}" << QSize(5, 3) << QSizeF(5, 3)
        << QPoint(4, 2) << qRgb(0, 128, 0);

    // Device-dependent bits: top row first, a set bit is white, rows two bytes apart.
    QTest::newRow("monochrome device bitmap")
        << QByteArray("{\\rtf1 {\\pict\\wbitmap0\\picw2\\pich2\\wbmbitspixel1\\wbmplanes1"
                      "\\wbmwidthbytes2 80004000}}")
        << QSize(2, 2) << QSizeF(2, 2) << QPoint(1, 1) << qRgb(255, 255, 255);

    QImage green(6, 4, QImage::Format_RGB32);
    green.fill(qRgb(0, 200, 0));
    QTest::newRow("JPEG scaled to half")
        << "{\\rtf1 {\\pict\\picscalex50\\picscaley50\\jpegblip " + encoded(green, "JPEG").toHex() +
               "}}"
        << QSize(6, 4) << QSizeF(3, 2) << QPoint(-1, -1) << QRgb(0);
    const QByteArray png = encoded(green, "PNG");
    QTest::newRow("PNG as binary data")
        << "{\\rtf1 {\\pict\\picwgoal180\\pichgoal60\\pngblip\\bin" +
               QByteArray::number(png.size()) + ' ' + png + "}}"
        << QSize(6, 4) << QSizeF(12, 4) << QPoint(5, 3) << qRgb(0, 200, 0);
}

void TestRichText::pictureKinds()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QSize, size);
    QFETCH(QSizeF, shown);
    QFETCH(QPoint, probe);
    QFETCH(QRgb, colour);

    TRichTextDocument document;
    document.LoadRtf(rtf);
    QCOMPARE(document.PlainText(), QStringLiteral("\uFFFC"));
    const QList<ShownPicture> pictures = picturesOf(*document.document());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures[0].image.size(), size);
    QCOMPARE(pictures[0].shown, shown);
    if (probe.x() >= 0)
        QCOMPARE(pictures[0].image.pixel(probe), colour);
}

void TestRichText::escapesAndSkipping_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");

    QTest::newRow("cp1252 by default")
        << QByteArray("{\\rtf1 \\'e5\\'e4\\'f6 \\'80}") << QStringLiteral("åäö €");
    QTest::newRow("code page 1250")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1250 \\'e8}") << QStringLiteral("č");
    QTest::newRow("font charset wins over code page")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\f1 "
                      "\\'e0\\f0 \\'e0}")
        << QStringLiteral("аà");
    QTest::newRow("\\u with one fallback")
        << QByteArray("{\\rtf1 a\\u229?b}") << QStringLiteral("aåb");
    QTest::newRow("\\u negative, surrogate pair")
        << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << QStringLiteral("\U0001F600");
    QTest::newRow("\\uc2 skips escape and letter")
        << QByteArray("{\\rtf1\\uc2 \\u8364\\'80xy}") << QStringLiteral("€y");
    QTest::newRow("\\uc0 skips nothing")
        << QByteArray("{\\rtf1\\uc0 \\u228 a}") << QStringLiteral("äa");
    QTest::newRow("\\uc is per group")
        << QByteArray("{\\rtf1 {\\uc3 x}\\u228 ab}") << QStringLiteral("xäb");
    QTest::newRow("skip stops at a group end")
        << QByteArray("{\\rtf1 {\\uc5\\u228 a}b}") << QStringLiteral("äb");
    QTest::newRow("unknown control words")
        << QByteArray("{\\rtf1 a\\foo12 b\\barbaz c}") << QStringLiteral("abc");
    QTest::newRow("ignorable destination")
        << QByteArray("{\\rtf1 a{\\*\\mystery {x}y\\par}b}") << QStringLiteral("ab");
    QTest::newRow("known destinations")
        << QByteArray("{\\rtf1{\\colortbl;\\red0;}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}"
                      "{\\header H}{\\pntext 1.\\tab}x}")
        << QStringLiteral("x");
    QTest::newRow("field shows its result")
        << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt l\\'e4nk}}}")
        << QStringLiteral("länk");
    QTest::newRow("binary data skipped")
        << QByteArray("{\\rtf1 a{\\*\\blob\\bin3 }{}}b}") << QStringLiteral("ab");
    QTest::newRow("symbols and breaks")
        << QByteArray("{\\rtf1 a\\{\\}\\\\\\tab b\\line c\\~d\\emdash\\par e}")
        << QStringLiteral("a{}\\\tb\nc d—\ne");
    QTest::newRow("escaped letters stay before symbols and breaks")
        << QByteArray("{\\rtf1 p\\'e5\\~x \\'e4\\emdash\\'f6\\\nz}")
        << QStringLiteral("p\u00E5 x \u00E4\u2014\u00F6\nz"); // plain text shows \~ as a blank
    QTest::newRow("closing paragraph mark dropped once")
        << QByteArray("{\\rtf1 a\\par\\par}") << QStringLiteral("a\n");
    QTest::newRow("not RTF at all") << QByteArray("just text") << QStringLiteral("just text");
}

void TestRichText::escapesAndSkipping()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    TRichTextDocument document;
    document.LoadRtf(rtf);
    QCOMPARE(document.PlainText(), text);
}

void TestRichText::malformedInputShowsReadablePart_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pictures");

    const QByteArray picture = onePixelFragment(qRgb(1, 2, 3));
    QTest::newRow("cut in an escape")
        << QByteArray("{\\rtf1 Hej d\\'e") << QStringLiteral("Hej d") << 0;
    QTest::newRow("cut after a backslash")
        << QByteArray("{\\rtf1 Hej\\") << QStringLiteral("Hej") << 0;
    QTest::newRow("cut in picture data")
        << QByteArray("{\\rtf1 Text {\\pict\\picw1\\pich1\\dibitmap0 2800000001")
        << QStringLiteral("Text ") << 0;
    QTest::newRow("odd hex digit count")
        << picture.left(picture.size() - 3) + "A }} efter" << QStringLiteral("\uFFFC efter") << 1;
    QTest::newRow("stray closing braces")
        << QByteArray("}}{\\rtf1 a}}}b}") << QStringLiteral("ab") << 0;
    QTest::newRow("huge and negative numbers")
        << QByteArray(
               "{\\rtf1 \\fs-99999999999999999999 a\\uc99999999999 {b}\\bin-5 c\\u99999999999 }")
        << QStringLiteral("abc") << 0;
    QTest::newRow("picture claims a huge size")
        << QByteArray(
               "{\\rtf1 x{\\pict\\wbitmap0\\picw100000\\pich100000\\wbmbitspixel1\\wbmwidthbytes2 "
               "00}y}")
        << QStringLiteral("xy") << 0;
    QTest::newRow("nesting within the limit")
        << QByteArray(1000, '{') + "djup" + QByteArray(1000, '}') + "efter"
        << QStringLiteral("djupefter") << 0;
    QTest::newRow("nesting past the limit")
        << QByteArray(5000, '{') + "djup" + QByteArray(5000, '}') + "efter"
        << QStringLiteral("efter") << 0;
    QTest::newRow("DIB header lies about its size")
        << QByteArray("{\\rtf1 {\\pict\\dibitmap0 ffffff7f0100000001000000010018000000}z}")
        << QStringLiteral("z") << 0;
}

void TestRichText::malformedInputShowsReadablePart()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, text);
    QFETCH(int, pictures);
    TRichTextDocument document;
    document.LoadRtf(rtf);
    QVERIFY2(document.PlainText().contains(text), qPrintable(document.PlainText()));
    QCOMPARE(picturesOf(*document.document()).size(), pictures);
}

void TestRichText::randomInputNeverBreaks()
{
    // Random bytes, random RTF-ish tokens, and damaged copies of the fixtures; the document must
    // stay consistent (positions = plain text) and the writer must accept whatever was read.
    const QList<QByteArray> seeds = {fixture(QStringLiteral("lo_picture.rtf")),
                                     fixture(QStringLiteral("wordpad_dib.rtf")),
                                     fixture(QStringLiteral("lo_table.rtf"))};
    static const char *const tokens[] = {"{",
                                         "}",
                                         "\\par ",
                                         "\\u-3",
                                         "\\uc2",
                                         "\\'e5",
                                         "\\'",
                                         "\\pict",
                                         "\\dibitmap0 ",
                                         "\\pngblip ",
                                         "\\bin4 ",
                                         "\\*",
                                         "\\fonttbl",
                                         "\\f1",
                                         "\\cell",
                                         "\\row",
                                         "28",
                                         "00",
                                         "\\wbitmap0\\picw2\\pich2",
                                         "text ",
                                         "\\"};
    QRandomGenerator random(20261210);
    for (int round = 0; round < 400; ++round) {
        QByteArray input;
        switch (round % 3) {
        case 0:
            for (int i = random.bounded(200); i > 0; --i)
                input.append(char(random.bounded(256)));
            break;
        case 1:
            for (int i = random.bounded(80); i > 0; --i)
                input.append(tokens[random.bounded(int(std::size(tokens)))]);
            break;
        default:
            input = seeds[random.bounded(seeds.size())];
            for (int i = random.bounded(1, 8); i > 0; --i)
                input[random.bounded(input.size())] = char(random.bounded(256));
            input.truncate(random.bounded(input.size() + 1));
            break;
        }
        TRichTextDocument document;
        document.LoadRtf(input);
        QCOMPARE(document.PlainText().size(), document.document()->characterCount() - 1);
        TRichTextDocument copy;
        copy.LoadRtf(document.SaveRtf());
        QCOMPARE(copy.PlainText(), document.PlainText());
    }
}

void TestRichText::roundTripKeepsTextFormatsAndPictures()
{
    TRichTextDocument document;
    QTextCursor cursor(document.document());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(14);
    bold.setFontFamilies({QStringLiteral("DejaVu Serif")});
    QTextCharFormat italicUnderline;
    italicUnderline.setFontItalic(true);
    italicUnderline.setFontUnderline(true);
    cursor.insertText(QStringLiteral("Hälsodeklaration "), bold);
    cursor.insertText(QStringLiteral("Ärende {1} \\ € \U0001F600\tslut"), italicUnderline);
    cursor.insertBlock();
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.setBlockFormat(centred);
    cursor.insertText(QStringLiteral("Signatur: "), QTextCharFormat());
    document.setTextCursor(cursor);
    document.InsertRtfAtSelection(onePixelFragment(qRgb(10, 20, 30)));
    document.ReplaceSelection(QStringLiteral(" och "));
    QImage red(4, 2, QImage::Format_RGB32);
    red.fill(qRgb(200, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    const QByteArray pngFragment =
        "{\\rtf1 {\\pict\\picwgoal300\\pichgoal150\\pngblip " + png.toHex() + "}}";
    document.InsertRtfAtSelection(pngFragment);

    const QByteArray rtf = document.SaveRtf();
    for (const char c : rtf)
        QVERIFY2(uchar(c) < 0x80, "the writer emits 7-bit text only");

    TRichTextDocument copy;
    copy.LoadRtf(rtf);
    QCOMPARE(copy.PlainText(), document.PlainText());
    QCOMPARE(copy.PlainText(),
             QStringLiteral(
                 "Hälsodeklaration Ärende {1} \\ € \U0001F600\tslut\nSignatur: \uFFFC och \uFFFC"));

    QTextCursor at(copy.document());
    at.setPosition(3);
    QCOMPARE(at.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(at.charFormat().fontPointSize(), 14.0);
    QCOMPARE(at.charFormat().fontFamilies().toStringList().value(0),
             QStringLiteral("DejaVu Serif"));
    QVERIFY(!at.charFormat().fontItalic());
    at.setPosition(20);
    QVERIFY(at.charFormat().fontItalic());
    QVERIFY(at.charFormat().fontUnderline());
    QVERIFY(at.charFormat().fontWeight() < QFont::DemiBold);
    QCOMPARE(copy.document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);

    const QList<ShownPicture> pictures = picturesOf(*copy.document());
    QCOMPARE(pictures.size(), 2);
    QCOMPARE(pictures[0].image.size(), QSize(1, 1));
    QCOMPARE(pictures[0].image.pixel(0, 0), qRgb(10, 20, 30));
    QCOMPARE(pictures[1].image.size(), QSize(4, 2));
    QCOMPARE(pictures[1].shown, QSizeF(20, 10));
    QCOMPARE(pictures[1].image.pixel(3, 1), qRgb(200, 0, 0));
}

void TestRichText::roundTripKeepsFixtures_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name : {"lo_swedish.rtf", "lo_table.rtf", "lo_picture.rtf", "wordpad_dib.rtf"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestRichText::roundTripKeepsFixtures()
{
    QFETCH(QString, file);
    TRichTextDocument original;
    original.LoadRtf(fixture(file));
    TRichTextDocument copy;
    copy.LoadRtf(original.SaveRtf());
    QCOMPARE(copy.PlainText(), original.PlainText());
    const QList<ShownPicture> before = picturesOf(*original.document());
    const QList<ShownPicture> after = picturesOf(*copy.document());
    QCOMPARE(after.size(), before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        QCOMPARE(after[i].shown, before[i].shown);
        QCOMPARE(after[i].image.convertToFormat(QImage::Format_RGB32),
                 before[i].image.convertToFormat(QImage::Format_RGB32));
    }
}

void TestRichText::findsTextAroundPictures()
{
    TRichTextDocument document;
    document.SetText(QStringLiteral("Jag intygar\nSIGNATUR här och signatur där"));
    QCOMPARE(document.FindText(QStringLiteral("signatur")), 12);
    QCOMPARE(document.FindText(QStringLiteral("signatur"), 13), 29);
    QCOMPARE(document.FindText(QStringLiteral("signatur"), 0, 20), 12);
    QCOMPARE(document.FindText(QStringLiteral("signatur"), 0, 19), -1);
    QCOMPARE(document.FindText(QStringLiteral("signatur"), 13, 20), -1); // would end past the range
    QCOMPARE(document.FindText(QStringLiteral("HÄR")), 21);
    QCOMPARE(document.FindText(QStringLiteral("saknas")), -1);
    QCOMPARE(document.FindText(QString()), -1);
    QCOMPARE(document.FindText(QStringLiteral("där"), 1000), -1);
    QCOMPARE(document.FindText(QStringLiteral("Jag"), -5), 0);

    // A picture is one character: text after it is found where a cursor puts it.
    document.SetSelection(12, 8);
    document.InsertRtfAtSelection(onePixelFragment(qRgb(0, 0, 250)));
    QCOMPARE(document.PlainText(), QStringLiteral("Jag intygar\n\uFFFC här och signatur där"));
    const int found = document.FindText(QStringLiteral("och"));
    QCOMPARE(found, 18);
    document.SetSelection(found, 3);
    QCOMPARE(document.textCursor().selectedText(), QStringLiteral("och"));
    document.ReplaceSelection(QStringLiteral("samt"));
    QCOMPARE(document.PlainText(), QStringLiteral("Jag intygar\n\uFFFC här samt signatur där"));
    document.SetSelection(0, -1);
    QCOMPARE(document.textCursor().selectedText().size(), document.PlainText().size());
}

void TestRichText::replacesEveryPlaceholderWithPicture()
{
    // What the signing does: select each occurrence, empty it, insert the picture fragment.
    TRichTextDocument document;
    document.LoadRtf("{\\rtf1 Patient: %PatDigiSign%\\par Igen: %patdigisign% slut\\par}");
    const QString placeholder = QStringLiteral("%patdigisign%");
    const QByteArray fragment = onePixelFragment(qRgb(0, 0, 250));
    int replaced = 0;
    for (int at = document.FindText(placeholder); at >= 0; at = document.FindText(placeholder)) {
        document.SetSelection(at, int(placeholder.size()));
        document.ReplaceSelection(QString());
        document.InsertRtfAtSelection(fragment);
        QVERIFY(++replaced <= 2);
    }
    QCOMPARE(replaced, 2);
    QCOMPARE(document.PlainText(), QStringLiteral("Patient: \uFFFC\nIgen: \uFFFC slut"));
    const QList<ShownPicture> pictures = picturesOf(*document.document());
    QCOMPARE(pictures.size(), 2);
    QCOMPARE(pictures[1].image.pixel(0, 0), qRgb(0, 0, 250));
}

void TestRichText::blobRoundTrip_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::newRow("compressed and enciphered") << true;
    QTest::newRow("plain RTF") << false;
}

void TestRichText::blobRoundTrip()
{
    QFETCH(bool, compressed);
    TRichTextDocument document;
    document.LoadRtf(fixture(QStringLiteral("lo_picture.rtf")));
    document.StoreCompressed = compressed;
    const QByteArray blob = document.ToBlob();
    QCOMPARE(blob.startsWith("{\\rtf1"), !compressed);

    TRichTextDocument loaded; // loading does not depend on the reader's own setting
    loaded.StoreCompressed = !compressed;
    QVERIFY(loaded.FromBlob(blob));
    QCOMPARE(loaded.PlainText(), document.PlainText());
    QCOMPARE(picturesOf(*loaded.document()).size(), 1);
    QCOMPARE(loaded.SaveRtf(), document.SaveRtf());
}

void TestRichText::blobThatIsNoDocument()
{
    TRichTextDocument document;
    document.SetText(QStringLiteral("gammalt"));
    QVERIFY(!document.FromBlob("detta är ingen lagrad signatur"));
    QCOMPARE(document.PlainText(), QString());

    QVERIFY(document.FromBlob("kort"));
    QCOMPARE(document.PlainText(), QStringLiteral("kort"));
    QVERIFY(document.FromBlob(QByteArrayView()));
    QCOMPARE(document.PlainText(), QString());
}

VN_REGISTER_TEST(TestRichText)
#include "tst_richtext.moc"
