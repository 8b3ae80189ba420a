#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "demo/demojournal.h"
#include "pagefixture.h"
#include "questionnaire/answerbox.h"
#include "questionnaire/bettfyspanel.h"
#include "questionnaire/flowpanel.h"
#include "questionnaire/journalqueries.h"
#include "questionnaire/questionnairepage.h"
#include "testrunner.h"
#include "toolkit/richtextblob.h"
#include "widgets/linebreaks.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

constexpr int kStandard = demojournal::kStandardQuestionnaire;
// The declaration the demo journal's counter hands out next.
constexpr int kNextDeclaration = demojournal::kLastDeclaration + 1;

// The small questionnaire of the switch cases: group 91 whose heading is the switch question
// 911 (Ja opens the group), with the questions 912 and 913; patient 20001 has no declaration.
constexpr int kSwitchQuestionnaire = 9;
constexpr int kTestPatient = 20001;

void backendRows()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void addTestPatient(PageFixture &f)
{
    f.addPatient(kTestPatient, u"19900101-1234"_s, 401);
    f.setCounter(u"PATHALSODEK"_s, u"LOPNR"_s, 100);
    f.addQuestionnaire(kSwitchQuestionnaire);
    f.addList(
        {.lopnr = 1, .style = 2, .defaultAnswer = 12, .answers = {{11, u"Ja"_s}, {12, u"Nej"_s}}});
}

void addSwitchGroup(PageFixture &f, const QString &visible, int style)
{
    f.addList({.lopnr = 90,
               .style = style,
               .answers = {{901, u"Ja"_s}, {902, u"Nej"_s}, {903, u"Kanske"_s}}});
    f.addGroup({.grupp = 91,
                .halsonr = kSwitchQuestionnaire,
                .namn = u"Allergier"_s,
                .switchQuestion = true,
                .switchLopnr = 911,
                .openingAnswer = 901,
                .visible = visible});
    f.addQuestion({.lopnr = 911,
                   .grupp = 91,
                   .index = 10,
                   .text = u"Har du någon allergi?"_s,
                   .col1Lookup = 90});
    f.addQuestion(
        {.lopnr = 912, .grupp = 91, .index = 20, .text = u"Penicillin"_s, .col1Lookup = 1});
    f.addQuestion({.lopnr = 913, .grupp = 91, .index = 30, .text = u"Annat, vad?"_s});
}

bool groupOpen(const TBettFysPanel *owner)
{
    if (owner->Collapsed())
        return false;
    const QList<TBettFysPanel *> rows =
        owner->parentWidget()->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly);
    return std::all_of(rows.cbegin(), rows.cend(),
                       [](const TBettFysPanel *r) { return !r->isHidden(); });
}

bool groupClosed(const TBettFysPanel *owner)
{
    if (!owner->Collapsed() || owner->isHidden())
        return false;
    const QList<TBettFysPanel *> rows =
        owner->parentWidget()->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly);
    return std::all_of(rows.cbegin(), rows.cend(),
                       [owner](const TBettFysPanel *r) { return r == owner || r->isHidden(); });
}

void pick(TAnswerBox *box, const QString &text)
{
    for (int i = 0; i < box->Count(); ++i) {
        if (box->ItemText(i) == text) {
            box->SetItemIndex(i);
            return;
        }
    }
    QFAIL(qPrintable(u"no answer "_s + text));
}

// The number of questions the page must save, and of the lists its boxes offer, of a
// questionnaire's active groups.
int questionsOf(PageFixture &f, int halsonr)
{
    return f
        .scalar(u"SELECT COUNT(*) FROM HALSOVALUES v JOIN HALSOGRUPPER g ON g.GRUPPLOPNR = "
                u"v.GRUPPLOPNR WHERE g.AKTIV = 'T' AND g.HALSONR = %1"_s.arg(halsonr))
        .toInt();
}

int listsOf(PageFixture &f, int halsonr)
{
    return f
        .scalar(u"SELECT COUNT(*) FROM (SELECT v.COL1LOOKUP AS L FROM HALSOVALUES v JOIN "
                u"HALSOGRUPPER g ON g.GRUPPLOPNR = v.GRUPPLOPNR WHERE g.AKTIV = 'T' AND "
                u"g.HALSONR = %1 AND v.COL1TYP <> 0 UNION SELECT v.COL2LOOKUP FROM HALSOVALUES "
                u"v JOIN HALSOGRUPPER g ON g.GRUPPLOPNR = v.GRUPPLOPNR WHERE g.AKTIV = 'T' AND "
                u"g.HALSONR = %1 AND v.COL2TYP <> 0) lists"_s.arg(halsonr))
        .toInt();
}

QString storedAnswer(PageFixture &f, int declaration, int grupp, int value)
{
    return f
        .scalar(u"SELECT COL1VALUE FROM PATHALSODEKVALUES WHERE PATHALSODEKLOPNR = %1 AND "
                u"GRUPPLOPNR = %2 AND VALUELOPNR = %3"_s.arg(declaration)
                    .arg(grupp)
                    .arg(value))
        .toString();
}

