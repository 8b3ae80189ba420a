#include "signature/padlayer.h"
#include "signature/pensettings.h"
#include "signature/screenpad.h"
#include "signature/scriptedpad.h"
#include "signature/tfrmepadsettings.h"
#include "signature/tfrmepadsign.h"
#include "dialogrecorder.h"
#include "testrunner.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString kPadA = QStringLiteral("{A1A1A1A1-0000-0000-0000-000000000001}");
const QString kPadB = QStringLiteral("{B2B2B2B2-0000-0000-0000-000000000002}");
const QString kTabs = QStringLiteral("\t\t\t\t\t\t");
const QString kEpad = QStringLiteral("ePad");

QString itemText(const QString &description, int device, const QString &classId)
{
    return description + u':' + QString::number(device) + kTabs + u'\u00A4' + classId + u'\u00A4';
}

// Settings hives in a temporary folder, recorded dialogs, and a scripted pad that each test
// configures; everything is restored when the fixture ends.
class PadFixture
{
public:
    PadFixture() : m_oldRegistryDir(qgetenv("VN_REGISTRY_DIR")), m_oldKey(InstallationKey())
    {
        qputenv("VN_REGISTRY_DIR", QFile::encodeName(m_dir.path()));
        SetInstallationKey(QStringLiteral("C_Kiosk_Sign\\"));
        m_oldFactory = SetPadFactory([this](QWidget *dialog, QWidget *) -> TGIIEPad * {
            auto *pad = new TScriptedPad(dialog);
            pad->providers = providers;
            if (configure)
                configure(*pad);
            pads.append(pad);
            return pad;
        });
    }
    ~PadFixture()
    {
        SetPadFactory(std::move(m_oldFactory));
        SetInstallationKey(m_oldKey);
        if (m_oldRegistryDir.isNull())
            qunsetenv("VN_REGISTRY_DIR");
        else
            qputenv("VN_REGISTRY_DIR", m_oldRegistryDir);
    }
    Q_DISABLE_COPY_MOVE(PadFixture)

    TScriptedPad *pad() const { return pads.isEmpty() ? nullptr : pads.constLast().data(); }

    QList<TScriptedPad::Provider> providers{{kPadA, QStringLiteral("Padda"), 1, true}};
    std::function<void(TScriptedPad &)> configure;
    QList<QPointer<TScriptedPad>> pads;
    DialogRecorder dialogs;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldRegistryDir;
    QString m_oldKey;
    PadFactory m_oldFactory;
};

bool showActive(TfrmePadSign &dialog)
{
    dialog.show();
    return QTest::qWaitForWindowActive(&dialog);
}

// The dialog becoming active again, as after a message box closes.
void activateAgain(TfrmePadSign &dialog)
{
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
}

QRect inkBounds(const QImage &image, const QColor &pen)
{
    QRect bounds;
    const QRgb ink = pen.rgb();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == ink)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

bool hasInk(const QImage &image, const QColor &pen)
{
    return !inkBounds(image, pen).isNull();
}

void feedStroke(TfrmePadSign &dialog, QPoint from, QPoint to, int pressure)
{
    dialog.PadData(from.x(), from.y(), 0, false);
    dialog.PadData(from.x(), from.y(), pressure, true);
    dialog.PadData(to.x(), to.y(), pressure, true);
    dialog.PadData(to.x(), to.y(), 0, false);
}

// Runs `step` once a modal dialog of type T is up (polled, not waited for), then gives up after
// a generous bound so that a fault cannot hang the test run.
template <typename T> void whenModal(std::function<void(T *)> step)
{
    auto *timer = new QTimer(qApp);
    auto polls = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, polls, step] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            step(dialog);
        } else if (++*polls > 2000) {
            timer->stop();
            timer->deleteLater();
            if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                modal->reject();
        }
    });
    timer->start();
}

} // namespace

