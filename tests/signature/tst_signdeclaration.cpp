#include "signature/richtextdocument.h"
#include "signature/scriptedpad.h"
#include "signature/signdeclaration.h"
#include "signature/tfrmepadsign.h"
#include "dialogrecorder.h"
#include "testrunner.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"
#include "widgets/inputform.h"

#include <QApplication>
#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTimer>
#include <memory>
#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// The capture dialog's drawing area.
constexpr int kAreaWidth = 575;
constexpr int kAreaHeight = 222;
// The default pen colour: red 0, green 0, blue 250.
const QColor kPen(0, 0, 250);

// Stands in for the capture dialog: gives the prepared drawing areas in turn (nullopt is a
// cancel) and keeps the headings it was shown with.
class ScriptedCapture
{
public:
    explicit ScriptedCapture(QList<std::optional<QImage>> areas)
        : m_state(std::make_shared<State>())
    {
        m_state->areas = std::move(areas);
        m_previous = SetCaptureFunction([state = m_state](const QString &heading) {
            state->headings.append(heading);
            if (state->areas.isEmpty())
                return std::optional<QImage>();
            return state->areas.takeFirst();
        });
    }
    ~ScriptedCapture() { SetCaptureFunction(std::move(m_previous)); }
    Q_DISABLE_COPY_MOVE(ScriptedCapture)

    QStringList headings() const { return m_state->headings; }

private:
    struct State
    {
        QList<std::optional<QImage>> areas;
        QStringList headings;
    };
    std::shared_ptr<State> m_state;
    CaptureFunction m_previous;
};

// Answers the name-clarification dialog: records what it offered, types `answer` (when given)
// and closes it with OK or cancel.
class NameDialog
{
public:
    NameDialog(std::optional<QString> answer, bool accept)
    {
        TInputForm::SetShownHook([this, answer, accept](TInputForm &form) {
            captions.append(form.windowTitle());
            prompts.append(form.GroupBox1()->title());
            offered.append(form.wwDBEdit1()->text());
            maxLengths.append(form.wwDBEdit1()->maxLength());
            if (answer)
                form.wwDBEdit1()->setText(*answer);
            (accept ? form.BitBtn1() : form.BitBtn2())->click();
        });
    }
    ~NameDialog() { TInputForm::SetShownHook({}); }
    Q_DISABLE_COPY_MOVE(NameDialog)

    QStringList captions, prompts, offered;
    QList<int> maxLengths;
};

QImage blankArea(QImage::Format format = QImage::Format_RGB888)
{
    QImage area(kAreaWidth, kAreaHeight, format);
    area.fill(Qt::white);
    return area;
}

// A drawing area with one filled stroke rectangle in the pen colour.
QImage signedArea(const QRect &stroke = QRect(100, 50, 60, 30), const QColor &color = kPen)
{
    QImage area = blankArea();
    for (int y = stroke.top(); y <= stroke.bottom(); ++y)
        for (int x = stroke.left(); x <= stroke.right(); ++x)
            area.setPixelColor(x, y, color);
    return area;
}

QFontMetrics arialMetrics(int pointSize)
{
    // The pictures are drawn at 96 dpi; measure the same way.
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        return image;
    }();
    return QFontMetrics(SignatureFont(pointSize), &device);
}

bool hasInk(const QImage &image, int top, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != QColor(Qt::white))
                return true;
    return false;
}

// The pictures the document holds, in document order.
QList<QImage> picturesIn(const TRichTextDocument &document)
{
    QList<QImage> pictures;
    QTextDocument *text = document.document();
    for (QTextBlock block = text->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QVariant resource =
                text->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
            pictures.append(resource.canConvert<QImage>() ? resource.value<QImage>()
                                                          : resource.value<QPixmap>().toImage());
        }
    }
    return pictures;
}

} // namespace

class TestSignDeclaration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void cropSignature_data();
    void cropSignature();
    void cropFindsNothingInAnotherColour();

    void rtfPictureOfOnePixel();
    void rtfPictureRowsBottomUpAndPadded();

    void guardianNameDefault_data();
    void guardianNameDefault();
    void timeStamp();
    void pictureLayout_data();
    void pictureLayout();

    void noPlaceholderAsksNothing();
    void placeholderTwiceSignedOnce();
    void cancelledGuardianStillAsksCareProvider();
    void noStrokesStopsSigning();
    void guardianNameFromDialogEvenOnCancel();
    void failureWhileSigningIsReported();
    void signsThroughTheCaptureDialog();