// Faults in the journal, switched on by rows of the table ANSWERFAULT: the nth answer row of a
// declaration is refused (ON_ROW), or any change of the answer to one question (ON_VALUE).
// Switching them with rows, not with schema changes, keeps them from waiting for the program's
// open transaction.
void addAnswerFaults(PageFixture &f)
{
    f.db().exec(u"CREATE TABLE ANSWERFAULT (ON_ROW INTEGER, ON_VALUE INTEGER)"_s);
    const QString onInsert =
        u"EXISTS (SELECT 1 FROM ANSWERFAULT WHERE ON_ROW <= 1 + (SELECT COUNT(*) "
        u"FROM PATHALSODEKVALUES WHERE PATHALSODEKLOPNR = NEW.PATHALSODEKLOPNR))"_s;
    const QString onUpdate =
        u"EXISTS (SELECT 1 FROM ANSWERFAULT WHERE ON_VALUE = NEW.VALUELOPNR)"_s;
    if (f.db().backend() == Backend::Sqlite) {
        for (const auto &[event, condition] :
             {std::pair{u"INSERT"_s, onInsert}, std::pair{u"UPDATE"_s, onUpdate}})
            f.db().exec(u"CREATE TRIGGER fault_on_%1 BEFORE %1 ON PATHALSODEKVALUES WHEN %2 BEGIN "
                        u"SELECT RAISE(ABORT, 'injected fault'); END"_s.arg(event, condition));
        return;
    }
    for (const auto &[event, condition] :
         {std::pair{u"INSERT"_s, onInsert}, std::pair{u"UPDATE"_s, onUpdate}}) {
        f.db().exec(
            u"CREATE FUNCTION fault_on_%1() RETURNS trigger AS $$ BEGIN IF %2 THEN RAISE "
            u"EXCEPTION 'injected fault'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql"_s.arg(
                event, condition));
        f.db().exec(u"CREATE TRIGGER fault_on_%1 BEFORE %1 ON PATHALSODEKVALUES FOR EACH ROW "
                    u"EXECUTE FUNCTION fault_on_%1()"_s.arg(event));
    }
}

void setFault(PageFixture &f, const QString &column, int value)
{
    f.db().exec(u"INSERT INTO ANSWERFAULT (%1) VALUES (%2)"_s.arg(column).arg(value));
}

void clearFaults(PageFixture &f)
{
    f.db().exec(u"DELETE FROM ANSWERFAULT"_s);
}

} // namespace

class TestQuestionnairePage : public QObject
{
    Q_OBJECT

private slots:
    void panelHeightByScreenShape_data();
    void panelHeightByScreenShape();
    void settingIsTrue_data();
    void settingIsTrue();

    // Opening and building
    void newDeclarationAfterSignedOne_data() { backendRows(); }
    void newDeclarationAfterSignedOne();
    void reusesUnsignedDeclaration_data() { backendRows(); }
    void reusesUnsignedDeclaration();
    void unregisteredPatient();
    void noDeclarationNumber_data() { backendRows(); }
    void noDeclarationNumber();
    void switchQuestionOpensAndClosesGroup_data();
    void switchQuestionOpensAndClosesGroup();
    void switchQuestionNamingNoQuestion();
    void ownerFinishedWhereverSwitchQuestionSorts();
    void emptyListMakesFreeText();
    void labelFontFitsTheRow_data();
    void labelFontFitsTheRow();
    void collapsingGroupResizesItsColumn();
    void windowStaysResponsiveWhileBuilding();

    // Saving
    void savesEveryAnswer_data() { backendRows(); }
    void savesEveryAnswer();
    void discardRollsBack_data() { backendRows(); }
    void discardRollsBack();
    void failedSaveCommitsNothing_data() { backendRows(); }
    void failedSaveCommitsNothing();
    void signatureStep_data();
    void signatureStep();
    void signAgeLimit_data();
    void signAgeLimit();
};

void TestQuestionnairePage::panelHeightByScreenShape_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("height");
    QTest::newRow("1366 x 768 landscape") << QSize(1366, 768) << 45;
    QTest::newRow("768 x 1366 portrait") << QSize(768, 1366) << 45;
    QTest::newRow("1920 x 1080 landscape") << QSize(1920, 1080) << 63;
    QTest::newRow("1080 x 1920 portrait") << QSize(1080, 1920) << 63;
    QTest::newRow("square counts as portrait") << QSize(800, 800) << 47;
    QTest::newRow("half rounds down to even") << QSize(384, 800) << 22;
    QTest::newRow("half rounds up to even") << QSize(128, 200) << 8;
}

void TestQuestionnairePage::panelHeightByScreenShape()
{
    QFETCH(QSize, screen);
    QFETCH(int, height);
    QCOMPARE(TQuestionnairePage::QuestionPanelHeight(screen), height);
}

void TestQuestionnairePage::settingIsTrue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("on");
    QTest::newRow("TRUE") << u"TRUE"_s << true;
    QTest::newRow("true") << u"true"_s << true;
    QTest::newRow("True with blanks") << u" True "_s << true;
    QTest::newRow("1") << u"1"_s << true;
    QTest::newRow("-1") << u"-1"_s << true;
    QTest::newRow("FALSE, the default") << u"FALSE"_s << false;
    QTest::newRow("0") << u"0"_s << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("yes is no boolean form") << u"yes"_s << false;
    QTest::newRow("ERROR, the missing-value sentinel") << u"ERROR"_s << false;
}

void TestQuestionnairePage::settingIsTrue()
{
    QFETCH(QString, value);
    QFETCH(bool, on);
    QCOMPARE(SettingIsTrue(value), on);
}