class TstPadSign : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void penColorFromSetting_data();
    void penColorFromSetting();
    void penSettingsStored();
    void listsDevicesAndOpensDefault_data();
    void listsDevicesAndOpensDefault();
    void layoutAndTexts();
    void emptyRangeIgnored_data();
    void emptyRangeIgnored();
    void mapsIntoMiddle_data();
    void mapsIntoMiddle();
    void penWidthFromPressure_data();
    void penWidthFromPressure();
    void strokeStartsAfterPenLifted();
    void okRefusedWhileNothingDrawn();
    void cancelAndCloseAlwaysAllowed();
    void penSettingsClearAndReread_data();
    void penSettingsClearAndReread();
    void noPadFound();
    void providerFailingTellsOnce();
    void padSoftwareMissingTellsOnce();
    void padSoftwareLostAtPenSettings();
    void scriptedSigningEndToEnd();
    void screenPadDrawsUnderPointer_data();
    void screenPadDrawsUnderPointer();
    void screenPadStylusPressure();
    void combinedPadsRouteCalls();
};

void TstPadSign::penColorFromSetting_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QColor>("colour");
    const QColor fallback(0, 0, 250);
    QTest::newRow("hexadecimal default") << u"$00FA0000"_qs << fallback;
    QTest::newRow("decimal of the default") << u"16384000"_qs << fallback;
    QTest::newRow("red is the lowest byte") << u"255"_qs << QColor(255, 0, 0);
    QTest::newRow("hexadecimal green") << u"$0000FF00"_qs << QColor(0, 255, 0);
    QTest::newRow("lower-case hexadecimal") << u"$00123456"_qs << QColor(0x56, 0x34, 0x12);
    QTest::newRow("system-colour byte ignored") << u"$FF123456"_qs << QColor(0x56, 0x34, 0x12);
    QTest::newRow("blanks around") << u" 255 "_qs << QColor(255, 0, 0);
    QTest::newRow("not a number") << u"blå"_qs << fallback;
    QTest::newRow("empty") << QString() << fallback;
    QTest::newRow("dollar alone") << u"$"_qs << fallback;
    QTest::newRow("more than 32 bits") << u"$100000000"_qs << fallback;
    QTest::newRow("hexadecimal without dollar") << u"FA0000"_qs << fallback;
}

void TstPadSign::penColorFromSetting()
{
    QFETCH(QString, setting);
    QFETCH(QColor, colour);
    QCOMPARE(PenColorFromSetting(setting), colour);
}

void TstPadSign::penSettingsStored()
{
    PadFixture fixture;
    QCOMPARE(ReadPenSize(), 2);
    QCOMPARE(ReadPenColor(), QColor(0, 0, 250));

    WritePenSettings(4, QColor(1, 2, 3));
    QCOMPARE(ReadSetting(kEpad, u"PenSize"_qs), u"4"_qs);
    QCOMPARE(ReadSetting(kEpad, u"PenColor"_qs), u"197121"_qs); // 1 + 2 * 256 + 3 * 65536
    QCOMPARE(ReadPenSize(), 4);
    QCOMPARE(ReadPenColor(), QColor(1, 2, 3));

    for (const QString &bad : {u"tjock"_qs, u"0"_qs, u"-3"_qs}) {
        WriteSetting(kEpad, u"PenSize"_qs, bad);
        QCOMPARE(ReadPenSize(), 2);
    }
}

void TstPadSign::listsDevicesAndOpensDefault_data()
{
    QTest::addColumn<QString>("storedClass");
    QTest::addColumn<QString>("storedDevice");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("openedClass");
    QTest::addColumn<int>("openedDevice");
    QTest::newRow("stored default is the second device") << kPadB << u"1"_qs << 2 << kPadB << 1;
    QTest::newRow("nothing stored opens the first") << QString() << QString() << 0 << kPadA << 0;
    QTest::newRow("stored device is gone") << kPadB << u"5"_qs << 0 << kPadA << 0;
    QTest::newRow("stored class of a failing provider") << u"{C}"_qs << u"0"_qs << 0 << kPadA << 0;
}

