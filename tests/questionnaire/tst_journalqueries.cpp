#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "dbtestutil.h"
#include "questionnaire/journalqueries.h"
#include "testrunner.h"

#include <QTest>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

TVNAdoQuery *queryNamed(JournalQueries &q, const QString &name)
{
    const std::pair<const char16_t *, TVNAdoQuery *> all[] = {
        {u"QKUNDER", q.QKUNDER},
        {u"PATREG", q.PATREG},
        {u"QPATHALSODEK", q.QPATHALSODEK},
        {u"QPATHALSODEKVALUES", q.QPATHALSODEKVALUES},
        {u"QHALSOJOURNALER", q.QHALSOJOURNALER},
        {u"QHALSOJOURNALERLOOKUP", q.QHALSOJOURNALERLOOKUP},
        {u"QHALSOGRUPPER", q.QHALSOGRUPPER},
        {u"QHALSOVALUES", q.QHALSOVALUES},
        {u"lopnrQuery", q.lopnrQuery},
        {u"IniData", q.IniData},
    };
    for (const auto &[n, query] : all) {
        if (name == QString::fromUtf16(n))
            return query;
    }
    return nullptr;
}

} // namespace

class TestJournalQueries : public QObject
{
    Q_OBJECT

private slots:
    void statements_data();
    void statements();
    void answerListStatements();
    void chainFollowsThePatient_data();
    void chainFollowsThePatient();
};

void TestJournalQueries::statements_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("onCounterConnection");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("master");
    QTest::addColumn<bool>("readOnly");
    const QStringList counter{u"SELECT * FROM FIELDCOUNTERS"_s, u"WHERE TABLENAME =:tablename"_s,
                              u"AND FIELDNAME =:fieldname"_s};
    QTest::newRow("QKUNDER") << u"QKUNDER"_s << false
                             << QStringList{u"SELECT * FROM KUNDER WHERE PERSONNR LIKE :personnr"_s}
                             << QString() << true;
    QTest::newRow("PATREG") << u"PATREG"_s << false
                            << QStringList{u"Select * from PATREG"_s,
                                           u"where PATIENTNR =:PATIENTNR"_s, u"and LOPNR > 0"_s,
                                           u"order by LOPNR"_s}
                            << u"QKUNDER"_s << false;
    QTest::newRow("QPATHALSODEK") << u"QPATHALSODEK"_s << false
                                  << QStringList{u"SELECT * FROM PATHALSODEK"_s,
                                                 u"WHERE PATIENTNR=:PATIENTNR"_s,
                                                 u"ORDER BY DATUM"_s}
                                  << u"QKUNDER"_s << false;
    QTest::newRow("QPATHALSODEKVALUES")
        << u"QPATHALSODEKVALUES"_s << false
        << QStringList{u"SELECT * FROM PATHALSODEKVALUES"_s, u"WHERE PATHALSODEKLOPNR =:LOPNR"_s,
                       QString()}
        << u"QPATHALSODEK"_s << false;
    QTest::newRow("QHALSOJOURNALER")
        << u"QHALSOJOURNALER"_s << false
        << QStringList{u"SELECT * FROM HALSOJOURNALER"_s, u"WHERE HALSONR =:HALSONR"_s,
                       u"ORDER BY NAMN"_s}
        << u"QPATHALSODEK"_s << true;
    QTest::newRow("QHALSOJOURNALERLOOKUP")
        << u"QHALSOJOURNALERLOOKUP"_s << false
        << QStringList{u"SELECT * FROM HALSOJOURNALER"_s, u"WHERE AKTIV = 'T'"_s,
                       u"ORDER BY NAMN"_s}
        << QString() << true;
    QTest::newRow("QHALSOGRUPPER")
        << u"QHALSOGRUPPER"_s << false
        << QStringList{u"SELECT * FROM HALSOGRUPPER"_s, u"WHERE HALSONR =:HALSONR"_s,
                       u"AND AKTIV = 'T'"_s, u"ORDER BY INDEXNR ASC"_s}
        << u"QHALSOJOURNALER"_s << true;
    QTest::newRow("QHALSOVALUES") << u"QHALSOVALUES"_s << false
                                  << QStringList{u"SELECT * FROM HALSOVALUES"_s,
                                                 u"WHERE GRUPPLOPNR =:GRUPPLOPNR"_s,
                                                 u"ORDER BY INDEXNR ASC"_s}
                                  << u"QHALSOGRUPPER"_s << true;
    QTest::newRow("lopnrQuery") << u"lopnrQuery"_s << true << counter << QString() << false;
    QTest::newRow("IniData") << u"IniData"_s << true << counter << QString() << false;
}

void TestJournalQueries::statements()
{
    QFETCH(QString, query);
    QFETCH(bool, onCounterConnection);
    QFETCH(QString, master);
    QFETCH(bool, readOnly);
    TVNConnection database1;
    TVNConnection lopnrDatabase;
    JournalQueries queries(&database1, &lopnrDatabase);
    TVNAdoQuery *q = queryNamed(queries, query);
    QVERIFY(q);
    QCOMPARE(q->parent(), &queries);
    QTEST(q->SQL(), "lines");
    QCOMPARE(q->Connection(), onCounterConnection ? &lopnrDatabase : &database1);
    QCOMPARE(q->Master(), master.isEmpty() ? nullptr : queryNamed(queries, master));
    QCOMPARE(q->CurrentLockType() == LockType::ReadOnly, readOnly);
}