void TestQuestionnairePage::newDeclarationAfterSignedOne()
{
    QFETCH(Backend, backend);
    PAGE_FIXTURE(f, backend);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    f.open(demojournal::kSignedPatient, kStandard);

    // A new row, committed at once with its own number.
    QCOMPARE(f.count(u"PATIENTNR = %1"_s.arg(demojournal::kSignedPatient), u"PATHALSODEK"_s), 4);
    const QString row = u"LOPNR = %1"_s.arg(kNextDeclaration);
    QCOMPARE(
        f.count(row + u" AND PATIENTNR = %1 AND HALSONR = %2 AND REGNR = %3 AND VARDGIVARENR = 13"_s
                          .arg(demojournal::kSignedPatient)
                          .arg(kStandard)
                          .arg(demojournal::kSignedPatientRegistration),
                u"PATHALSODEK"_s),
        1);
    QCOMPARE(
        f.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK'"_s).toInt(),
        kNextDeclaration);
    TVNAdoQuery *declaration = f.queries().QPATHALSODEK;
    QCOMPARE(declaration->FieldByName(u"LOPNR"_s).AsInteger(), kNextDeclaration);
    const QDateTime datum = declaration->FieldByName(u"DATUM"_s).AsDateTime();
    QVERIFY2(datum >= before && datum <= QDateTime::currentDateTime(),
             qPrintable(datum.toString()));

    // The page is open for answers: the row in edit mode, a transaction, nothing changed yet.
    QVERIFY(f.page().DeclarationOpen());
    QCOMPARE(declaration->State(), DataSetState::Edit);
    QVERIFY(f.database1().InTransaction());
    QVERIFY(!f.page().FModified);
    QVERIFY(!f.page().FUpdating);
    QVERIFY(f.dialogs.shown.isEmpty());

    // Every question and group in order; answers empty but for the lists' defaults.
    QCOMPARE(
        f.page().GroupContainers().size(),
        f.scalar(u"SELECT COUNT(*) FROM HALSOGRUPPER WHERE HALSONR = 1 AND AKTIV = 'T'"_s).toInt());
    QCOMPARE(f.owner(0)->Caption(), u"Allmänt hälsotillstånd"_s);
    QCOMPARE(f.owner(1)->Caption(), u"Har du någon allergi eller överkänslighet?"_s);
    int saved = 0;
    for (TBettFysPanel *r : f.rows())
        saved += r->ShallBeSaved() ? 1 : 0;
    QCOMPARE(saved, questionsOf(f, kStandard));
    TAnswerBox *withDefault = f.row(1, 102)->LeftComboBox();
    QCOMPARE(withDefault->Text(), u"Nej"_s);
    QCOMPARE(withDefault->ItemNumber(withDefault->ItemIndex()), 512);
    QCOMPARE(f.row(1, 101)->LeftComboBox()->Text(), QString());
    QCOMPARE(f.row(1, 101)->LeftComboBox()->ItemIndex(), -1);
    QCOMPARE(f.row(3, 305)->RightComboBox()->Text(), QString());
    // Unanswered switch questions of groups that start closed keep them closed.
    QVERIFY(groupClosed(f.ownerOf(f.row(2, 202))));
    QVERIFY(groupOpen(f.ownerOf(f.row(10, 1002))));
    // Each list is read once for the whole page.
    QCOMPARE(f.page().AnswerListStatements(), 2 * listsOf(f, kStandard));
}

void TestQuestionnairePage::reusesUnsignedDeclaration()
{
    QFETCH(Backend, backend);
    PAGE_FIXTURE(f, backend);
    f.open(demojournal::kOpenDeclarationPatient, kStandard);

    QCOMPARE(
        f.count(u"PATIENTNR = %1"_s.arg(demojournal::kOpenDeclarationPatient), u"PATHALSODEK"_s),
        2);
    QCOMPARE(
        f.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK'"_s).toInt(),
        demojournal::kLastDeclaration);
    QCOMPARE(f.queries().QPATHALSODEK->FieldByName(u"LOPNR"_s).AsInteger(),
             demojournal::kOpenDeclaration);
    QVERIFY(!f.page().FModified);

    // Every earlier answer is back, in the box it was given in.
    TVNAdoQuery stored;
    stored.SetConnection(&f.database1());
    stored.SetSQL({u"SELECT * FROM PATHALSODEKVALUES WHERE PATHALSODEKLOPNR = %1"_s.arg(
        demojournal::kOpenDeclaration)});
    stored.Open();
    QVERIFY(stored.RecordCount() > 60);
    for (stored.First(); !stored.Eof(); stored.Next()) {
        const int grupp = stored.FieldByName(u"GRUPPLOPNR"_s).AsInteger();
        const int value = stored.FieldByName(u"VALUELOPNR"_s).AsInteger();
        TBettFysPanel *r = f.row(grupp, value);
        QVERIFY2(r, qPrintable(u"no row for %1/%2"_s.arg(grupp).arg(value)));
        QCOMPARE(r->LeftComboBox()->Text(), stored.FieldByName(u"COL1VALUE"_s).AsString());
        QCOMPARE(r->RightComboBox()->Text(), stored.FieldByName(u"COL2VALUE"_s).AsString());
    }
    // "Vet ej" is no longer offered: shown as text, no answer selected.
    TAnswerBox *retired = f.row(2, 204)->LeftComboBox();
    QCOMPARE(retired->Text(), u"Vet ej"_s);
    QCOMPARE(retired->ItemIndex(), -1);
    // Saved opening answers open their groups, whatever the groups' start setting.
    QVERIFY(groupOpen(f.ownerOf(f.row(2, 202))));
    QVERIFY(groupOpen(f.ownerOf(f.row(3, 302))));
    // A saved "Nej" keeps a closed group closed.
    QVERIFY(groupClosed(f.ownerOf(f.row(4, 402))));
}