void TstPadSign::listsDevicesAndOpensDefault()
{
    QFETCH(QString, storedClass);
    QFETCH(QString, storedDevice);
    QFETCH(int, selected);
    QFETCH(QString, openedClass);
    QFETCH(int, openedDevice);

    PadFixture fixture;
    fixture.providers = {{kPadA, u"Padda"_qs, 1, true},
                         {u"{C}"_qs, u"Trasig"_qs, 1, false},
                         {kPadB, u"Tavla"_qs, 2, true}};
    fixture.configure = [](TScriptedPad &pad) {
        pad.minX = 10, pad.maxX = 2010, pad.minY = 20, pad.maxY = 1020;
    };
    if (!storedClass.isEmpty()) {
        WriteSetting(kEpad, u"BrevDefaultClass"_qs, storedClass);
        WriteSetting(kEpad, u"BrevDefaultDeviceNr"_qs, storedDevice);
    }

    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));

    QCOMPARE(dialog.ComboBox1->count(), 3);
    QCOMPARE(dialog.ComboBox1->itemText(0), itemText(u"Padda"_qs, 1, kPadA));
    QCOMPARE(dialog.ComboBox1->itemText(1), itemText(u"Tavla"_qs, 1, kPadB));
    QCOMPARE(dialog.ComboBox1->itemText(2), itemText(u"Tavla"_qs, 2, kPadB));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(dialog.ComboBox1->itemData(i).toInt(), i == 2 ? 1 : 0);
    QVERIFY(dialog.ComboBox1->isEnabled());
    QCOMPARE(dialog.ComboBox1->currentIndex(), selected);

    TScriptedPad *pad = fixture.pad();
    QVERIFY(pad);
    QCOMPARE(pad->openProvider, openedClass);
    QCOMPARE(pad->openDevice, openedDevice);
    QCOMPARE(dialog.g_xMin, 10.0);
    QCOMPARE(dialog.g_xMax, 2010.0);
    QCOMPARE(dialog.g_yMin, 20.0);
    QCOMPARE(dialog.g_yMax, 1020.0);
    QCOMPARE(ReadSetting(kEpad, u"BrevDefaultClass"_qs), openedClass);
    QCOMPARE(ReadSetting(kEpad, u"BrevDefaultDeviceNr"_qs), QString::number(openedDevice));
    QVERIFY(dialog.BitBtn2->isEnabled());
    QVERIFY(fixture.dialogs.shown.isEmpty());

    // Choosing another device closes the open one first and remembers the new one.
    pad->calls.clear();
    dialog.ComboBox1->setCurrentIndex(selected == 1 ? 2 : 1);
    QCOMPARE(pad->calls.mid(0, 2), (QStringList{u"CloseProvider"_qs, u"CloseConnection"_qs}));
    QCOMPARE(pad->openProvider, kPadB);
    QCOMPARE(ReadSetting(kEpad, u"BrevDefaultClass"_qs), kPadB);
}

void TstPadSign::layoutAndTexts()
{
    PadFixture fixture;
    TfrmePadSign dialog;
    QCOMPARE(dialog.windowTitle(), u"Signera digital med ePad"_qs);
    QCOMPARE(dialog.size(), QSize(575, 320));
    QCOMPARE(dialog.picSignArea->size(), QSize(575, 222));
    QCOMPARE(dialog.SignArea().size(), QSize(575, 222));
    QCOMPARE(dialog.StaticText1->text(), u"Ange Patientens signatur på ePaden"_qs);
    QCOMPARE(dialog.BitBtn1->text(), u"Börja om"_qs);
    QCOMPARE(dialog.BitBtn3->text(), u"Avbryt"_qs);
    // Large enough for a finger.
    for (QWidget *button :
         {static_cast<QWidget *>(dialog.BitBtn1), static_cast<QWidget *>(dialog.BitBtn2),
          static_cast<QWidget *>(dialog.BitBtn3)})
        QVERIFY2(button->height() >= 35 && button->width() >= 100,
                 qPrintable(button->objectName()));

    TfrmePadSettings settings;
    QCOMPARE(settings.windowTitle(), u"Redigera signaturegenskaper"_qs);
    QCOMPARE(settings.size(), QSize(314, 223));
    QCOMPARE(settings.SpinEdit1->minimum(), 1);
    QCOMPARE(settings.SpinEdit1->maximum(), 5);
    QCOMPARE(settings.Button1->text(), u"Ändra..."_qs);
}

void TstPadSign::emptyRangeIgnored_data()
{
    QTest::addColumn<int>("maxX");
    QTest::addColumn<int>("maxY");
    QTest::newRow("no width") << 100 << 1000;
    QTest::newRow("no height") << 1000 << 100;
}

