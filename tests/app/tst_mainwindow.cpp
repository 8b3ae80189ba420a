#include "app/personnummer.h"
#include "app/startuphooks.h"
#include "app/tfrmhalsodekmain.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "questionnaire/questionnairepage.h"
#include "demo/demojournal.h"
#include "kioskfixture.h"
#include "testrunner.h"
#include "toolkit/powerhandling.h"
#include "toolkit/settings.h"
#include "widgets/inputform.h"
#include "widgets/maskededit.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

const QString kStyleSection = u"KlientSettings"_s;
const QString kMarkerSection = u"ZoruvUri"_s;

// Answers each password dialog with the next text; an empty text cancels.
class PasswordAnswers
{
public:
    explicit PasswordAnswers(QStringList answers) : m_answers(std::move(answers))
    {
        TInputForm::SetShownHook([this](TInputForm &form) {
            ++m_asked;
            m_captions.append(form.windowTitle() + u'|' + form.GroupBox1()->title());
            const QString answer = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
            if (answer.isEmpty()) {
                form.BitBtn2()->click();
                return;
            }
            form.wwDBEdit1()->setText(answer);
            form.BitBtn1()->click();
        });
    }
    ~PasswordAnswers() { TInputForm::SetShownHook({}); }
    Q_DISABLE_COPY_MOVE(PasswordAnswers)

    int asked() const { return m_asked; }
    QStringList captions() const { return m_captions; }

private:
    QStringList m_answers;
    QStringList m_captions;
    int m_asked = 0;
};

void identify(TfrmHalsoDekMain &window, const QString &personnr)
{
    window.oedit5->setText(personnr);
    window.SpeedButton3->click();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowAndTopBar();
    void styleSettings();
    void personnummerPicture_data();
    void personnummerPicture();
    void exitGesture_data();
    void exitGesture();
    void exitGestureTimer();
    void closeButton_data();
    void closeButton();
    void externalCloseRefused();
    void unreachableDatabaseClosesAtActivation();
    void updateHandOverEndsStartup();
    void mouseWheel();
    void connectionsFollowSleepAndWake();
};

void TestMainWindow::windowAndTopBar()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(window->windowState().testFlag(Qt::WindowMaximized));
    QCOMPARE(window->font().pixelSize(), 24);
    QCOMPARE(window->oedit5->font().pixelSize(), 32);
    QCOMPARE(window->oedit5->maxLength(), 15);
    for (QToolButton *button : {window->SpeedButton1, window->SpeedButton2, window->SpeedButton3}) {
        QCOMPARE(button->size(), QSize(64, 102));
        QCOMPARE(button->icon().actualSize(QSize(48, 48)), QSize(48, 48));
    }
    QCOMPARE(window->Panel4->width(), 505);
    QCOMPARE(window->AppBar->height(), 102);
    QCOMPARE(window->Label4->text(), u"version: "_s + QStringLiteral(VN_PROJECT_VERSION));
    QCOMPARE(window->Timer3->interval(), 500);
    QVERIFY(!window->Timer3->isActive());
    QVERIFY(!window->closenow);
    // The kiosk starts with a transaction open, ready for the first patient.
    QVERIFY(window->Database1->InTransaction());
    QCOMPARE(kiosk.dialogs.shown.size(), 0);

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->PageControl1->currentIndex(), 0);
    QVERIFY(window->SpeedButton3->isVisible());
    QVERIFY(!window->SpeedButton2->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(window->oedit5));
}

void TestMainWindow::styleSettings()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    kiosk.makeWindow();
    QCOMPARE(ReadSetting(kStyleSection, u"Style"_s), u"Onyx Blue"_s);
    QCOMPARE(ReadSetting(kMarkerSection, u"StyleIsSet"_s), u"1"_s);

    // Staff chose another style by hand: a later start keeps it.
    WriteSetting(kStyleSection, u"Style"_s, u"Fusion"_s);
    kiosk.makeWindow();
    QCOMPARE(ReadSetting(kStyleSection, u"Style"_s), u"Fusion"_s);

    // A style unknown to the program changes nothing and says nothing.
    WriteSetting(kStyleSection, u"Style"_s, u"Carbon Night"_s);
    kiosk.makeWindow();
    QCOMPARE(ReadSetting(kStyleSection, u"Style"_s), u"Carbon Night"_s);
    QCOMPARE(kiosk.dialogs.shown.size(), 0);
}