void TestQuestionnairePage::unregisteredPatient()
{
    PAGE_FIXTURE(f, Backend::Sqlite);
    f.open(demojournal::kUnregisteredPatient, kStandard);
    QCOMPARE(f.label2()->text(), TQuestionnairePage::kNotRegisteredText);
    QVERIFY(f.saveButton()->isHidden());
    QVERIFY(f.rows().isEmpty());
    QVERIFY(!f.page().DeclarationOpen());
    QCOMPARE(f.count(u"PATIENTNR = %1"_s.arg(demojournal::kUnregisteredPatient), u"PATHALSODEK"_s),
             0);
}

void TestQuestionnairePage::noDeclarationNumber()
{
    QFETCH(Backend, backend);
    PAGE_FIXTURE(f, backend);
    // No counter can be drawn.
    f.db().exec(u"ALTER TABLE FIELDCOUNTERS RENAME TO FIELDCOUNTERS_GONE"_s);
    f.open(demojournal::kSignedPatient, kStandard);

    QCOMPARE(f.count(u"PATIENTNR = %1"_s.arg(demojournal::kSignedPatient), u"PATHALSODEK"_s), 3);
    QCOMPARE(f.count(u"LOPNR = -1"_s, u"PATHALSODEK"_s), 0);
    QCOMPARE(f.label2()->text(), TQuestionnairePage::kNoDeclarationText);
    QVERIFY(f.saveButton()->isHidden());
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown.at(0).kind, DialogKind::Error);
    QVERIFY(f.dialogs.shown.at(0).text.startsWith(
        u"Det gick inte att hämta ett nytt nummer för hälsodeklarationen!"_s));
    QVERIFY(!f.page().DeclarationOpen());
    QVERIFY(f.rows().isEmpty());
    QCOMPARE(f.queries().QPATHALSODEK->State(), DataSetState::Browse);

    // Nothing is written for it either.
    f.page().FModified = true;
    f.page().SpeedButton2Click();
    QCOMPARE(f.count(u"PATHALSODEKLOPNR = -1"_s), 0);
    QCOMPARE(f.count(u"PATIENTNR = %1"_s.arg(demojournal::kSignedPatient), u"PATHALSODEK"_s), 3);
}

void TestQuestionnairePage::switchQuestionOpensAndClosesGroup_data()
{
    QTest::addColumn<QString>("visible");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("saved"); // null: no declaration yet
    QTest::addColumn<bool>("openAtStart");
    QTest::addColumn<QString>("typed"); // the answer the patient then picks or types
    QTest::addColumn<bool>("openAfter");

    QTest::newRow("closed group, opening answer saved: open; other answer closes")
        << u"F"_s << 2 << u"Ja"_s << true << u"Nej"_s << false;
    QTest::newRow("open group, other answer saved: open; another answer closes")
        << u"T"_s << 2 << u"Nej"_s << true << u"Kanske"_s << false;
    QTest::newRow("open group, other answer saved: open; opening answer keeps it open")
        << u"T"_s << 2 << u"Nej"_s << true << u"Ja"_s << true;
    QTest::newRow("closed group, no answer: closed; opening answer opens")
        << u"F"_s << 2 << QString() << false << u"Ja"_s << true;
    QTest::newRow("closed group, saved empty answer: closed")
        << u"F"_s << 2 << u""_s << false << u"Nej"_s << false;
    QTest::newRow("typed list, opening answer saved: open; typed text that is no answer closes")
        << u"F"_s << 0 << u"Ja"_s << true << u"Ja, penicillin"_s << false;
    QTest::newRow("typed list, no answer: closed; the opening answer typed opens")
        << u"F"_s << 0 << QString() << false << u"Ja"_s << true;
    QTest::newRow("typed list, saved text that is no answer: as the group starts")
        << u"T"_s << 0 << u"Kanske inte"_s << true << u"Nej"_s << false;
}

void TestQuestionnairePage::switchQuestionOpensAndClosesGroup()
{
    QFETCH(QString, visible);
    QFETCH(int, style);
    QFETCH(QString, saved);
    QFETCH(bool, openAtStart);
    QFETCH(QString, typed);
    QFETCH(bool, openAfter);
    PAGE_FIXTURE(f, Backend::Sqlite, false);
    addTestPatient(f);
    addSwitchGroup(f, visible, style);
    if (!saved.isNull())
        f.addDeclaration(100, kTestPatient, kSwitchQuestionnaire, {{91, 911, saved, QString()}});
    f.open(kTestPatient, kSwitchQuestionnaire);

    TBettFysPanel *owner = f.owner(0);
    QVERIFY(owner);
    QCOMPARE(owner->ValueLopnr, 911);
    QVERIFY(owner->IsGroupOwner());
    QVERIFY(owner->ShallBeSaved());
    // The switch question is the owner, not a row of its own.
    QCOMPARE(f.rows().size(), 3);
    QVERIFY(openAtStart ? groupOpen(owner) : groupClosed(owner));
    QVERIFY(!f.page().FModified);

    TAnswerBox *box = owner->LeftComboBox();
    if (style == 0)
        box->SetText(typed);
    else
        pick(box, typed);
    QVERIFY(f.page().FModified);
    QVERIFY(openAfter ? groupOpen(owner) : groupClosed(owner));
}