void TstPadSign::emptyRangeIgnored()
{
    QFETCH(int, maxX);
    QFETCH(int, maxY);
    PadFixture fixture;
    fixture.configure = [maxX, maxY](TScriptedPad &pad) {
        pad.minX = 100, pad.maxX = maxX, pad.minY = 100, pad.maxY = maxY;
        pad.reports = {{200, 200, 0, false},
                       {200, 200, 3, true},
                       {600, 600, 3, true},
                       {900, 900, 3, true},
                       {900, 900, 0, false}};
    };
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QVERIFY(fixture.pad()->Replay());
    QVERIFY(!dialog.FSomeDatareceived);
    QVERIFY(!hasInk(dialog.SignArea(), dialog.pencolor));
}

void TstPadSign::mapsIntoMiddle_data()
{
    // The area is 575 x 222; the pad's range is 0..460 across (0.8 * 575 = 460 pixels, so one
    // unit is one pixel) and 0..1000 down.
    QTest::addColumn<int>("absX");
    QTest::addColumn<int>("absY");
    QTest::addColumn<QPoint>("point");
    QTest::newRow("range minimum at 10 %") << 0 << 0 << QPoint(58, 22);        // 57.5, 22.2
    QTest::newRow("range maximum at 90 %") << 460 << 1000 << QPoint(518, 200); // 517.5, 199.8
    QTest::newRow("half rounds down to even") << 1 << 500 << QPoint(58, 111);  // 58.5
    QTest::newRow("half rounds up to even") << 2 << 500 << QPoint(60, 111);    // 59.5
}

void TstPadSign::mapsIntoMiddle()
{
    QFETCH(int, absX);
    QFETCH(int, absY);
    QFETCH(QPoint, point);
    PadFixture fixture;
    fixture.configure = [](TScriptedPad &pad) {
        pad.minX = 0, pad.maxX = 460, pad.minY = 0, pad.maxY = 1000;
    };
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(dialog.PadToArea(absX, absY), point);

    // The ink lands there: a dot-sized stroke of width 1 around the point.
    feedStroke(dialog, {absX, absY}, {absX, absY + 1}, 1);
    QVERIFY(dialog.FSomeDatareceived);
    const QRect bounds = inkBounds(dialog.SignArea(), dialog.pencolor);
    QVERIFY2(bounds.contains(point), qPrintable(u"%1,%2 %3x%4"_qs.arg(bounds.x())
                                                    .arg(bounds.y())
                                                    .arg(bounds.width())
                                                    .arg(bounds.height())));
    QVERIFY(bounds.width() <= 2 && bounds.height() <= 3);
}

void TstPadSign::penWidthFromPressure_data()
{
    QTest::addColumn<int>("pressure");
    QTest::addColumn<int>("width");
    QTest::newRow("no pressure uses the pen size") << 0 << 4;
    QTest::newRow("pressure 1") << 1 << 1;
    QTest::newRow("pressure 3") << 3 << 3;
    QTest::newRow("pressure 5") << 5 << 5;
    QTest::newRow("pressure 6 uses the pen size") << 6 << 4;
}

void TstPadSign::penWidthFromPressure()
{
    QFETCH(int, pressure);
    QFETCH(int, width);
    PadFixture fixture;
    WriteSetting(kEpad, u"PenSize"_qs, u"4"_qs);
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(dialog.pensize, 4);

    // A horizontal line across the middle; its thickness in the middle column is the width.
    feedStroke(dialog, {2000, 5000}, {8000, 5000}, pressure);
    const QImage image = dialog.SignArea();
    int thickness = 0;
    for (int y = 0; y < image.height(); ++y)
        thickness += image.pixel(image.width() / 2, y) == dialog.pencolor.rgb() ? 1 : 0;
    QCOMPARE(thickness, width);
}