private:
    std::unique_ptr<QTemporaryDir> m_registry;
    QByteArray m_oldRegistryDir;
    bool m_hadRegistryDir = false;
};

void TestSignDeclaration::initTestCase()
{
    m_registry = std::make_unique<QTemporaryDir>();
    QVERIFY(m_registry->isValid());
    m_hadRegistryDir = qEnvironmentVariableIsSet("VN_REGISTRY_DIR");
    m_oldRegistryDir = qgetenv("VN_REGISTRY_DIR");
    qputenv("VN_REGISTRY_DIR", m_registry->path().toLocal8Bit());
}

void TestSignDeclaration::cleanupTestCase()
{
    if (m_hadRegistryDir)
        qputenv("VN_REGISTRY_DIR", m_oldRegistryDir);
    else
        qunsetenv("VN_REGISTRY_DIR");
}

void TestSignDeclaration::init()
{
    WriteSetting(u"ePad"_s, u"PenColor"_s, u"$00FA0000"_s);
}

void TestSignDeclaration::cropSignature_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<QPoint>>("strokes");
    QTest::addColumn<QRect>("expected");

    const QList<QPoint> corner{{0, 0}, {1, 0}, {2, 1}, {3, 2}, {0, 3}};
    const QList<QPoint> curve{{40, 30}, {41, 31}, {43, 33}, {120, 90}, {80, 150}};
    const QList<QPoint> farCorner{{kAreaWidth - 1, kAreaHeight - 1}};
    for (const QImage::Format format :
         {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32}) {
        const QByteArray suffix = format == QImage::Format_RGB888  ? " (RGB888)"
                                  : format == QImage::Format_RGB32 ? " (RGB32)"
                                                                   : " (ARGB32)";
        const auto row = [&suffix](const char *name) -> QTestData & {
            return QTest::newRow(QByteArray(name + suffix).constData());
        };
        row("single pixel: 2 x 2 from one up and left")
            << int(format) << QList<QPoint>{{10, 20}} << QRect(9, 19, 2, 2);
        row("strokes touching the top-left corner keep 0")
            << int(format) << corner << QRect(0, 0, 4, 4);
        row("strokes spread over the area") << int(format) << curve << QRect(39, 29, 82, 122);
        row("last pixel of the area")
            << int(format) << farCorner << QRect(kAreaWidth - 2, kAreaHeight - 2, 2, 2);
    }
}

void TestSignDeclaration::cropSignature()
{
    QFETCH(int, format);
    QFETCH(QList<QPoint>, strokes);
    QFETCH(QRect, expected);

    QImage source = blankArea(QImage::Format(format));
    // A colour one step off the pen colour in every channel must not count.
    source.setPixelColor(300, 200, QColor(1, 1, 250));
    source.setPixelColor(301, 200, QColor(0, 0, 251));
    for (const QPoint &point : strokes)
        source.setPixelColor(point, kPen);

    DialogRecorder dialogs;
    QImage target;
    QVERIFY(CropSignature(source, target));
    QCOMPARE(target.format(), QImage::Format_RGB888);
    QCOMPARE(target.size(), expected.size());
    QCOMPARE(target, source.copy(expected).convertToFormat(QImage::Format_RGB888));
    QVERIFY(dialogs.shown.isEmpty());
}

void TestSignDeclaration::cropFindsNothingInAnotherColour()
{
    // The strokes were drawn in blue, then the setting was changed to red elsewhere.
    WriteSetting(u"ePad"_s, u"PenColor"_s, u"255"_s);
    const QImage source = signedArea();
    QImage target;
    QVERIFY(!CropSignature(source, target));
    QCOMPARE(target.size(), source.size());
    QCOMPARE(target.format(), QImage::Format_RGB888);

    // And the same strokes are found once the setting names their colour again, in hex form.
    WriteSetting(u"ePad"_s, u"PenColor"_s, u"$00FA0000"_s);
    QVERIFY(CropSignature(source, target));
    QCOMPARE(target.size(), QSize(61, 31));
}