void TestQuestionnairePage::switchQuestionNamingNoQuestion()
{
    PAGE_FIXTURE(f, Backend::Sqlite, false);
    addTestPatient(f);
    f.addGroup({.grupp = 92,
                .halsonr = kSwitchQuestionnaire,
                .namn = u"Mediciner"_s,
                .switchQuestion = true,
                .switchLopnr = 999,
                .openingAnswer = 11,
                .visible = u"T"_s,
                .antalCol = 2,
                .col1Text = u"Svar"_s,
                .col2Text = u"Vilken?"_s});
    f.addQuestion(
        {.lopnr = 921, .grupp = 92, .index = 10, .text = u"Blodförtunnande"_s, .col1Lookup = 1});
    f.addQuestion({.lopnr = 922, .grupp = 92, .index = 20, .text = u"Kortison"_s, .col1Lookup = 1});
    f.open(kTestPatient, kSwitchQuestionnaire);

    QVERIFY(f.dialogs.shown.isEmpty());
    TBettFysPanel *owner = f.owner(0);
    QCOMPARE(owner->Caption(), u"Mediciner"_s);
    QVERIFY(!owner->ShallBeSaved());
    QCOMPARE(owner->LeftComboBox()->Text(), u"Svar"_s);
    QCOMPARE(owner->RightComboBox()->Text(), u"Vilken?"_s);
    QVERIFY(owner->LeftComboBox()->ReadOnly());
    QVERIFY(f.row(92, 921) && f.row(92, 922));
    QVERIFY(groupOpen(owner));

    // The heading is never written; its questions are.
    f.page().FModified = true;
    f.page().SpeedButton2Click();
    QCOMPARE(f.count(u"PATHALSODEKLOPNR = 101"_s), 2);
    QCOMPARE(f.count(u"VALUELOPNR = 0 OR GRUPPLOPNR = 0"_s), 0);
}

void TestQuestionnairePage::ownerFinishedWhereverSwitchQuestionSorts()
{
    PAGE_FIXTURE(f, Backend::Sqlite, false);
    addTestPatient(f);
    f.addList({.lopnr = 90, .style = 2, .answers = {{901, u"Ja"_s}, {902, u"Nej"_s}}});
    f.addGroup({.grupp = 91,
                .halsonr = kSwitchQuestionnaire,
                .namn = u"Allergier"_s,
                .switchQuestion = true,
                .switchLopnr = 913,
                .openingAnswer = 901,
                .visible = u"F"_s});
    // The switch question sorts last in its group.
    f.addQuestion(
        {.lopnr = 911, .grupp = 91, .index = 10, .text = u"Penicillin"_s, .col1Lookup = 1});
    f.addQuestion({.lopnr = 912, .grupp = 91, .index = 20, .text = u"Annat, vad?"_s});
    f.addQuestion({.lopnr = 913,
                   .grupp = 91,
                   .index = 30,
                   .text = u"Har du någon allergi?"_s,
                   .col1Lookup = 90});
    f.open(kTestPatient, kSwitchQuestionnaire);

    TBettFysPanel *owner = f.owner(0);
    QCOMPARE(owner->ValueLopnr, 913);
    // The answer columns are VARCHAR(255): the owner's boxes take as much as the rows' do.
    QCOMPARE(owner->LeftComboBox()->MaxLength(), 255);
    QCOMPARE(owner->RightComboBox()->MaxLength(), 255);
    QCOMPARE(f.row(91, 912)->LeftComboBox()->MaxLength(), 255);
    // The owner's list box stays a one-line list, and still opens the group.
    QVERIFY(owner->LeftComboBox()->ShowButton());
    QVERIFY(!owner->LeftComboBox()->WordWrap());
    QVERIFY(groupClosed(owner));
    pick(owner->LeftComboBox(), u"Ja"_s);
    QVERIFY(groupOpen(owner));
}

void TestQuestionnairePage::emptyListMakesFreeText()
{
    PAGE_FIXTURE(f, Backend::Sqlite, false);
    addTestPatient(f);
    f.addList({.lopnr = 93, .style = 0, .defaultAnswer = 931});
    f.addGroup(
        {.grupp = 93, .halsonr = kSwitchQuestionnaire, .namn = u"Övrigt"_s, .col1Text = u"Svar"_s});
    f.addQuestion(
        {.lopnr = 931, .grupp = 93, .text = u"Något mer vi bör veta?"_s, .col1Lookup = 93});
    f.addQuestion(
        {.lopnr = 932, .grupp = 93, .index = 20, .text = u"Har du feber?"_s, .col1Lookup = 1});
    f.open(kTestPatient, kSwitchQuestionnaire);

    TAnswerBox *freeText = f.row(93, 931)->LeftComboBox();
    QVERIFY(!freeText->ShowButton());
    QVERIFY(freeText->WordWrap());
    QVERIFY(freeText->WantReturns());
    QCOMPARE(freeText->Text(), QString());
    TAnswerBox *list = f.row(93, 932)->LeftComboBox();
    QVERIFY(list->ShowButton());
    QVERIFY(!list->WordWrap());
    QCOMPARE(list->Text(), u"Nej"_s);
}