void TestJournalQueries::answerListStatements()
{
    QCOMPARE(AnswerListStatement(17), u"SELECT * FROM DROPDOWNDATA WHERE LOPNR = 17"_s);
    QCOMPARE(ListAnswersStatement(17),
             u"SELECT * FROM DROPDOWNVALUES WHERE GROUPLOPNR = 17 AND AKTIV = 'T'"_s);
    QCOMPARE(ListAnswersStatement(-2),
             u"SELECT * FROM DROPDOWNVALUES WHERE GROUPLOPNR = -2 AND AKTIV = 'T'"_s);
}

void TestJournalQueries::chainFollowsThePatient_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

// The patient selects registrations and declarations, the declaration its answers and its
// questionnaire, the questionnaire its active groups, the group its questions.
void TestJournalQueries::chainFollowsThePatient()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    db.exec(
        u"INSERT INTO KUNDER (PERSONNR, PATIENTNR) VALUES ('19800101-1234', 1), ('19900202-2345', 2)"_s);
    db.exec(u"INSERT INTO PATREG VALUES (1, 0, 5), (1, 3, 6), (1, 4, 7), (2, 8, 9)"_s);
    db.exec(u"INSERT INTO PATHALSODEK (LOPNR, PATIENTNR, REGNR, HALSONR, SIGNERAD) VALUES "
            "(10, 1, 4, 100, 'F'), (20, 2, 8, 200, 'F')"_s);
    db.exec(
        u"INSERT INTO PATHALSODEKVALUES VALUES (10, 1000, 5000, 'Ja', NULL), (20, 2000, 6000, 'Nej', NULL)"_s);
    db.exec(u"INSERT INTO HALSOJOURNALER VALUES (100, 'Vuxen', 'T'), (200, 'Barn', 'T')"_s);
    db.exec(u"INSERT INTO HALSOGRUPPER (GRUPPLOPNR, HALSONR, AKTIV, INDEXNR, NAMN) VALUES "
            "(1000, 100, 'T', 2, 'Hjärta'), (1001, 100, 'F', 1, 'Gammal'), (1002, 100, 'T', 1, "
            "'Allmänt'), "
            "(2000, 200, 'T', 1, 'Barn')"_s);
    db.exec(
        u"INSERT INTO HALSOVALUES (LOPNR, GRUPPLOPNR, INDEXNR, OVERSKRIFT) VALUES "
        "(5000, 1000, 1, 'Hjärtfel?'), (5001, 1002, 1, 'Allergi?'), (5002, 1002, 2, 'Medicin?')"_s);

    TVNConnection database1;
    TVNConnection lopnrDatabase;
    database1.Open(db.initString());
    lopnrDatabase.Open(db.initString());
    JournalQueries q(&database1, &lopnrDatabase);
    q.QKUNDER->ParamByName(u"personnr"_s).SetAsString(u"19800101%"_s);
    q.QKUNDER->Open();
    for (TVNAdoQuery *detail : {q.PATREG, q.QPATHALSODEK, q.QPATHALSODEKVALUES, q.QHALSOJOURNALER,
                                q.QHALSOGRUPPER, q.QHALSOVALUES})
        detail->Open();

    QCOMPARE(q.PATREG->RecordCount(), 2);
    q.PATREG->Last();
    QCOMPARE(q.PATREG->FieldByName(u"ORTODONTIST"_s).AsInteger(), 7);
    QCOMPARE(q.QPATHALSODEK->FieldByName(u"LOPNR"_s).AsInteger(), 10);
    QCOMPARE(q.QPATHALSODEKVALUES->FieldByName(u"COL1VALUE"_s).AsString(), u"Ja"_s);
    QCOMPARE(q.QHALSOJOURNALER->FieldByName(u"NAMN"_s).AsString(), u"Vuxen"_s);
    QCOMPARE(q.QHALSOGRUPPER->RecordCount(), 2);
    QCOMPARE(q.QHALSOGRUPPER->FieldByName(u"NAMN"_s).AsString(), u"Allmänt"_s);
    QCOMPARE(q.QHALSOVALUES->RecordCount(), 2);
    q.QHALSOGRUPPER->Next();
    QCOMPARE(q.QHALSOVALUES->RecordCount(), 1);
    QCOMPARE(q.QHALSOVALUES->FieldByName(u"OVERSKRIFT"_s).AsString(), u"Hjärtfel?"_s);

    // Another patient: every level follows.
    q.QKUNDER->Close();
    q.QKUNDER->ParamByName(u"personnr"_s).SetAsString(u"19900202-2345"_s);
    q.QKUNDER->Open();
    QCOMPARE(q.PATREG->FieldByName(u"LOPNR"_s).AsInteger(), 8);
    QCOMPARE(q.QPATHALSODEKVALUES->FieldByName(u"COL1VALUE"_s).AsString(), u"Nej"_s);
    QCOMPARE(q.QHALSOJOURNALER->FieldByName(u"NAMN"_s).AsString(), u"Barn"_s);
    QCOMPARE(q.QHALSOGRUPPER->FieldByName(u"NAMN"_s).AsString(), u"Barn"_s);
    QVERIFY(q.QHALSOVALUES->IsEmpty());
}

VN_REGISTER_TEST(TestJournalQueries)
#include "tst_journalqueries.moc"