void TstPadSign::strokeStartsAfterPenLifted()
{
    PadFixture fixture;
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));

    // A tap draws nothing.
    dialog.PadData(5000, 5000, 0, false);
    dialog.PadData(5000, 5000, 0, true);
    dialog.PadData(5000, 5000, 0, false);
    QVERIFY(!dialog.FSomeDatareceived);

    // The first pen-down report of a freshly opened pad starts a stroke rather than drawing a
    // line from the corner.
    dialog.PadData(6000, 6000, 2, true);
    dialog.PadData(7000, 6000, 2, true);
    const QRect bounds = inkBounds(dialog.SignArea(), dialog.pencolor);
    QVERIFY(bounds.left() > 300);

    // Two strokes are not joined across the lift.
    dialog.StartOver();
    QVERIFY(!dialog.FSomeDatareceived);
    QVERIFY(!hasInk(dialog.SignArea(), dialog.pencolor));
    feedStroke(dialog, {1000, 1000}, {2000, 1000}, 2);
    feedStroke(dialog, {8000, 9000}, {9000, 9000}, 2);
    const QImage image = dialog.SignArea();
    QVERIFY(image.pixel(dialog.PadToArea(5000, 5000)) == qRgb(255, 255, 255));
}

void TstPadSign::okRefusedWhileNothingDrawn()
{
    PadFixture fixture;
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));

    QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QVERIFY(fixture.dialogs.shown.at(0).hint);
    QCOMPARE(fixture.dialogs.shown.at(0).hintTitle, u"Information"_qs);
    QCOMPARE(fixture.dialogs.shown.at(0).text, u"Ingen signatur detekterad!\r\rFörsök igen.\r"_qs);
    QCOMPARE(fixture.dialogs.shown.at(0).hintControl, dialog.BitBtn2);
    dialog.accept(); // the close rule holds whatever way OK comes
    QVERIFY(dialog.isVisible());

    feedStroke(dialog, {2000, 2000}, {4000, 3000}, 0);
    TScriptedPad *pad = fixture.pad();
    pad->calls.clear();
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
    QCOMPARE(accepted.size(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QCOMPARE(pad->calls, (QStringList{u"CloseProvider"_qs, u"CloseConnection"_qs}));
}

void TstPadSign::cancelAndCloseAlwaysAllowed()
{
    PadFixture fixture;
    {
        TfrmePadSign dialog;
        QVERIFY(showActive(dialog));
        QTest::mouseClick(dialog.BitBtn3, Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(fixture.pad()->openDevice, -1);
    }
    {
        TfrmePadSign dialog;
        QVERIFY(showActive(dialog));
        feedStroke(dialog, {2000, 2000}, {4000, 3000}, 0);
        QVERIFY(dialog.close());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(fixture.pad()->openDevice, -1);
    }
    QVERIFY(fixture.dialogs.shown.isEmpty());
}

void TstPadSign::penSettingsClearAndReread_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("closed with OK") << true;
    QTest::newRow("cancelled") << false;
}

void TstPadSign::penSettingsClearAndReread()
{
    QFETCH(bool, ok);
    PadFixture fixture;
    WriteSetting(kEpad, u"PenSize"_qs, u"3"_qs);
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    feedStroke(dialog, {2000, 2000}, {4000, 3000}, 0);
    QVERIFY(dialog.FSomeDatareceived);

    int shownSize = 0;
    QColor shownColour;
    whenModal<TfrmePadSettings>([&](TfrmePadSettings *settings) {
        shownSize = settings->SpinEdit1->value();
        shownColour = settings->ShapeColor();
        if (ok) {
            whenModal<QColorDialog>([](QColorDialog *colours) {
                colours->setCurrentColor(QColor(0, 128, 0));
                colours->accept();
            });
            settings->Button1->click();
            settings->SpinEdit1->setValue(5);
            QTest::mouseClick(settings->BitBtn1, Qt::LeftButton);
        } else {
            // Changed elsewhere meanwhile: the capture dialog reads it afresh.
            WriteSetting(kEpad, u"PenColor"_qs, u"255"_qs);
            settings->SpinEdit1->setValue(1);
            QTest::mouseClick(settings->BitBtn2, Qt::LeftButton);
        }
    });
    dialog.SpeedButton1Click();

    QCOMPARE(shownSize, 3);
    QCOMPARE(shownColour, QColor(0, 0, 250));
    QVERIFY(!dialog.FSomeDatareceived);
    QVERIFY(!hasInk(dialog.SignArea(), QColor(0, 0, 250)));
    if (ok) {
        QCOMPARE(dialog.pensize, 5);
        QCOMPARE(dialog.pencolor, QColor(0, 128, 0));
        QCOMPARE(ReadSetting(kEpad, u"PenSize"_qs), u"5"_qs);
        QCOMPARE(ReadSetting(kEpad, u"PenColor"_qs), u"32768"_qs);
    } else {
        QCOMPARE(dialog.pensize, 3);
        QCOMPARE(dialog.pencolor, QColor(255, 0, 0));
        QCOMPARE(ReadSetting(kEpad, u"PenSize"_qs), u"3"_qs);
    }
    // The pad is open again and draws in the new colour.
    QVERIFY(fixture.pad());
    QCOMPARE(fixture.pad()->openDevice, 0);
    feedStroke(dialog, {2000, 2000}, {4000, 3000}, 0);
    QVERIFY(hasInk(dialog.SignArea(), dialog.pencolor));
    QVERIFY(fixture.dialogs.shown.isEmpty());
}

void TstPadSign::noPadFound()
{
    PadFixture fixture;
    fixture.providers.clear();
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(dialog.ComboBox1->count(), 1);
    QCOMPARE(dialog.ComboBox1->currentText(), u"Inga ePads funna!"_qs);
    QVERIFY(!dialog.ComboBox1->isEnabled());
    QVERIFY(dialog.BitBtn2->isEnabled());
    QVERIFY(fixture.dialogs.shown.isEmpty());

    QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QVERIFY(fixture.dialogs.shown.at(0).hint);
}

void TstPadSign::providerFailingTellsOnce()
{
    PadFixture fixture;
    // Listed, but it cannot be opened to sign.
    fixture.configure = [](TScriptedPad &pad) { pad.openProviderSuccesses = 1; };
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QCOMPARE(fixture.dialogs.shown.at(0).kind, DialogKind::Information);
    QVERIFY(!fixture.dialogs.shown.at(0).hint);
    QCOMPARE(fixture.dialogs.shown.at(0).text, u"Det gick inte att öppna "_qs + kPadA + u'!');
    QCOMPARE(dialog.g_xMax, 0.0);
    QVERIFY(ReadSetting(kEpad, u"BrevDefaultClass"_qs) == kSettingMissing);

    // The message closing makes the dialog active again: the drawing is cleared, not re-told.
    activateAgain(dialog);
    activateAgain(dialog);
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QCOMPARE(fixture.pads.size(), 1);

    fixture.pad()->reports = {{100, 100, 0, false}, {100, 100, 2, true}, {900, 900, 2, true}};
    fixture.pad()->Replay();
    QVERIFY(!dialog.FSomeDatareceived);
}

void TstPadSign::padSoftwareMissingTellsOnce()
{
    PadFixture fixture;
    SetPadFactory([](QWidget *, QWidget *) -> TGIIEPad * {
        throw std::runtime_error("Klassen är inte registrerad");
    });
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QCOMPARE(fixture.dialogs.shown.at(0).kind, DialogKind::Error);
    QCOMPARE(fixture.dialogs.shown.at(0).text,
             u"Det gick inte att lista anslutna ePads!\r\rKontrollera att ePad-drivrutinerna är "
             "installerade och försök igen.\r\rKlassen är inte registrerad"_qs);
    QVERIFY(!dialog.GIIEPad1);
    QVERIFY(!dialog.BitBtn2->isEnabled());

    activateAgain(dialog);
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    // Selecting does nothing without a pad; cancel still closes.
    dialog.ComboBox1Change();
    QTest::mouseClick(dialog.BitBtn3, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TstPadSign::padSoftwareLostAtPenSettings()
{
    PadFixture fixture;
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(dialog.ComboBox1->count(), 1);
    QPointer<TScriptedPad> first = fixture.pad();

    SetPadFactory([](QWidget *, QWidget *) -> TGIIEPad * { throw std::runtime_error("borta"); });
    whenModal<TfrmePadSettings>([](TfrmePadSettings *settings) { settings->reject(); });
    dialog.SpeedButton1Click();

    // The earlier pad was closed and released; its items went with it.
    QVERIFY(!first);
    QCOMPARE(fixture.dialogs.shown.size(), 1);
    QCOMPARE(fixture.dialogs.shown.at(0).kind, DialogKind::Error);
    QVERIFY(fixture.dialogs.shown.at(0).text.endsWith(u"\r\rborta"_qs));
    QCOMPARE(dialog.ComboBox1->count(), 0);
    QVERIFY(!dialog.BitBtn2->isEnabled());
    activateAgain(dialog);
    QCOMPARE(fixture.dialogs.shown.size(), 1);
}

void TstPadSign::scriptedSigningEndToEnd()
{
    PadFixture fixture;
    fixture.configure = [](TScriptedPad &pad) {
        pad.minX = -500, pad.maxX = 500, pad.minY = -300, pad.maxY = 300;
        pad.reports = {{-400, -200, 0, false}, {-400, -200, 0, true}, {-100, 100, 0, true},
                       {200, -100, 0, true},   {400, 200, 0, true},   {400, 200, 0, false}};
    };
    TfrmePadSign dialog;
    dialog.StaticText1->setText(u"Ange Målsmans signatur på ePaden"_qs);

    auto *poll = new QTimer(&dialog);
    poll->setInterval(5);
    int polls = 0;
    connect(poll, &QTimer::timeout, &dialog, [&] {
        TScriptedPad *pad = fixture.pad();
        if (pad && pad->openDevice >= 0) {
            poll->stop();
            QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton); // refused: nothing yet
            pad->Replay();
            QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
        } else if (++polls > 2000) {
            dialog.reject();
        }
    });
    poll->start();
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));

    QCOMPARE(fixture.dialogs.shown.size(), 1);
    const QImage picture = dialog.SignArea();
    QCOMPARE(picture.format(), QImage::Format_RGB888);
    const QRect bounds = inkBounds(picture, QColor(0, 0, 250));
    // From (-400, -200) to (400, 200) of the pad: 20 % and 80 % of the range.
    const QPoint topLeft(int(0.1 * 575 + 0.8 * 575 * 0.1), qRound(0.1 * 222 + 0.8 * 222 / 6));
    QVERIFY(qAbs(bounds.left() - topLeft.x()) <= 1);
    QVERIFY(qAbs(bounds.right() - (575 - topLeft.x())) <= 1);
    QVERIFY(bounds.height() > 100);
    QCOMPARE(fixture.pad()->calls.mid(fixture.pad()->calls.size() - 2),
             (QStringList{u"CloseProvider"_qs, u"CloseConnection"_qs}));
}

