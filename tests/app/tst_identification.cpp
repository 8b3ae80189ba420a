#include "app/personnummer.h"
#include "app/tfrmhalsodekmain.h"
#include "db/vnconnection.h"
#include "demo/demojournal.h"
#include "kioskfixture.h"
#include "testrunner.h"
#include "widgets/maskededit.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

const QString kFoundText =
    u"Fyll i hälsodeklarationen och tryck på Spara (knappen med blåa disketten på)."_s;
const QString kSeveralText =
    u"Flera patienter med valt personnummer! Kontakta personalen på kliniken."_s;
const QString kNoStandardText =
    u"Ingen standardhälsodeklaration är vald! Kontakta personalen på kliniken."_s;

QString notFoundText(const QString &searched)
{
    return u"Ingen patient funnen med personnummer "_s + searched +
           u"! Kontrollera att du skrivit rätt personnummer."_s;
}

} // namespace

class TestIdentification : public QObject
{
    Q_OBJECT

private slots:
    void normalise_data();
    void normalise();
    void identification_data();
    void identification();
    void returnKeySearches();
    void counterConnectionLost();
    void counterConnectionKeepsFailing();
};

void TestIdentification::normalise_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("expected");
    QTest::newRow("twelve digits, picture with dash: dash before the last four")
        << u"197804122385"_s << kTwelveDigitPicture << u"19780412-2385"_s;
    QTest::newRow("ten digits, picture with dash")
        << u"7804122385"_s << kTwelveDigitPicture << u"780412-2385"_s;
    QTest::newRow("dash typed, picture with dash: unchanged")
        << u"19780412-2385"_s << kTwelveDigitPicture << u"19780412-2385"_s;
    QTest::newRow("dash typed, picture without dash: separators removed")
        << u"19780412-2385"_s << u"############"_s << u"197804122385"_s;
    QTest::newRow("every separator goes, the rest keeps its order")
        << u"19\t78\n04\r12!-&/\\2385"_s << u"############"_s << u"197804122385"_s;
    QTest::newRow("no dash anywhere: unchanged")
        << u"197804122385"_s << u"############"_s << u"197804122385"_s;
}

void TestIdentification::normalise()
{
    QFETCH(QString, typed);
    QFETCH(QString, picture);
    QFETCH(QString, expected);
    QCOMPARE(NormalisePersonnummer(typed, picture), expected);
}

void TestIdentification::identification_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("setupSql");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("patient");
    const QString twelveDigitPicture = u"INSERT INTO FIELDCOUNTERS (TABLENAME, FIELDNAME, COUNTER) "
                                       "VALUES ('PersonnummerMask', '############', 0)"_s;
    for (const Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        const auto row = [backend](const char *name) -> QTestData & {
            return dbtest::NewBackendRow(name, backend);
        };
        row("nine characters: the length message")
            << QString() << u"197804122"_s << u"Ange personnummer med 10 eller 12 tecken."_s
            << QString();
        row("eight digits, dash, four digits: found as typed")
            << QString() << u"19780412-2385"_s << kFoundText << u"Anna Lindqvist"_s;
        row("twelve digits: dash inserted after the eighth")
            << QString() << u"197804122385"_s << kFoundText << u"Anna Lindqvist"_s;
        row("ten digits: dash after the sixth, matches the stored twelve")
            << QString() << u"7804122385"_s << kFoundText << u"Anna Lindqvist"_s;
        row("picture without dash: dash removed, stored without dash")
            << twelveDigitPicture << u"19480712-5176"_s << kFoundText << u"Sven Nyström"_s;
        row("two stored numbers contain the text")
            << QString() << u"6411032482"_s << kSeveralText << QString();
        row("nobody: the normalised text in the message")
            << QString() << u"199901011234"_s << notFoundText(u"19990101-1234"_s) << QString();
        row("no standard questionnaire, although the patient exists")
            << u"DELETE FROM FIELDCOUNTERS WHERE TABLENAME = 'HALSODEKLARATION'"_s
            << u"19780412-2385"_s << kNoStandardText << QString();
    }
}