void TestSignDeclaration::rtfPictureOfOnePixel()
{
    QImage pixel(1, 1, QImage::Format_RGB888);
    pixel.setPixelColor(0, 0, QColor(0x12, 0x34, 0x56));

    QByteArray stream("earlier");
    BitmapToRtfPicture(pixel, stream);

    const QByteArray header = "{\\rtf1 {\\pict\\picw1\\pich1\\dibitmap0 ";
    const QByteArray dib = "28000000" // header size 40
                           "01000000" // width
                           "01000000" // height, positive: bottom-up
                           "0100"     // planes
                           "1800"     // 24 bits per pixel
                           "00000000" // no compression
                           "04000000" // image size: one row of 4 bytes
                           "00000000"
                           "00000000"
                           "00000000"
                           "00000000"
                           "56341200"; // blue, green, red, one pad byte
    QCOMPARE(dib.size(), 88);
    QCOMPARE(stream, QByteArray("earlier" + header + dib + " }}"));
}

void TestSignDeclaration::rtfPictureRowsBottomUpAndPadded()
{
    // 2 x 2 in RGB32: rows of 6 bytes padded to 8, the bottom row first.
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixelColor(0, 0, QColor(0xA1, 0xA2, 0xA3));
    picture.setPixelColor(1, 0, QColor(0xB1, 0xB2, 0xB3));
    picture.setPixelColor(0, 1, QColor(0xC1, 0xC2, 0xC3));
    picture.setPixelColor(1, 1, QColor(0xD1, 0xD2, 0xD3));

    QByteArray stream;
    BitmapToRtfPicture(picture, stream);
    const QByteArray header = "{\\rtf1 {\\pict\\picw2\\pich2\\dibitmap0 ";
    QVERIFY(stream.startsWith(header));
    QVERIFY(stream.endsWith(" }}"));
    const QByteArray hex = stream.mid(header.size(), stream.size() - header.size() - 3);
    QCOMPARE(hex.size(), 2 * (40 + 16));
    QCOMPARE(hex.mid(40, 8), "10000000"); // image size 16
    QCOMPARE(hex.mid(80), "C3C2C1D3D2D10000"
                          "A3A2A1B3B2B10000");
}

void TestSignDeclaration::guardianNameDefault_data()
{
    QTest::addColumn<QString>("guardian");
    QTest::addColumn<QString>("secondGuardian");
    QTest::addColumn<QString>("expected");

    QTest::newRow("both given: joined untrimmed")
        << u"Anna Berg"_s << u"Bo Berg"_s << u"Anna Berg : Bo Berg"_s;
    QTest::newRow("both given with blanks: kept") << u" Anna "_s << u"Bo "_s << u" Anna  : Bo "_s;
    QTest::newRow("first blank only, second padded: second trimmed")
        << u"   "_s << u"  Bo Berg  "_s << u"Bo Berg"_s;
    QTest::newRow("first only: trimmed") << u" Anna Berg "_s << QString() << u"Anna Berg"_s;
    QTest::newRow("both empty") << QString() << QString() << QString();
    QTest::newRow("both blank") << u"  "_s << u"\t"_s << QString();
}

void TestSignDeclaration::guardianNameDefault()
{
    QFETCH(QString, guardian);
    QFETCH(QString, secondGuardian);
    QFETCH(QString, expected);
    QCOMPARE(GuardianNameDefault(guardian, secondGuardian), expected);
}

void TestSignDeclaration::timeStamp()
{
    const QDateTime when(QDate(2026, 3, 4), QTime(14, 7, 31));
    QCOMPARE(SignatureTimeStamp(when), u"Digital signatur: ePad 2026-03-04 14:07:31"_s);
    QCOMPARE(SignatureTimeStamp(QDateTime(QDate(2026, 12, 31), QTime(9, 5, 0))),
             u"Digital signatur: ePad 2026-12-31 09:05:00"_s);
}

