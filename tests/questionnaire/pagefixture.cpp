#include "pagefixture.h"

#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "questionnaire/bettfyspanel.h"
#include "questionnaire/counters.h"
#include "questionnaire/flowpanel.h"
#include "questionnaire/journalqueries.h"
#include "toolkit/settings.h"

#include <QLabel>
#include <QScrollArea>
#include <QStackedLayout>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace {

QString quoted(const QString &text)
{
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString orNull(const std::optional<int> &value)
{
    return value ? QString::number(*value) : QStringLiteral("NULL");
}

} // namespace

PageFixture::PageFixture(dbtest::Backend backend, bool demoJournal)
    : m_db(backend), m_registryDir("VN_REGISTRY_DIR", m_dir.filePath(QStringLiteral("registry"))),
      m_oldInstallationKey(InstallationKey())
{
    SetInstallationKey(InstallationKeyFromFolder(QStringLiteral("C:\\Kiosk\\Page\\")));
    m_oldSign = SetSignDeclaration([this](const SignRequest &request, QByteArray *rtf) {
        signRequests.append(request);
        if (signSucceeds)
            *rtf = signedRtf;
        return signSucceeds;
    });
    TQuestionnairePage::SetSavePause(0ms);
    SetCounterRetryPause(0ms);
    if (!m_db.unavailable().isEmpty())
        return;

    m_db.loadDemoJournal(demoJournal ? dbtest::DemoContent::WithData
                                     : dbtest::DemoContent::SchemaOnly);

    m_database1 = std::make_unique<TVNConnection>();
    m_lopnrDatabase = std::make_unique<TVNConnection>();
    m_database1->Open(m_db.initString());
    m_lopnrDatabase->Open(m_db.initString());
    m_sharedQuery = std::make_unique<TVNAdoQuery>();
    m_sharedQuery->SetConnection(m_database1.get());
    SetSharedQuery(m_sharedQuery.get());
    m_queries = std::make_unique<JournalQueries>(m_database1.get(), m_lopnrDatabase.get());

    // The parts of the main window the page works in: the top bar's message line and save
    // button, and the questionnaire page with its cover.
    m_window = std::make_unique<QWidget>();
    m_window->resize(1024, 700);
    auto *panel4 = new QWidget(m_window.get());
    m_label2 = new QLabel(panel4);
    m_label2->setWordWrap(true);
    auto *topBar = new QHBoxLayout(panel4);
    topBar->addWidget(m_label2, 1);
    auto *saveButton = new QToolButton(panel4);
    topBar->addWidget(saveButton);
    m_saveButton = saveButton;
    auto *tabSheet = new QWidget(m_window.get());
    auto *panel1 = new QLabel(QStringLiteral("Laddar hälsodeklarationsfrågorna"), tabSheet);
    panel1->setAutoFillBackground(true);
    auto *panel5 = new QWidget(tabSheet);
    auto *label1 = new QLabel(panel5);
    m_scrollBox = new QScrollArea(panel5);
    m_scrollBox->setWidgetResizable(true);
    m_scrollBox->setWidget(new QWidget);
    auto *questionnaire = new QVBoxLayout(panel5);
    questionnaire->addWidget(label1);
    questionnaire->addWidget(m_scrollBox, 1);
    auto *cover = new QStackedLayout(tabSheet);
    cover->setStackingMode(QStackedLayout::StackAll);
    cover->addWidget(panel1);
    cover->addWidget(panel5);
    panel5->raise();
    auto *layout = new QVBoxLayout(m_window.get());
    layout->addWidget(panel4);
    layout->addWidget(tabSheet, 1);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qFatal("the page's window was not shown");

    QuestionnaireWidgets widgets;
    widgets.ScrollBoxBettfys = m_scrollBox;
    widgets.Panel4 = panel4;
    widgets.Panel1 = panel1;
    widgets.Label1 = label1;
    widgets.Label2 = m_label2;
    widgets.SpeedButton2 = m_saveButton;
    m_page = std::make_unique<TQuestionnairePage>(widgets, m_database1.get(), m_queries.get());
}