void TstPadSign::screenPadDrawsUnderPointer_data()
{
    QTest::addColumn<bool>("touch");
    QTest::newRow("mouse") << false;
    QTest::newRow("finger") << true;
}

void TstPadSign::screenPadDrawsUnderPointer()
{
    QFETCH(bool, touch);
    PadFixture fixture;
    SetPadFactory({});
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QCOMPARE(dialog.ComboBox1->count(), 1);
    QCOMPARE(dialog.ComboBox1->itemText(0), itemText(u"Skärmen"_qs, 1, TScreenPad::ClassID));
    QWidget *area = dialog.picSignArea;

    // Moving over the area without pressing draws nothing.
    QTest::mouseMove(area, QPoint(150, 100));
    QVERIFY(!dialog.FSomeDatareceived);

    const QList<QPoint> path{{100, 60}, {200, 120}, {300, 150}, {420, 90}};
    if (touch) {
        // The test owns the device; it unregisters itself when deleted.
        const std::unique_ptr<QPointingDevice> screen(QTest::createTouchDevice());
        QPointingDevice *device = screen.get();
        QTest::touchEvent(&dialog, device).press(0, path.first(), area);
        for (qsizetype i = 1; i < path.size(); ++i)
            QTest::touchEvent(&dialog, device).move(0, path.at(i), area);
        QTest::touchEvent(&dialog, device).release(0, path.last(), area);
    } else {
        QTest::mousePress(area, Qt::LeftButton, {}, path.first());
        for (qsizetype i = 1; i < path.size(); ++i)
            QTest::mouseMove(area, path.at(i));
        QTest::mouseRelease(area, Qt::LeftButton, {}, path.last());
    }
    QVERIFY(dialog.FSomeDatareceived);
    const QImage image = dialog.SignArea();
    for (const QPoint &point : path)
        QVERIFY2(image.pixel(point) == dialog.pencolor.rgb(),
                 qPrintable(u"%1,%2"_qs.arg(point.x()).arg(point.y())));
    const QRect bounds = inkBounds(image, dialog.pencolor);
    QVERIFY(bounds.left() >= 98 && bounds.right() <= 422);
    QVERIFY(bounds.top() >= 58 && bounds.bottom() <= 152);

    // After the lift, the next stroke is not joined to the last.
    dialog.StartOver();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(400, 180));
    QTest::mouseMove(area, QPoint(450, 180));
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(450, 180));
    QCOMPARE(inkBounds(dialog.SignArea(), dialog.pencolor).top() >= 178, true);
}

