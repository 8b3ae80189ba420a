#include "app/tfrmhalsodekmain.h"
#include "db/vnadoquery.h"
#include "demo/demojournal.h"
#include "kioskfixture.h"
#include "questionnaire/answerbox.h"
#include "questionnaire/bettfyspanel.h"
#include "questionnaire/flowpanel.h"
#include "questionnaire/questionnairepage.h"
#include "signature/pensettings.h"
#include "signature/signdeclaration.h"
#include "testrunner.h"
#include "toolkit/richtextblob.h"
#include "toolkit/settings.h"
#include "widgets/maskededit.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

// The allergy group of the demo questionnaire: its switch question, a question behind it, and
// the answer that opens it.
constexpr int kAllergyGroup = 2;
constexpr int kAllergySwitch = 201;
constexpr int kPenicillin = 202;
constexpr int kOpeningAnswer = 521;
// A free-text question of the first group.
constexpr int kGeneralGroup = 1;
constexpr int kDoctorQuestion = 105;

TBettFysPanel *rowOf(const TfrmHalsoDekMain &window, int group, int question)
{
    for (TFlowPanel *container : window.Questionnaire->GroupContainers()) {
        for (auto *row : container->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly)) {
            if (row->GruppLopnr == group && row->ValueLopnr == question)
                return row;
        }
    }
    return nullptr;
}

int indexOfNumber(const TAnswerBox *box, int number)
{
    for (int i = 0; i < box->Count(); ++i) {
        if (box->ItemNumber(i) == number)
            return i;
    }
    return -1;
}

int firstIndexOtherThan(const TAnswerBox *box, int number)
{
    for (int i = 0; i < box->Count(); ++i) {
        if (box->ItemNumber(i) != number)
            return i;
    }
    return -1;
}

void identify(TfrmHalsoDekMain &window, QStringView personnr)
{
    window.oedit5->setText(personnr.toString());
    window.SpeedButton3->click();
}

} // namespace

// The kiosk used as a patient uses it: identify, answer, open and close a group by its switch
// question, save, leave, identify again and find the answers restored.
class TestDeclarationFlow : public QObject
{
    Q_OBJECT

private slots:
    void init() { TQuestionnairePage::SetSavePause(std::chrono::milliseconds(0)); }
    void cleanup() { TQuestionnairePage::SetSavePause(TQuestionnairePage::kSavePause); }
    void answerSaveAndReturn_data();
    void answerSaveAndReturn();
    void signedOnceOnSave();
};

void TestDeclarationFlow::answerSaveAndReturn_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::newRow("sqlite") << Backend::Sqlite;
    QTest::newRow("postgresql") << Backend::Postgres;
}