PageFixture::~PageFixture()
{
    m_page.reset();
    m_window.reset();
    m_queries.reset();
    if (SharedQuery() == m_sharedQuery.get())
        SetSharedQuery(nullptr);
    m_sharedQuery.reset();
    m_lopnrDatabase.reset();
    m_database1.reset();
    SetCounterRetryPause(kCounterRetryPause);
    TQuestionnairePage::SetSavePause(TQuestionnairePage::kSavePause);
    SetSignDeclaration(std::move(m_oldSign));
    SetInstallationKey(m_oldInstallationKey);
}

void PageFixture::open(int patientnr, int standard)
{
    const QString personnr =
        m_db.scalar(
                QStringLiteral("SELECT PERSONNR FROM KUNDER WHERE PATIENTNR = %1").arg(patientnr))
            .toString();
    TVNAdoQuery *patient = m_queries->QKUNDER;
    patient->Close();
    patient->ParamByName(QStringLiteral("personnr")).SetAsString(personnr);
    patient->Open();
    m_saveButton->show();
    m_page->PageControl1Change(standard);
}

QList<TBettFysPanel *> PageFixture::rows() const
{
    QList<TBettFysPanel *> all;
    for (TFlowPanel *group : m_page->GroupContainers())
        all += group->findChildren<TBettFysPanel *>(Qt::FindDirectChildrenOnly);
    return all;
}

TBettFysPanel *PageFixture::row(int gruppLopnr, int valueLopnr) const
{
    for (TBettFysPanel *r : rows()) {
        if (r->GruppLopnr == gruppLopnr && r->ValueLopnr == valueLopnr)
            return r;
    }
    return nullptr;
}

TBettFysPanel *PageFixture::ownerOf(const TBettFysPanel *row)
{
    if (!row || !row->parentWidget())
        return nullptr;
    return row->parentWidget()->findChild<TBettFysPanel *>(QString(), Qt::FindDirectChildrenOnly);
}

TBettFysPanel *PageFixture::owner(int groupIndex) const
{
    const QList<TFlowPanel *> groups = m_page->GroupContainers();
    if (groupIndex < 0 || groupIndex >= groups.size())
        return nullptr;
    return groups.at(groupIndex)->findChild<TBettFysPanel *>(QString(), Qt::FindDirectChildrenOnly);
}

void PageFixture::writeSetting(const QString &section, const QString &name, const QString &value)
{
    WriteSetting(section, name, value);
}

void PageFixture::addQuestionnaire(int halsonr)
{
    m_db.exec(
        QStringLiteral("INSERT INTO HALSOJOURNALER (HALSONR, NAMN, AKTIV) VALUES (%1, %2, 'T')")
            .arg(halsonr)
            .arg(quoted(QStringLiteral("Testdeklaration %1").arg(halsonr))));
}

void PageFixture::addList(const ListSpec &list)
{
    m_db.exec(
        QStringLiteral("INSERT INTO DROPDOWNDATA (LOPNR, DATAMASK, DROPDOWNTYP, DEFVALUELOPNR) "
                       "VALUES (%1, %2, %3, %4)")
            .arg(list.lopnr)
            .arg(quoted(list.mask))
            .arg(list.style)
            .arg(orNull(list.defaultAnswer)));
    for (const auto &[lopnr, text] : list.answers)
        m_db.exec(
            QStringLiteral("INSERT INTO DROPDOWNVALUES (LOPNR, GROUPLOPNR, DROPDOWNTEXT, AKTIV) "
                           "VALUES (%1, %2, %3, 'T')")
                .arg(lopnr)
                .arg(list.lopnr)
                .arg(quoted(text)));
}