void TestSignDeclaration::pictureLayout_data()
{
    QTest::addColumn<QSize>("strokes");
    QTest::addColumn<std::optional<QString>>("nameLine");
    QTest::addColumn<bool>("widenedForName");
    QTest::addColumn<bool>("widenedForTimeStamp");

    const std::optional<QString> none;
    const QString longName = u"Namnförtydligande: Anna-Karin Johansson Lindqvist"_s;
    QTest::newRow("narrow strokes, long name: widened to the name")
        << QSize(30, 20) << std::optional<QString>(longName) << true << false;
    QTest::newRow("narrow strokes, short name: widened to the name, stamp cut off")
        << QSize(30, 20) << std::optional<QString>(u"Namnförtydligande: Bo"_s) << true << false;
    QTest::newRow("wide strokes, name fits")
        << QSize(500, 60) << std::optional<QString>(u"Namnförtydligande: Bo"_s) << false << false;
    // Wider than the text alone but too narrow for it drawn 5 pixels in.
    QTest::newRow("strokes just wider than the name: widened so the name is not cut off")
        << QSize(arialMetrics(10).horizontalAdvance(longName) + 3, 20)
        << std::optional<QString>(longName) << true << false;
    QTest::newRow("care provider, narrow strokes: widened to the stamp")
        << QSize(30, 20) << none << false << true;
    QTest::newRow("care provider, wide strokes") << QSize(500, 60) << none << false << false;
}

void TestSignDeclaration::pictureLayout()
{
    QFETCH(QSize, strokes);
    QFETCH(std::optional<QString>, nameLine);
    QFETCH(bool, widenedForName);
    QFETCH(bool, widenedForTimeStamp);

    QImage crop(strokes, QImage::Format_RGB888);
    crop.fill(kPen);
    const QString stamp = SignatureTimeStamp(QDateTime(QDate(2026, 3, 4), QTime(14, 7, 31)));
    const QImage picture = ComposeSignaturePicture(crop, nameLine, stamp);
    QCOMPARE(picture.format(), QImage::Format_RGB888);

    const QFontMetrics name = arialMetrics(10);
    const QFontMetrics small = arialMetrics(6);
    const int nameBand = nameLine ? name.height() + 4 : 0;
    const int stampBand = small.height() + 2;
    QCOMPARE(picture.height(), strokes.height() + nameBand + stampBand);

    int expectedWidth = strokes.width();
    if (widenedForName)
        expectedWidth = name.horizontalAdvance(*nameLine) + 10;
    if (widenedForTimeStamp)
        expectedWidth = small.horizontalAdvance(stamp) + 10;
    QCOMPARE(picture.width(), expectedWidth);
    if (nameLine && widenedForName && *nameLine == u"Namnförtydligande: Bo"_s)
        QVERIFY(small.horizontalAdvance(stamp) + 5 > picture.width()); // the stamp is cut off

    // The strokes stay at the top-left, the enlarged area is white, each band holds its text.
    QCOMPARE(picture.copy(QRect(QPoint(0, 0), strokes)), crop);
    QVERIFY(!hasInk(
        picture.copy(strokes.width(), 0, picture.width() - strokes.width(), strokes.height()), 0,
        strokes.height()));
    if (nameLine)
        QVERIFY(hasInk(picture, strokes.height(), strokes.height() + nameBand));
    QVERIFY(hasInk(picture, strokes.height() + nameBand, picture.height()));
    // Text stays 5 pixels clear of the left edge.
    QVERIFY(!hasInk(picture.copy(0, strokes.height(), 5, picture.height() - strokes.height()), 0,
                    picture.height() - strokes.height()));
}

void TestSignDeclaration::noPlaceholderAsksNothing()
{
    DialogRecorder dialogs;
    ScriptedCapture capture({signedArea()});
    NameDialog names(std::nullopt, true);
    TRichTextDocument document;
    document.SetText(u"Jag intygar att uppgifterna stämmer. patdigisign %vg digisign%"_s);

    QVERIFY(SignDeclaration(document, u"Anna Andersson"_s, u"Eva"_s, QString()));
    QVERIFY(capture.headings().isEmpty());
    QVERIFY(names.captions.isEmpty());
    QVERIFY(dialogs.shown.isEmpty());
    QCOMPARE(document.PlainText(),
             u"Jag intygar att uppgifterna stämmer. patdigisign %vg digisign%"_s);
}