void TestDeclarationFlow::answerSaveAndReturn()
{
    QFETCH(Backend, backend);
    KIOSK_FIXTURE(kiosk, backend);
    auto window = kiosk.makeWindow();
    window->resize(1366, 768);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    identify(*window, demojournal::kAdultPersonnr);
    QCOMPARE(window->PageControl1->currentIndex(), 1);
    TBettFysPanel *allergySwitch = rowOf(*window, kAllergyGroup, kAllergySwitch);
    TBettFysPanel *penicillin = rowOf(*window, kAllergyGroup, kPenicillin);
    TBettFysPanel *doctor = rowOf(*window, kGeneralGroup, kDoctorQuestion);
    QVERIFY(allergySwitch && penicillin && doctor);
    QVERIFY(allergySwitch->IsGroupOwner());
    QVERIFY(allergySwitch->Collapsed());
    QVERIFY(!penicillin->isVisible());
    QVERIFY(!window->Questionnaire->FModified);

    // The opening answer shows the group's questions; another answer hides them again.
    TAnswerBox *switchBox = allergySwitch->LeftComboBox();
    const int opening = indexOfNumber(switchBox, kOpeningAnswer);
    const int other = firstIndexOtherThan(switchBox, kOpeningAnswer);
    QVERIFY(opening >= 0 && other >= 0);
    switchBox->SetItemIndex(opening);
    QTRY_VERIFY(penicillin->isVisible());
    switchBox->SetItemIndex(other);
    QTRY_VERIFY(!penicillin->isVisible());
    switchBox->SetItemIndex(opening);
    QTRY_VERIFY(penicillin->isVisible());
    QVERIFY(window->Questionnaire->FModified);

    penicillin->LeftComboBox()->SetItemIndex(0);
    const QString penicillinAnswer = penicillin->LeftComboBox()->Text();
    QVERIFY(!penicillinAnswer.isEmpty());
    doctor->LeftComboBox()->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), u"Vårdcentralen Ekdalen"_s);
    QCOMPARE(doctor->LeftComboBox()->Text(), u"Vårdcentralen Ekdalen"_s);

    window->SpeedButton2->click();
    QCOMPARE(window->Label2->text(),
             u"Hälsodeklarationen sparad.\nFortsätt fylla i och spara igen, eller tryck på röda "
             u"krysset för att återgå."_s);
    QVERIFY(!window->Questionnaire->FModified);
    QVERIFY(kiosk.dialogs.shown.isEmpty());

    // Leaving asks nothing after a save.
    window->SpeedButton1->click();
    QCOMPARE(window->PageControl1->currentIndex(), 0);
    QVERIFY(kiosk.dialogs.shown.isEmpty());

    identify(*window, demojournal::kAdultPersonnr);
    QCOMPARE(window->PageControl1->currentIndex(), 1);
    allergySwitch = rowOf(*window, kAllergyGroup, kAllergySwitch);
    penicillin = rowOf(*window, kAllergyGroup, kPenicillin);
    doctor = rowOf(*window, kGeneralGroup, kDoctorQuestion);
    QVERIFY(allergySwitch && penicillin && doctor);
    QCOMPARE(allergySwitch->LeftComboBox()->ItemNumber(allergySwitch->LeftComboBox()->ItemIndex()),
             kOpeningAnswer);
    QVERIFY(!allergySwitch->Collapsed());
    QVERIFY(penicillin->isVisible());
    QCOMPARE(penicillin->LeftComboBox()->Text(), penicillinAnswer);
    QCOMPARE(doctor->LeftComboBox()->Text(), u"Vårdcentralen Ekdalen"_s);
    QVERIFY(!window->Questionnaire->FModified);

    // Stored once, in the one declaration made for the patient.
    QCOMPARE(kiosk.db()
                 .scalar(u"SELECT COUNT(*) FROM PATHALSODEK WHERE PATIENTNR = %1"_s.arg(
                     demojournal::kAdultPatient))
                 .toInt(),
             1);
}

// With digital signing on, the first save has the adult patient sign; the stored document is
// the signed RTF, enciphered, and a later save never asks again.
void TestDeclarationFlow::signedOnceOnSave()
{
    KIOSK_FIXTURE(kiosk, Backend::Sqlite);
    WriteSetting(u"Hälsodeklaration"_s, u"PatSignDigitalt"_s, u"TRUE"_s);
    QStringList headings;
    const CaptureFunction oldCapture = SetCaptureFunction([&headings](const QString &heading) {
        headings.append(heading);
        QImage area(575, 222, QImage::Format_RGB888);
        area.fill(Qt::white);
        QPainter painter(&area);
        painter.setPen(QPen(ReadPenColor(), 2));
        painter.drawLine(100, 150, 300, 60);
        return std::optional<QImage>(area);
    });
    auto window = kiosk.makeWindow();
    identify(*window, demojournal::kAdultPersonnr);
    QCOMPARE(window->PageControl1->currentIndex(), 1);

    window->SpeedButton2->click();
    QCOMPARE(headings.size(), 1);
    QVERIFY(headings.first().contains(u"Anna Lindqvist"_s));
    const auto declaration = [&kiosk](const QString &column) {
        return kiosk.db().scalar(u"SELECT %1 FROM PATHALSODEK WHERE PATIENTNR = %2"_s.arg(
            column, QString::number(demojournal::kAdultPatient)));
    };
    QCOMPARE(declaration(u"PATDIGISIGN"_s).toString(), u"T"_s);
    const QByteArray blob = declaration(u"PATDIGISIGNATUR"_s).toByteArray();
    const RichTextLoad stored = CopyRichEditFromBlob(blob);
    QCOMPARE(stored.source, RichTextLoad::Source::Deciphered);
    QVERIFY(stored.text.startsWith("{\\rtf"));
    QVERIFY(stored.text.contains("\\pict"));
    QVERIFY(!stored.text.contains("%patdigisign%"));

    // Answer once more and save again: no second signature.
    window->Questionnaire->FModified = true;
    window->SpeedButton2->click();
    QCOMPARE(headings.size(), 1);
    SetCaptureFunction(oldCapture);
}

VN_REGISTER_TEST(TestDeclarationFlow)
#include "tst_declarationflow.moc"