void TestMainWindow::personnummerPicture_data()
{
    QTest::addColumn<QString>("setupSql");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("format code 0: twelve digits with the dash filled in")
        << QString() << kTwelveDigitPicture << u"197804122385"_s << u"19780412-2385"_s;
    QTest::newRow("no format code row: twelve digits")
        << u"DELETE FROM FIELDCOUNTERS WHERE TABLENAME = 'Personnummer'"_s << kTwelveDigitPicture
        << u"197804122385"_s << u"19780412-2385"_s;
    QTest::newRow("format code 1: six digits, dash, four digits")
        << u"UPDATE FIELDCOUNTERS SET COUNTER = 1 WHERE TABLENAME = 'Personnummer'"_s
        << kTenDigitPicture << u"7804122385"_s << u"780412-2385"_s;
    QTest::newRow("PersonnummerMask row wins over format code 1")
        << u"UPDATE FIELDCOUNTERS SET COUNTER = 1 WHERE TABLENAME = 'Personnummer';"
           "INSERT INTO FIELDCOUNTERS (TABLENAME, FIELDNAME, COUNTER) "
           "VALUES ('PersonnummerMask', '############', 0)"_s
        << u"############"_s << u"197804122385"_s << u"197804122385"_s;
}

void TestMainWindow::personnummerPicture()
{
    QFETCH(QString, setupSql);
    QFETCH(QString, picture);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    for (const QString &statement : setupSql.split(u';', Qt::SkipEmptyParts))
        kiosk.db().exec(statement);
    auto window = kiosk.makeWindow();
    QCOMPARE(window->oedit5->PictureMask(), picture);
    QCOMPARE(PersonnummerPictureInUse(), picture);
    QVERIFY(window->oedit5->AllowInvalidExit());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->oedit5->setFocus();
    QTest::keyClicks(window->oedit5, typed);
    QCOMPARE(window->oedit5->text(), shown);
}

void TestMainWindow::exitGesture_data()
{
    // Taps on the close button: 't' a tap, '.' Timer3 elapsing (more than 500 ms of quiet).
    QTest::addColumn<QString>("taps");
    QTest::addColumn<QStringList>("passwords");
    QTest::addColumn<int>("dialogsOpened");
    QTest::addColumn<QList<int>>("exitCodes");
    QTest::addColumn<int>("countAfter");
    const QList<int> none;
    QTest::newRow("three quick taps: no dialog") << u"ttt"_s << QStringList() << 0 << none << 2;
    QTest::newRow("four quick taps, right password: exit code 1")
        << u"tttt"_s << QStringList{u"felmanta"_s} << 1 << QList<int>{1} << 0;
    QTest::newRow("password compared with case")
        << u"tttt"_s << QStringList{u"Felmanta"_s} << 1 << none << 0;
    QTest::newRow("cancelled dialog") << u"tttt"_s << QStringList{QString()} << 1 << none << 0;
    QTest::newRow("one tap, pause, then three quick taps")
        << u"t.tttt"_s << QStringList() << 1 << none << 0;
    QTest::newRow("pauses do not reset the count: interrupted runs add up")
        << u"tt.tt.tt"_s << QStringList() << 1 << none << 0;
    QTest::newRow("taps each after a pause never count")
        << u"t.t.t.t.t"_s << QStringList() << 0 << none << 0;
    QTest::newRow("eight quick taps ask twice")
        << u"tttttttt"_s << QStringList{u"fel"_s, u"felmanta"_s} << 2 << QList<int>{1} << 0;
}