void TestQuestionnairePage::labelFontFitsTheRow_data()
{
    // A size of 0: the largest that fits, which for these short texts is more than 9.
    QTest::addColumn<QString>("groupName");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("headingSize");
    QTest::addColumn<int>("questionSize");
    const QString longText(200, u'x');
    QTest::newRow("short heading and question") << u"Frågor"_s << u"Hiv"_s << 0 << 0;
    QTest::newRow("long question") << u"Frågor"_s << longText << 0 << 9;
    QTest::newRow("blank question") << u"Frågor"_s << u"  "_s << 0 << 9;
    // The heading row is fitted as every other row, once.
    QTest::newRow("long group name") << longText << u"Hiv"_s << 9 << 0;
    QTest::newRow("empty group name") << QString() << u"Hiv"_s << 9 << 0;
}

void TestQuestionnairePage::labelFontFitsTheRow()
{
    QFETCH(QString, groupName);
    QFETCH(QString, question);
    QFETCH(int, headingSize);
    QFETCH(int, questionSize);
    PAGE_FIXTURE(f, Backend::Sqlite, false);
    addTestPatient(f);
    f.addGroup({.grupp = 94, .halsonr = kSwitchQuestionnaire, .namn = groupName});
    f.addQuestion({.lopnr = 941, .grupp = 94, .text = question, .col1Lookup = 1});
    f.open(kTestPatient, kSwitchQuestionnaire);

    const auto fits = [](const TBettFysPanel *row, int expected) {
        const QFont font = row->LabelFont();
        return expected != 0 ? font.pointSize() == expected
                             : font.pointSize() > 9 && QFontMetrics(font).height() < row->height();
    };
    const auto size = [](const TBettFysPanel *row) {
        return u"%1 points"_s.arg(row->LabelFont().pointSize()).toUtf8();
    };
    TBettFysPanel *heading = f.owner(0);
    QVERIFY(heading);
    QVERIFY2(fits(heading, headingSize), size(heading).constData());
    TBettFysPanel *row = f.row(94, 941);
    QVERIFY(row);
    QVERIFY2(fits(row, questionSize), size(row).constData());
    QVERIFY(!row->LabelFont().bold());
    QVERIFY(heading->FontBold());
}

void TestQuestionnairePage::collapsingGroupResizesItsColumn()
{
    PAGE_FIXTURE(f, Backend::Sqlite);
    f.open(demojournal::kAdultPatient, kStandard);
    const QList<TFlowPanel *> columns = f.page().ColumnContainers();
    QCOMPARE(columns.size(), 1);
    TFlowPanel *column = columns.first();
    const auto groupsHeight = [&f] {
        int sum = 0;
        for (TFlowPanel *group : f.page().GroupContainers())
            sum += group->height();
        return sum;
    };
    QCOMPARE(column->height(), groupsHeight());
    QCOMPARE(column->width(), f.scrollBox()->viewport()->width());
    QVERIFY(f.scrollBox()->widget()->height() >= column->height());

    // Opening a closed group lengthens the column and the scrolled page by the group's rows.
    TBettFysPanel *owner = f.ownerOf(f.row(2, 202));
    QVERIFY(groupClosed(owner));
    const int before = column->height();
    int rowsHeight = 0;
    for (TBettFysPanel *r :
         owner->parentWidget()->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly))
        rowsHeight += r == owner ? 0 : r->height();
    owner->SetCollapsed(false);
    QCOMPARE(column->height(), before + rowsHeight);
    QCOMPARE(column->height(), groupsHeight());
    QVERIFY(f.scrollBox()->widget()->height() >= column->height());
    owner->SetCollapsed(true);
    QCOMPARE(column->height(), before);
}

void TestQuestionnairePage::windowStaysResponsiveWhileBuilding()
{
    PAGE_FIXTURE(f, Backend::Sqlite);
    bool ranWhileBuilding = false;
    bool pageHidden = false;
    QTimer::singleShot(0, f.window(), [&] {
        ranWhileBuilding = f.page().FUpdating;
        pageHidden = f.scrollBox()->isHidden();
    });
    f.open(demojournal::kAdultPatient, kStandard);
    QVERIFY(ranWhileBuilding);
    QVERIFY(pageHidden);
    QVERIFY(!f.scrollBox()->isHidden());
}

