#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "dbtestutil.h"
#include "dialogrecorder.h"
#include "testrunner.h"

#include <QTest>

using namespace Qt::StringLiterals;
using dbtest::Backend;

class TestOpenQuery : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetSharedQuery(nullptr); }
    void opensOnSharedConnection_data();
    void opensOnSharedConnection();
    void failureShowsStatementAndMessage_data();
    void failureShowsStatementAndMessage();
    void withoutSharedQuery();
    void readDatabaseValue_data();
    void readDatabaseValue();
    void readDatabaseValueFailure();
};

void TestOpenQuery::opensOnSharedConnection_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestOpenQuery::opensOnSharedConnection()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    db.exec(
        u"INSERT INTO DROPDOWNVALUES VALUES (1, 5, 'Ja', 'T'), (2, 5, 'Nej', 'T'), (3, 5, 'Kanske', 'F')"_s);
    TVNConnection database1;
    database1.Open(db.initString());
    TVNAdoQuery shared;
    shared.SetConnection(&database1);
    SetSharedQuery(&shared);
    DialogRecorder dialogs;

    // No transaction open: one is begun.
    auto answers =
        OpenQuery(u"SELECT * FROM DROPDOWNVALUES WHERE GROUPLOPNR = 5 AND AKTIV = 'T'"_s, false);
    QVERIFY(answers);
    QVERIFY(answers->Active());
    QCOMPARE(answers->RecordCount(), 2);
    QCOMPARE(answers->CurrentLockType(), LockType::ReadOnly);
    QCOMPARE(answers->Connection(), &database1);
    QVERIFY(database1.InTransaction());

    // Already inside a transaction: no second one; its own uncommitted work is seen.
    TVNAdoQuery write;
    write.SetConnection(&database1);
    write.SetSQL({u"INSERT INTO DROPDOWNVALUES VALUES (4, 5, 'Vet ej', 'T')"_s});
    write.ExecSQL();
    auto editable =
        OpenQuery(u"SELECT * FROM DROPDOWNVALUES WHERE GROUPLOPNR = 5 AND AKTIV = 'T'"_s, true);
    QVERIFY(editable);
    QCOMPARE(editable->RecordCount(), 3);
    QCOMPARE(editable->CurrentLockType(), LockType::Optimistic);
    QVERIFY(dialogs.shown.isEmpty());
    database1.RollbackTrans();
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM DROPDOWNVALUES"_s).toInt(), 3);
}

void TestOpenQuery::failureShowsStatementAndMessage_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestOpenQuery::failureShowsStatementAndMessage()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    TVNConnection database1;
    database1.Open(db.initString());
    TVNAdoQuery shared;
    shared.SetConnection(&database1);
    SetSharedQuery(&shared);
    DialogRecorder dialogs;

    const QString sql = u"SELECT * FROM DROPDOWNDATA WHERE NOSUCHCOLUMN = 1"_s;
    QVERIFY(!OpenQuery(sql, false));
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Error);
    const QString prefix = u"Det gick inte att utföra SQL-frågan: "_s + sql + u"!\r\r"_s;
    const QString text = dialogs.shown.at(0).text;
    QVERIFY2(text.startsWith(prefix), qPrintable(text));
    QVERIFY2(text.mid(prefix.size()).contains(u"nosuchcolumn"_s, Qt::CaseInsensitive),
             qPrintable(text));
}

void TestOpenQuery::withoutSharedQuery()
{
    DialogRecorder dialogs;
    QVERIFY(!OpenQuery(u"SELECT 1"_s, false));
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY(dialogs.shown.at(0).text.startsWith(
        u"Det gick inte att utföra SQL-frågan: SELECT 1!\r\r"_s));
}

void TestOpenQuery::readDatabaseValue_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    for (const Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        const auto row = [backend](const char *name) -> QTestData & {
            return dbtest::NewBackendRow(name, backend);
        };
        row("present") << u"PersonnummerMask"_s << u"#[#]-[#]"_s;
        row("absent gives the default") << u"NoSuchKey"_s << u"INGEN"_s;
        row("blank key gives the default") << u" \t"_s << u"INGEN"_s;
    }
}

void TestOpenQuery::readDatabaseValue()
{
    QFETCH(Backend, backend);
    QFETCH(QString, key);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PersonnummerMask', '#[#]-[#]', 0)"_s);
    TVNConnection database1;
    database1.Open(db.initString());
    TVNAdoQuery shared;
    shared.SetConnection(&database1);
    SetSharedQuery(&shared);
    DialogRecorder dialogs;

    QTEST(ReadDatabaseValue(key, u"INGEN"_s), "expected");
    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(!shared.Active());
}

void TestOpenQuery::readDatabaseValueFailure()
{
    DBTEST_SCRATCH(db, Backend::Sqlite); // no tables at all
    TVNConnection database1;
    database1.Open(db.initString());
    TVNAdoQuery shared;
    shared.SetConnection(&database1);
    SetSharedQuery(&shared);
    DialogRecorder dialogs;

    QCOMPARE(ReadDatabaseValue(u"PersonnummerMask"_s, u"INGEN"_s), u"INGEN"_s);
    QCOMPARE(dialogs.shown.size(), 1);
    QVERIFY2(dialogs.shown.at(0).text.startsWith(u"Det gick inte att hämta värdet!\r\r"_s),
             qPrintable(dialogs.shown.at(0).text));
    QVERIFY(dialogs.shown.at(0).text.contains(u"FIELDCOUNTERS"_s, Qt::CaseInsensitive));
}

VN_REGISTER_TEST(TestOpenQuery)
#include "tst_openquery.moc"