void TestMainWindow::exitGesture()
{
    QFETCH(QString, taps);
    QFETCH(QStringList, passwords);
    QFETCH(int, dialogsOpened);
    QFETCH(QList<int>, exitCodes);
    QFETCH(int, countAfter);
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    PasswordAnswers answers(passwords);
    for (const QChar step : taps) {
        if (step == u't')
            QTest::mouseClick(window->SpeedButton1, Qt::LeftButton);
        else
            window->Timer3Timer();
    }
    QCOMPARE(answers.asked(), dialogsOpened);
    if (dialogsOpened > 0)
        QCOMPARE(answers.captions().first(), u"Avsluta Razevaruro|Ange lösenord:"_s);
    QCOMPARE(kiosk.exitCodes, exitCodes);
    QCOMPARE(window->klickatpostang, countAfter);
}

void TestMainWindow::exitGestureTimer()
{
    // The real timer ends the window of quick taps.
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    window->Timer3->setInterval(1);
    window->SpeedButton1->click();
    QVERIFY(window->Timer3->isActive());
    QTRY_VERIFY(!window->Timer3->isActive());
    window->SpeedButton1->click();
    QCOMPARE(window->klickatpostang, 0);
    QVERIFY(window->Timer3->isActive());
}

void TestMainWindow::closeButton_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("pageAfter");
    QTest::addColumn<bool>("rowKept");
    QTest::newRow("no changes: back at once, no question") << false << mrNo << 0 << 0 << true;
    QTest::newRow("changes, No: stays on the questionnaire") << true << mrNo << 1 << 1 << true;
    QTest::newRow("changes, Yes: rolled back, back to identification")
        << true << mrYes << 1 << 0 << false;
}

void TestMainWindow::closeButton()
{
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(int, questions);
    QFETCH(int, pageAfter);
    QFETCH(bool, rowKept);
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    identify(*window, demojournal::kAdultPersonnr.toString());
    QCOMPARE(window->PageControl1->currentIndex(), 1);
    // An answer written inside the declaration transaction.
    TVNAdoQuery write;
    write.SetConnection(window->Database1);
    write.SQLAdd(
        u"INSERT INTO FIELDCOUNTERS (TABLENAME, FIELDNAME, COUNTER) VALUES ('T', 'F', 1)"_s);
    write.ExecSQL();
    window->Questionnaire->FModified = modified;
    kiosk.dialogs.answers = {answer};

    window->SpeedButton1->click();

    int questionsAsked = 0;
    for (const auto &shown : std::as_const(kiosk.dialogs.shown)) {
        if (shown.kind == DialogKind::Question) {
            ++questionsAsked;
            QCOMPARE(shown.text, u"Vill du ångra inmatningen?"_s);
        }
    }
    QCOMPARE(questionsAsked, questions);
    QCOMPARE(window->PageControl1->currentIndex(), pageAfter);
    QCOMPARE(window->Questionnaire->FModified, modified && answer != mrYes);
    QVERIFY(window->Database1->InTransaction());
    TVNAdoQuery read;
    read.SetConnection(window->Database1);
    read.SQLAdd(u"SELECT COUNT(*) AS N FROM FIELDCOUNTERS WHERE TABLENAME = 'T'"_s);
    read.Open();
    QCOMPARE(read.FieldByName(u"N"_s).AsInteger() == 1, rowKept);
    if (pageAfter == 1) {
        // A refused discard is no tap of the exit gesture.
        QVERIFY(!window->Timer3->isActive());
        QCOMPARE(
            window->Label2->text(),
            u"Fyll i hälsodeklarationen och tryck på Spara (knappen med blåa disketten på)."_s);
    } else {
        QVERIFY(window->Timer3->isActive());
        QVERIFY(window->oedit5->text().isEmpty());
        QVERIFY(window->SpeedButton3->isVisibleTo(window.get()));
        QVERIFY(!window->SpeedButton2->isVisibleTo(window.get()));
        QCOMPARE(
            window->Label2->text(),
            u"Ange personnummer nedan och tryck Retur eller klicka på knappen med den gröna pilen."_s);
    }
}