void PageFixture::addGroup(const GroupSpec &g)
{
    m_db.exec(QStringLiteral(
                  "INSERT INTO HALSOGRUPPER (GRUPPLOPNR, HALSONR, AKTIV, INDEXNR, NAMN, ANTALCOL, "
                  "COL1TEXT, COL2TEXT, COL1CHECKBOX, COL1CBOXACTION, COL2CBOXACTION, GRUPPSYNLIG) "
                  "VALUES (%1, %2, 'T', %3, %4, %5, %6, %7, %8, %9, %10, %11)")
                  .arg(g.grupp)
                  .arg(g.halsonr)
                  .arg(g.index)
                  .arg(quoted(g.namn))
                  .arg(g.antalCol)
                  .arg(quoted(g.col1Text), quoted(g.col2Text),
                       g.switchQuestion ? QStringLiteral("'T'") : QStringLiteral("'F'"),
                       orNull(g.switchLopnr), orNull(g.openingAnswer), quoted(g.visible)));
}

void PageFixture::addQuestion(const QuestionSpec &q)
{
    m_db.exec(
        QStringLiteral("INSERT INTO HALSOVALUES (LOPNR, GRUPPLOPNR, INDEXNR, OVERSKRIFT, ANTALCOL, "
                       "COL1TYP, COL2TYP, COL1LOOKUP, COL2LOOKUP) "
                       "VALUES (%1, %2, %3, %4, %5, %6, %7, %8, %9)")
            .arg(q.lopnr)
            .arg(q.grupp)
            .arg(q.index)
            .arg(quoted(q.text))
            .arg(q.antalCol)
            .arg(q.col1Lookup != 0 ? 1 : 0)
            .arg(q.col2Lookup != 0 ? 1 : 0)
            .arg(q.col1Lookup)
            .arg(q.col2Lookup));
}

void PageFixture::addDeclaration(int lopnr, int patientnr, int halsonr,
                                 const QList<AnswerSpec> &answers)
{
    m_db.exec(
        QStringLiteral("INSERT INTO PATHALSODEK (LOPNR, PATIENTNR, REGNR, DATUM, VARDGIVARENR, "
                       "HALSONR, SIGNERAD, PATDIGISIGN) "
                       "VALUES (%1, %2, NULL, '2026-01-02 10:00:00', 11, %3, 'F', 'F')")
            .arg(lopnr)
            .arg(patientnr)
            .arg(halsonr));
    for (const AnswerSpec &a : answers)
        m_db.exec(QStringLiteral("INSERT INTO PATHALSODEKVALUES (PATHALSODEKLOPNR, GRUPPLOPNR, "
                                 "VALUELOPNR, COL1VALUE, COL2VALUE) VALUES (%1, %2, %3, %4, %5)")
                      .arg(lopnr)
                      .arg(a.grupp)
                      .arg(a.value)
                      .arg(quoted(a.col1), quoted(a.col2)));
}

void PageFixture::addPatient(int patientnr, const QString &personnr, int registration)
{
    m_db.exec(QStringLiteral("INSERT INTO KUNDER (PATIENTNR, PERSONNR, F_RNAMN, EFTERNAMN) "
                             "VALUES (%1, %2, 'Test', 'Patient')")
                  .arg(patientnr)
                  .arg(quoted(personnr)));
    m_db.exec(
        QStringLiteral("INSERT INTO PATREG (LOPNR, PATIENTNR, ORTODONTIST) VALUES (%1, %2, 11)")
            .arg(registration)
            .arg(patientnr));
}

void PageFixture::setCounter(const QString &table, const QString &field, int value)
{
    m_db.exec(QStringLiteral("DELETE FROM FIELDCOUNTERS WHERE TABLENAME = %1 AND FIELDNAME = %2")
                  .arg(quoted(table), quoted(field)));
    m_db.exec(QStringLiteral(
                  "INSERT INTO FIELDCOUNTERS (TABLENAME, FIELDNAME, COUNTER) VALUES (%1, %2, %3)")
                  .arg(quoted(table), quoted(field))
                  .arg(value));
}

int PageFixture::count(const QString &sqlCondition, const QString &table)
{
    return m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2").arg(table, sqlCondition))
        .toInt();
}