void TestSignDeclaration::placeholderTwiceSignedOnce()
{
    DialogRecorder dialogs;
    ScriptedCapture capture({signedArea(QRect(100, 50, 60, 30))});
    NameDialog names(std::nullopt, true);
    TRichTextDocument document;
    document.SetText(u"Underskrift: %patdigisign%\nKopia: %PatDigiSign% slut"_s);

    QVERIFY(SignDeclaration(document, u"Anna Andersson"_s, QString(), QString()));
    QCOMPARE(capture.headings(), QStringList{u"Ange Anna Andersson signatur på ePaden"_s});
    QVERIFY(names.captions.isEmpty()); // the patient's own name, no dialog
    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(document.StoreCompressed);

    const QString text = document.PlainText();
    QCOMPARE(document.FindText(u"%patdigisign%"_s), -1);
    QVERIFY(text.startsWith(u"Underskrift: "_s));
    QVERIFY(text.endsWith(u" slut"_s));
    QCOMPARE(text.count(QChar::ObjectReplacementCharacter), 2);

    const QList<QImage> pictures = picturesIn(document);
    QCOMPARE(pictures.size(), 2);
    QCOMPARE(pictures[0].size(), pictures[1].size());
    // Crop 61 x 31 (one pixel margin above and left), then the name and time-stamp bands,
    // widened for the name line.
    const QFontMetrics name = arialMetrics(10);
    QCOMPARE(pictures[0].height(), 31 + name.height() + 4 + arialMetrics(6).height() + 2);
    QCOMPARE(pictures[0].width(),
             name.horizontalAdvance(u"Namnförtydligande: Anna Andersson"_s) + 10);
}

void TestSignDeclaration::cancelledGuardianStillAsksCareProvider()
{
    DialogRecorder dialogs;
    ScriptedCapture capture({std::nullopt, signedArea()});
    NameDialog names(std::nullopt, true);
    TRichTextDocument document;
    document.SetText(u"Målsman: %patmaldigisign% Vårdgivare: %vgdigisign%"_s);

    QVERIFY(!SignDeclaration(document, u"Anna Andersson"_s, u"Eva Andersson"_s, QString()));
    QCOMPARE(capture.headings(), (QStringList{u"Ange Målsmans signatur på ePaden"_s,
                                              u"Ange Vårdgivarens signatur på ePaden"_s}));
    QVERIFY(names.captions.isEmpty());  // no name line for the care provider
    QVERIFY(dialogs.shown.isEmpty()); // a cancel says nothing
    QVERIFY(document.FindText(u"%patmaldigisign%"_s) >= 0);
    QCOMPARE(document.FindText(u"%vgdigisign%"_s), -1);
    QCOMPARE(picturesIn(document).size(), 1);
}

void TestSignDeclaration::noStrokesStopsSigning()
{
    DialogRecorder dialogs;
    ScriptedCapture capture({blankArea(), signedArea()});
    TRichTextDocument document;
    document.SetText(u"%patdigisign% %vgdigisign%"_s);

    QVERIFY(!SignDeclaration(document, u"Anna Andersson"_s, QString(), QString()));
    QCOMPARE(capture.headings().size(), 1); // the care provider is not asked
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.first().kind, DialogKind::Information);
    QCOMPARE(dialogs.shown.first().text, u"Ingen signatur kunde detekteras!"_s);
    QVERIFY(document.FindText(u"%patdigisign%"_s) >= 0);
    QVERIFY(document.FindText(u"%vgdigisign%"_s) >= 0);
}