void TestMainWindow::externalCloseRefused()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    identify(*window, demojournal::kAdultPersonnr.toString());
    window->Questionnaire->FModified = true;

    QVERIFY(!window->close());
    QCloseEvent fromWindowManager;
    QApplication::sendEvent(window.get(), &fromWindowManager);
    QVERIFY(!fromWindowManager.isAccepted());
    QVERIFY(window->isVisible());
    QCOMPARE(window->PageControl1->currentIndex(), 1);
    QVERIFY(window->Database1->Connected());
    QVERIFY(kiosk.exitCodes.isEmpty());

    // The exit gesture is the way out; it closes the window and its connections.
    window->Questionnaire->FModified = false;
    PasswordAnswers answers({u"felmanta"_s});
    for (int tap = 0; tap < 4; ++tap)
        window->SpeedButton1->click();
    QCOMPARE(kiosk.exitCodes, QList<int>{1});
    QVERIFY(!window->isVisible());
    QVERIFY(!window->Database1->Connected());
}

void TestMainWindow::unreachableDatabaseClosesAtActivation()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    QTemporaryDir dir;
    kiosk.writeDataLink(u"Provider=SQLite;Data Source="_s + dir.filePath(u"missing.db"_s));
    bool updateChecked = false;
    SetUpdateCheck([&updateChecked](QString &) {
        updateChecked = true;
        return kUpdateCurrent;
    });
    auto window = kiosk.makeWindow();
    QVERIFY(window->closenow);
    QVERIFY(!updateChecked);
    QCOMPARE(kiosk.dialogs.shown.size(), 1);
    QVERIFY(kiosk.dialogs.shown.first().text.startsWith(u"Det gick inte att ansluta till databasen "_s));
    QVERIFY(kiosk.exitCodes.isEmpty());

    window->show();
    window->activateWindow();
    QTRY_COMPARE(kiosk.exitCodes, QList<int>{0});
    QVERIFY(!window->isVisible());
}

void TestMainWindow::updateHandOverEndsStartup()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    QString checkedPath = u"unset"_s;
    SetUpdateCheck([&checkedPath](QString &path) {
        checkedPath = path;
        return kUpdateHandedOver;
    });
    auto window = kiosk.makeWindow();
    // The running program itself is checked.
    QVERIFY(checkedPath.isEmpty());
    QCOMPARE(window->StartupExitCode(), 1);
    QCOMPARE(kiosk.exitCodes, QList<int>{1});
}

void TestMainWindow::mouseWheel()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    window->resize(800, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *tall = new QWidget;
    tall->setMinimumHeight(5000);
    window->ScrollBoxBettfys->setWidget(tall);
    QScrollBar *bar = window->ScrollBoxBettfys->verticalScrollBar();

    const auto wheel = [](QWidget *target, int delta) {
        const QPointF at(10, 10);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    };

    // The identification page leaves the wheel alone.
    window->PageControl1->setCurrentIndex(0);
    wheel(window->oedit5, -120);
    QCOMPARE(bar->value(), 0);

    window->PageControl1->setCurrentIndex(1);
    QTRY_VERIFY(bar->maximum() > 0);
    QVERIFY(wheel(window->ScrollBoxBettfys->viewport(), -120));
    QCOMPARE(bar->value(), 8);
    QVERIFY(wheel(window->Label1, -120));
    QCOMPARE(bar->value(), 16);
    QVERIFY(wheel(window->ScrollBoxBettfys->viewport(), 120));
    QCOMPARE(bar->value(), 8);
}

VN_REGISTER_TEST(TestMainWindow)
#include "tst_mainwindow.moc"

void TestMainWindow::connectionsFollowSleepAndWake()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    identify(*window, demojournal::kAdultPersonnr.toString());
    QVERIFY(window->Database1->Connected());

    HandleSuspend();
    QVERIFY(!window->Database1->Connected());
    QCOMPARE(window->Database1->Tag(), kClosedForSleepTag);

    const auto oldWait = ResumeWait();
    SetResumeWait(std::chrono::milliseconds(1));
    HandleResume();
    SetResumeWait(oldWait);
    QVERIFY(window->Database1->Connected());
    QVERIFY(window->Database1->InTransaction());
    QVERIFY(kiosk.exitCodes.isEmpty());
}