void TestIdentification::identification()
{
    QFETCH(Backend, backend);
    QFETCH(QString, setupSql);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, patient);
    KIOSK_FIXTURE(kiosk, backend);
    if (!setupSql.isEmpty())
        kiosk.db().exec(setupSql);
    auto window = kiosk.makeWindow();
    window->oedit5->setText(typed);
    window->SpeedButton3->click();

    QCOMPARE(window->Label2->text(), message);
    QCOMPARE(kiosk.dialogs.shown.size(), 0);
    QVERIFY(!QGuiApplication::overrideCursor());
    const bool found = !patient.isEmpty();
    QCOMPARE(window->PageControl1->currentIndex(), found ? 1 : 0);
    QCOMPARE(window->SpeedButton3->isVisibleTo(window.get()), !found);
    QCOMPARE(window->SpeedButton2->isVisibleTo(window.get()), found);
    QCOMPARE(window->Label1->text(), patient);
    if (found) {
        // The declaration work goes on in the transaction the search began.
        QVERIFY(window->Database1->InTransaction());
        QCOMPARE(window->standardhalsodeklaration, demojournal::kStandardQuestionnaire);
        // A second search on the questionnaire page does nothing.
        window->oedit5->setText(u"19610228-3469"_s);
        window->SpeedButton3->click();
        QCOMPARE(window->Label1->text(), patient);
    } else if (message != kNoStandardText) {
        QVERIFY(window->oedit5->hasSelectedText() || window->oedit5->text().isEmpty());
        QCOMPARE(window->oedit5->selectedText(), window->oedit5->text());
    }
}

void TestIdentification::returnKeySearches()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->oedit5->setFocus();
    QTest::keyClicks(window->oedit5, u"197804122385"_s);
    QTest::keyClick(window->oedit5, Qt::Key_Return);
    QCOMPARE(window->Label1->text(), u"Anna Lindqvist"_s);
    QCOMPARE(window->PageControl1->currentIndex(), 1);
}

void TestIdentification::counterConnectionLost()
{
    // The counter connection went away (a server restart, say): the search reconnects both
    // connections and finds the patient once, without a message.
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    auto window = kiosk.makeWindow();
    window->lopnrDatabase->Close();
    window->oedit5->setText(u"197804122385"_s);
    window->SpeedButton3->click();
    QCOMPARE(kiosk.dialogs.shown.size(), 0);
    QVERIFY(window->lopnrDatabase->Connected());
    QCOMPARE(window->PageControl1->currentIndex(), 1);
    QCOMPARE(window->Label2->text(), kFoundText);
}

void TestIdentification::counterConnectionKeepsFailing()
{
    // A server that drops every session reading the counters: the search repeats a bounded
    // number of times, then tells staff that the connection failed.
    KIOSK_FIXTURE(kiosk, Backend::Postgres);
    auto window = kiosk.makeWindow();
    // The kiosk's open transaction has read the table; the search begins a fresh one anyway.
    window->Database1->RollbackTrans();
    kiosk.db().exec(u"ALTER TABLE FIELDCOUNTERS RENAME TO FIELDCOUNTERS_STORED"_s);
    kiosk.db().exec(u"CREATE VIEW FIELDCOUNTERS AS SELECT * FROM FIELDCOUNTERS_STORED "
                    "WHERE pg_terminate_backend(pg_backend_pid())"_s);
    window->oedit5->setText(u"197804122385"_s);
    window->SpeedButton3->click();

    QVERIFY(!kiosk.dialogs.shown.isEmpty());
    const DialogRecorder::Shown last = kiosk.dialogs.shown.last();
    QVERIFY2(last.text.startsWith(u"Det gick inte att ansluta till databasen "_s),
             qPrintable(last.text));
    int counterFailures = 0;
    for (const auto &shown : std::as_const(kiosk.dialogs.shown))
        counterFailures += shown.text.startsWith(u"Det gick inte att hämta värdet!"_s) ? 1 : 0;
    QCOMPARE(counterFailures, TfrmHalsoDekMain::kIdentificationRepeats + 1);
    QCOMPARE(window->PageControl1->currentIndex(), 0);
    QVERIFY(!QGuiApplication::overrideCursor());

    // Once the server behaves, the next search works.
    kiosk.db().exec(u"DROP VIEW FIELDCOUNTERS"_s);
    kiosk.db().exec(u"ALTER TABLE FIELDCOUNTERS_STORED RENAME TO FIELDCOUNTERS"_s);
    window->SpeedButton3->click();
    QCOMPARE(window->PageControl1->currentIndex(), 1);
}

VN_REGISTER_TEST(TestIdentification)
#include "tst_identification.moc"