void TestSignDeclaration::guardianNameFromDialogEvenOnCancel()
{
    DialogRecorder dialogs;
    ScriptedCapture capture({signedArea(), signedArea()});
    const QString typed = u"Karl-Gustav Wilhelmsson-Andersson"_s;
    NameDialog names(typed, false); // typed, then cancelled
    TRichTextDocument document;
    document.SetText(u"%patmal2digisign% och %patmaldigisign%"_s);

    QVERIFY(SignDeclaration(document, u"Anna Andersson"_s, u" Eva Andersson "_s, u"  "_s));
    // The guardian is asked before the second guardian.
    QCOMPARE(capture.headings(), (QStringList{u"Ange Målsmans signatur på ePaden"_s,
                                              u"Ange Målsman2 signatur på ePaden"_s}));
    QCOMPARE(names.captions, QStringList(2, u"Ange namnförtydligande"_s));
    QCOMPARE(names.prompts, QStringList(2, u"Namn:"_s));
    QCOMPARE(names.offered, QStringList(2, u"Eva Andersson"_s));
    QCOMPARE(names.maxLengths, QList<int>(2, 40));
    QVERIFY(dialogs.shown.isEmpty());

    const QList<QImage> pictures = picturesIn(document);
    QCOMPARE(pictures.size(), 2);
    // The picture is as wide as the typed name's line, not the offered one's.
    QCOMPARE(pictures[0].width(),
             arialMetrics(10).horizontalAdvance(u"Namnförtydligande: "_s + typed) + 10);
}

void TestSignDeclaration::failureWhileSigningIsReported()
{
    DialogRecorder dialogs;
    int asked = 0;
    const CaptureFunction previous =
        SetCaptureFunction([&asked](const QString &) -> std::optional<QImage> {
            ++asked;
            throw std::runtime_error("Pennan svarar inte");
        });
    TRichTextDocument document;
    document.SetText(u"%patdigisign% %vgdigisign%"_s);

    const bool signedAll = SignDeclaration(document, u"Anna Andersson"_s, QString(), QString());
    SetCaptureFunction(previous);
    QVERIFY(!signedAll);
    QCOMPARE(asked, 1);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.first().kind, DialogKind::Error);
    QCOMPARE(dialogs.shown.first().text, u"Det gick inte att signera!\r\rPennan svarar inte"_s);
    QVERIFY(document.FindText(u"%patdigisign%"_s) >= 0);
}

void TestSignDeclaration::signsThroughTheCaptureDialog()
{
    // The real capture dialog over a scripted pad: one stroke, then OK.
    DialogRecorder dialogs;
    QPointer<TScriptedPad> pad;
    const PadFactory previousPad = SetPadFactory([&pad](QWidget *dialog, QWidget *) {
        auto *scripted = new TScriptedPad(dialog);
        scripted->providers = {{u"{5E1A0C2D-0001}"_s, u"Testpadda"_s, 1, true}};
        scripted->reports = {{2000, 3000, 0, false},
                             {2000, 3000, 0, true},
                             {8000, 6000, 0, true},
                             {8000, 6000, 0, false}};
        pad = scripted;
        return static_cast<TGIIEPad *>(scripted);
    });

    QString heading;
    int polls = 0;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &poll, [&] {
        auto *dialog = qobject_cast<TfrmePadSign *>(QApplication::activeModalWidget());
        if (dialog && pad && pad->openDevice >= 0) {
            poll.stop();
            heading = dialog->StaticText1->text();
            pad->Replay();
            dialog->BitBtn2->click();
        } else if (++polls > 2000) { // a fault must not hang the run
            poll.stop();
            if (dialog)
                dialog->reject();
        }
    });
    poll.start();

    TRichTextDocument document;
    document.SetText(u"Patient: %patdigisign%"_s);
    const bool signedAll = SignDeclaration(document, u"Anna Andersson"_s, QString(), QString());
    SetPadFactory(previousPad);

    QVERIFY(signedAll);
    QCOMPARE(heading, u"Ange Anna Andersson signatur på ePaden"_s);
    for (const DialogRecorder::Shown &message : dialogs.shown)
        QVERIFY2(message.kind != DialogKind::Error, qPrintable(message.text));
    QCOMPARE(document.FindText(u"%patdigisign%"_s), -1);
    const QList<QImage> pictures = picturesIn(document);
    QCOMPARE(pictures.size(), 1);
    // The stroke spans a good part of the area: the crop is far larger than a pixel or two.
    QVERIFY(pictures.first().height() > 40 + arialMetrics(10).height());
}

VN_REGISTER_TEST(TestSignDeclaration)

#include "tst_signdeclaration.moc"