void TestQuestionnairePage::savesEveryAnswer()
{
    QFETCH(Backend, backend);
    PAGE_FIXTURE(f, backend);
    f.writeSetting(u"Hälsodeklaration"_s, u"PatSignDigitalt"_s, u"TRUE"_s);
    f.open(demojournal::kSignedPatient, kStandard);
    pick(f.row(1, 101)->LeftComboBox(), u"Ja"_s);
    f.row(3, 305)->RightComboBox()->SetText(u"10 mg"_s);
    QVERIFY(f.page().FModified);

    f.page().SpeedButton2Click();
    QCOMPARE(f.label2()->text(), WithLineBreaks(TQuestionnairePage::kSavedText));
    QVERIFY(!f.page().FModified);
    QCOMPARE(f.queries().QPATHALSODEK->State(), DataSetState::Browse);
    QCOMPARE(f.signRequests.size(), 1);
    // Committed: every question, closed groups too (their lists' defaults), never a heading.
    const QString declaration = u"PATHALSODEKLOPNR = %1"_s.arg(kNextDeclaration);
    QCOMPARE(f.count(declaration), questionsOf(f, kStandard));
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 101), u"Ja"_s);
    QCOMPARE(f.scalar(u"SELECT COL2VALUE FROM PATHALSODEKVALUES WHERE "_s + declaration +
                      u" AND VALUELOPNR = 305"_s)
                 .toString(),
             u"10 mg"_s);
    QVERIFY(groupClosed(f.ownerOf(f.row(2, 202))));
    QCOMPARE(storedAnswer(f, kNextDeclaration, 2, 202), u"Nej"_s);
    QCOMPARE(f.count(declaration + u" AND (VALUELOPNR = 0 OR GRUPPLOPNR = 0)"_s), 0);

    // Unanswered boxes are stored as empty texts, which a later answer then replaces.
    QCOMPARE(f.count(declaration + u" AND (COL1VALUE IS NULL OR COL2VALUE IS NULL)"_s), 0);
    f.row(1, 105)->LeftComboBox()->SetText(u"Vårdcentralen Gärdet"_s);
    f.page().SpeedButton2Click();
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 105), u"Vårdcentralen Gärdet"_s);
    QCOMPARE(f.signRequests.size(), 2);

    // Saving again without a change writes nothing and asks for no signature.
    f.page().SpeedButton2Click();
    QCOMPARE(f.label2()->text(), WithLineBreaks(TQuestionnairePage::kSavedText));
    QCOMPARE(f.signRequests.size(), 2);
    QCOMPARE(f.queries().QPATHALSODEK->State(), DataSetState::Browse);

    // A later change is saved on its own, in a transaction of its own.
    pick(f.row(1, 101)->LeftComboBox(), u"Nej"_s);
    f.page().SpeedButton2Click();
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 101), u"Nej"_s);
    QCOMPARE(f.count(declaration), questionsOf(f, kStandard));
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestQuestionnairePage::discardRollsBack()
{
    QFETCH(Backend, backend);
    PAGE_FIXTURE(f, backend);
    f.open(demojournal::kSignedPatient, kStandard);
    pick(f.row(1, 101)->LeftComboBox(), u"Ja"_s);
    f.page().SpeedButton2Click();
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 101), u"Ja"_s);

    pick(f.row(1, 101)->LeftComboBox(), u"Nej"_s);
    f.row(1, 105)->LeftComboBox()->SetText(u"Vårdcentralen"_s);
    QVERIFY(f.page().FModified);
    f.page().DiscardAnswers();
    QVERIFY(!f.page().FModified);
    QVERIFY(f.database1().InTransaction());
    // The earlier save and the declaration stay; the discarded changes were never stored.
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 101), u"Ja"_s);
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 105), QString());
    QCOMPARE(f.count(u"LOPNR = %1"_s.arg(kNextDeclaration), u"PATHALSODEK"_s), 1);
}

void TestQuestionnairePage::failedSaveCommitsNothing()
{
    QFETCH(Backend, backend);
    PAGE_FIXTURE(f, backend);
    addAnswerFaults(f);
    f.open(demojournal::kAdultPatient, kStandard);
    setFault(f, u"ON_ROW"_s, 5);
    pick(f.row(1, 101)->LeftComboBox(), u"Ja"_s);

    f.page().SpeedButton2Click();
    QCOMPARE(f.label2()->text(), TQuestionnairePage::kNotSavedText);
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown.at(0).kind, DialogKind::Information);
    QVERIFY(f.dialogs.shown.at(0).text.startsWith(u"Det gick inte att spara uppgifterna!\r\r"_s));
    QVERIFY(f.dialogs.shown.at(0).text.contains(u"injected fault"_s));
    QVERIFY(f.page().FModified);
    QVERIFY(f.database1().InTransaction());
    const QString declaration = u"PATHALSODEKLOPNR = %1"_s.arg(kNextDeclaration);
    QCOMPARE(f.count(declaration), 0);

    // The close button's discard: nothing of that save remains, the declaration does; and the
    // page saves whole once the fault is gone.
    f.page().DiscardAnswers();
    QCOMPARE(f.count(declaration), 0);
    QCOMPARE(f.count(u"LOPNR = %1"_s.arg(kNextDeclaration), u"PATHALSODEK"_s), 1);
    clearFaults(f);
    pick(f.row(1, 101)->LeftComboBox(), u"Nej"_s);
    f.page().SpeedButton2Click();
    QCOMPARE(f.label2()->text(), WithLineBreaks(TQuestionnairePage::kSavedText));
    QCOMPARE(f.count(declaration), questionsOf(f, kStandard));

    // A later save that fails halfway keeps what the earlier one stored, all of it.
    setFault(f, u"ON_VALUE"_s, 1002);
    pick(f.row(1, 101)->LeftComboBox(), u"Ja"_s);
    f.row(10, 1002)->LeftComboBox()->SetText(u"2021"_s);
    f.dialogs.shown.clear();
    f.page().SpeedButton2Click();
    QCOMPARE(f.label2()->text(), TQuestionnairePage::kNotSavedText);
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(storedAnswer(f, kNextDeclaration, 1, 101), u"Nej"_s);
    QCOMPARE(storedAnswer(f, kNextDeclaration, 10, 1002), QString());
}

void TestQuestionnairePage::signatureStep_data()
{
    QTest::addColumn<int>("patient");
    QTest::addColumn<QString>("setting"); // null: absent
    QTest::addColumn<bool>("padSigns");
    QTest::addColumn<QString>("placeholder"); // empty: not asked
    QTest::addColumn<int>("askedAfterSecondSave");

    QTest::newRow("adult signs") << demojournal::kAdultPatient << u"TRUE"_s << true
                                 << u"%patdigisign%"_s << 1;
    QTest::newRow("child's guardian signs")
        << demojournal::kMinorPatient << u"true"_s << true << u"%patmaldigisign%"_s << 1;
    QTest::newRow("child without birth date, by personal number")
        << demojournal::kMinorWithoutBirthDatePatient << u"-1"_s << true << u"%patmaldigisign%"_s
        << 1;
    QTest::newRow("signature not completed: asked again")
        << demojournal::kAdultPatient << u"1"_s << false << u"%patdigisign%"_s << 2;
    QTest::newRow("setting absent")
        << demojournal::kAdultPatient << QString() << true << QString() << 0;
    QTest::newRow("setting FALSE")
        << demojournal::kAdultPatient << u"FALSE"_s << true << QString() << 0;
}