void TstPadSign::screenPadStylusPressure()
{
    PadFixture fixture;
    SetPadFactory({});
    TfrmePadSign dialog;
    QVERIFY(showActive(dialog));
    QWidget *area = dialog.picSignArea;
    const QPointingDevice stylus(
        u"stylus"_qs, 7, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
        QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
    const auto send = [&](QEvent::Type type, QPointF position, qreal pressure) {
        QTabletEvent event(type, &stylus, position, area->mapToGlobal(position), pressure, 0, 0, 0,
                           0, 0, {}, Qt::LeftButton,
                           type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton);
        QApplication::sendEvent(area, &event);
        return event.isAccepted();
    };
    // Light pressure: 0.55 of full is 3 of the pad's 5 steps, so a 3-pixel line.
    QVERIFY(send(QEvent::TabletPress, QPointF(100.4, 111), 0.55));
    QVERIFY(send(QEvent::TabletMove, QPointF(300, 111), 0.55));
    QVERIFY(send(QEvent::TabletMove, QPointF(450, 111), 0.55));
    QVERIFY(send(QEvent::TabletRelease, QPointF(450, 111), 0));
    const QImage image = dialog.SignArea();
    int thickness = 0;
    for (int y = 0; y < image.height(); ++y)
        thickness += image.pixel(200, y) == dialog.pencolor.rgb() ? 1 : 0;
    QCOMPARE(thickness, 3);
    QCOMPARE(image.pixel(100, 111), dialog.pencolor.rgb());
}

void TstPadSign::combinedPadsRouteCalls()
{
    auto *first = new TScriptedPad;
    first->providers = {{kPadA, u"Padda"_qs, 2, true}};
    auto *second = new TScriptedPad;
    second->providers = {{kPadB, u"Tavla"_qs, 1, true}};
    second->maxX = 777;
    QObject owner;
    TGIIEPad *pad = CombinePads({first, second}, &owner);
    QCOMPARE(pad->GetNumProviders(), 2);
    QCOMPARE(pad->GetProviderClassID(0), kPadA);
    QCOMPARE(pad->GetProviderClassID(1), kPadB);
    QCOMPARE(pad->GetProviderClassID(2), QString());
    QCOMPARE(pad->GetProviderDescription(kPadB), u"Tavla"_qs);

    QVERIFY(pad->OpenProvider(kPadA));
    QCOMPARE(pad->GetNumDevices(), 2);
    pad->CloseProvider();
    QVERIFY(pad->OpenProvider(kPadB));
    QVERIFY(pad->OpenConnection(0));
    QCOMPARE(second->openDevice, 0);
    QCOMPARE(first->openDevice, -1);
    QCOMPARE(pad->ConnGetDataRangeMaxX(), 777);
    QVERIFY(!pad->OpenProvider(u"{unknown}"_qs));

    QSignalSpy reports(pad, &TGIIEPad::OnPadData);
    second->reports = {{1, 2, 3, true}};
    QVERIFY(second->Replay());
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.at(0).at(0).toInt(), 1);

    pad->CloseProvider();
    pad->CloseConnection();
    QCOMPARE(second->openDevice, -1);
    QCOMPARE(pad->ConnGetDataRangeMaxX(), 0);
}

VN_REGISTER_TEST(TstPadSign)
#include "tst_padsign.moc"