void TestQuestionnairePage::signatureStep()
{
    QFETCH(int, patient);
    QFETCH(QString, setting);
    QFETCH(bool, padSigns);
    QFETCH(QString, placeholder);
    QFETCH(int, askedAfterSecondSave);
    PAGE_FIXTURE(f, Backend::Sqlite);
    if (!setting.isNull())
        f.writeSetting(u"Hälsodeklaration"_s, u"PatSignDigitalt"_s, setting);
    f.signSucceeds = padSigns;
    f.open(patient, kStandard);
    const int declaration = f.queries().QPATHALSODEK->FieldByName(u"LOPNR"_s).AsInteger();
    pick(f.row(1, 101)->LeftComboBox(), u"Ja"_s);

    f.page().SpeedButton2Click();
    QCOMPARE(f.label2()->text(), WithLineBreaks(TQuestionnairePage::kSavedText));
    QCOMPARE(f.signRequests.size(), placeholder.isEmpty() ? 0 : 1);
    const bool signedNow = !placeholder.isEmpty() && padSigns;
    if (!placeholder.isEmpty()) {
        const SignRequest &request = f.signRequests.first();
        QCOMPARE(request.placeholder, placeholder);
        const QString name =
            f.scalar(u"SELECT F_RNAMN FROM KUNDER WHERE PATIENTNR = %1"_s.arg(patient)).toString() +
            u' ' +
            f.scalar(u"SELECT EFTERNAMN FROM KUNDER WHERE PATIENTNR = %1"_s.arg(patient))
                .toString();
        QCOMPARE(request.patientName, name);
        QCOMPARE(
            request.btext,
            f.scalar(u"SELECT BTEXT FROM KUNDER WHERE PATIENTNR = %1"_s.arg(patient)).toString());
        QCOMPARE(request.malsman2,
                 f.scalar(u"SELECT MALSMAN2 FROM KUNDER WHERE PATIENTNR = %1"_s.arg(patient))
                     .toString());
    }
    // The answers are committed in every case; the signature only when the pad gave one.
    QCOMPARE(storedAnswer(f, declaration, 1, 101), u"Ja"_s);
    const QString row = u"SELECT %2 FROM PATHALSODEK WHERE LOPNR = %1"_s.arg(declaration);
    QCOMPARE(f.scalar(row.arg(u"PATDIGISIGN"_s)).toString() == u"T", signedNow);
    const QByteArray blob = f.scalar(row.arg(u"PATDIGISIGNATUR"_s)).toByteArray();
    if (signedNow) {
        QCOMPARE(blob, CopyRichEdittoBlob(f.signedRtf, true));
        const RichTextLoad loaded = CopyRichEditFromBlob(blob);
        QCOMPARE(loaded.source, RichTextLoad::Source::Deciphered);
        QCOMPARE(loaded.text, f.signedRtf);
    } else {
        QVERIFY(blob.isEmpty());
    }

    // A signed declaration is never offered for signing again.
    pick(f.row(1, 101)->LeftComboBox(), u"Nej"_s);
    f.page().SpeedButton2Click();
    QCOMPARE(f.signRequests.size(), askedAfterSecondSave);
    QCOMPARE(storedAnswer(f, declaration, 1, 101), u"Nej"_s);
}

void TestQuestionnairePage::signAgeLimit_data()
{
    QTest::addColumn<int>("counter"); // -1: no row
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("childPlaceholder");
    QTest::newRow("no row: 18") << -1 << 18 << u"%patmaldigisign%"_s;
    QTest::newRow("18") << 18 << 18 << u"%patmaldigisign%"_s;
    QTest::newRow("10: a twelve-year-old signs") << 10 << 10 << u"%patdigisign%"_s;
}

void TestQuestionnairePage::signAgeLimit()
{
    QFETCH(int, counter);
    QFETCH(int, limit);
    QFETCH(QString, childPlaceholder);
    PAGE_FIXTURE(f, Backend::Sqlite);
    f.db().exec(u"DELETE FROM FIELDCOUNTERS WHERE TABLENAME = 'SIGNHALSO'"_s);
    if (counter != -1)
        f.setCounter(u"SIGNHALSO"_s, u"FROMOCHMED"_s, counter);
    f.writeSetting(u"Hälsodeklaration"_s, u"PatSignDigitalt"_s, u"TRUE"_s);
    f.open(demojournal::kMinorPatient, kStandard);
    f.page().FModified = true;
    f.page().SpeedButton2Click();
    QCOMPARE(f.page().FHalsoSignYear, limit);
    QCOMPARE(f.signRequests.size(), 1);
    QCOMPARE(f.signRequests.first().placeholder, childPlaceholder);
    // Read once per run of the program.
    f.setCounter(u"SIGNHALSO"_s, u"FROMOCHMED"_s, 99);
    QCOMPARE(f.page().GetSignAgeLimit(), limit);
}

VN_REGISTER_TEST(TestQuestionnairePage)
#include "tst_questionnairepage.moc"
