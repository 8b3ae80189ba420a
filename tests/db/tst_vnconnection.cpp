#include "db/databaseerror.h"
#include "db/providermapping.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "dbtestutil.h"
#include "testrunner.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using dbtest::Backend;

class TestVNConnection : public QObject
{
    Q_OBJECT

private slots:
    void mapInitString_data();
    void mapInitString();
    void unknownProviderIsRefusedInSwedish_data();
    void unknownProviderIsRefusedInSwedish();
    void openCloseAndTransactions_data();
    void openCloseAndTransactions();
    void missingSqliteFileIsNotCreated();
    void longTransactionWithCounterOnOtherConnection_data();
    void longTransactionWithCounterOnOtherConnection();
    void counterDrawnAfterDeclarationWroteNestsInIt();
    void killedPostgresConnection();
};

void TestVNConnection::mapInitString_data()
{
    QTest::addColumn<QString>("init");
    QTest::addColumn<QString>("odbcDriver");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    QTest::newRow("sqloledb with database login")
        << u"Provider=SQLOLEDB.1;Password=pilk;Persist Security Info=True;User ID=kalvin;"
           u"Initial Catalog=JournalDB;Data Source=SRV01\\MXQ2012"_s
        << QString() << u"QODBC"_s
        << u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=SRV01\\MXQ2012;DATABASE=JournalDB;"
           u"UID=kalvin;PWD=pilk;Encrypt=no;"_s
        << QString() << -1 << QString() << QString();
    QTest::newRow("sqlncli with integrated security and port")
        << u"Provider=SQLNCLI11.1;Integrated Security=SSPI;Persist Security Info=False;"
           u"Initial Catalog=J;Data Source=db.klinik.local,1433"_s
        << u"ODBC Driver 17 for SQL Server"_s << u"QODBC"_s
        << u"DRIVER={ODBC Driver 17 for SQL Server};SERVER=db.klinik.local,1433;DATABASE=J;"
           u"Trusted_Connection=yes;Encrypt=no;"_s
        << QString() << -1 << QString() << QString();
    QTest::newRow("msoledbsql, FreeTDS takes the port apart")
        << u"Provider=MSOLEDBSQL;Data Source=10.0.0.5,1444;Initial Catalog=J;User ID=u;Password=p"_s
        << u"FreeTDS"_s << u"QODBC"_s
        << u"DRIVER={FreeTDS};SERVER=10.0.0.5;PORT=1444;DATABASE=J;UID=u;PWD=p;"_s << QString()
        << -1 << QString() << QString();
    QTest::newRow("quoted password with separators is braced")
        << u"Provider=SQLOLEDB;Data Source=S;Initial Catalog=J;User ID=u;Password=\"a;b}c\"\"d\""_s
        << QString() << u"QODBC"_s
        << u"DRIVER={ODBC Driver 18 for SQL Server};SERVER=S;DATABASE=J;UID=u;PWD={a;b}}c\"d};Encrypt=no;"_s
        << QString() << -1 << QString() << QString();
    QTest::newRow("sqlite file") << u"Provider=SQLite;Data Source=demo/journal.db"_s << QString()
                                 << u"QSQLITE"_s << u"demo/journal.db"_s << QString() << -1
                                 << QString() << QString();
    QTest::newRow("postgresql host and port, keys in any case")
        << u"provider=PostgreSQL;data source=pg.local:55432;initial catalog=journal;"
           u"user id=kiosk;password='x y'"_s
        << QString() << u"QPSQL"_s << u"journal"_s << u"pg.local"_s << 55432 << u"kiosk"_s
        << u"x y"_s;
    QTest::newRow("postgresql host without port")
        << u"Provider=PostgreSQL;Data Source=pg.local;Initial Catalog=journal"_s << QString()
        << u"QPSQL"_s << u"journal"_s << u"pg.local"_s << -1 << QString() << QString();
}

void TestVNConnection::mapInitString()
{
    QFETCH(QString, init);
    QFETCH(QString, odbcDriver);
    const ConnectionTarget target = MapInitString(init, odbcDriver);
    QTEST(target.driver, "driver");
    QTEST(target.databaseName, "databaseName");
    QTEST(target.hostName, "host");
    QTEST(target.port, "port");
    QTEST(target.userName, "user");
    QTEST(target.password, "password");
}

void TestVNConnection::unknownProviderIsRefusedInSwedish_data()
{
    QTest::addColumn<QString>("init");
    QTest::addColumn<QString>("named");
    QTest::newRow("jet") << u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"_s
                         << u"Microsoft.Jet.OLEDB.4.0"_s;
    QTest::newRow("no provider") << u"FILE NAME=C:\\x.udl"_s << QString();
}

void TestVNConnection::unknownProviderIsRefusedInSwedish()
{
    QFETCH(QString, init);
    QFETCH(QString, named);
    try {
        MapInitString(init);
        QFAIL("an unknown provider was accepted");
    } catch (const DatabaseError &error) {
        QVERIFY2(error.message().startsWith(u"Okänd databasleverantör \"" + named + u'"'),
                 qPrintable(error.message()));
    }
    TVNConnection connection;
    QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.Open(init));
    QVERIFY(!connection.Connected());
}

void TestVNConnection::openCloseAndTransactions_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNConnection::openCloseAndTransactions()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();

    TVNConnection connection;
    QCOMPARE(connection.Tag(), 0);
    connection.Open(db.initString());
    QVERIFY(connection.Connected());
    QCOMPARE(connection.ConnectionString(), db.initString());

    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL(
        {u"INSERT INTO FIELDCOUNTERS (TABLENAME, FIELDNAME, COUNTER) VALUES ('A', 'B', 1)"_s});
    connection.BeginTrans();
    QVERIFY(connection.InTransaction());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.BeginTrans());
    QCOMPARE(query.ExecSQL(), 1);
    connection.RollbackTrans();
    QVERIFY(!connection.InTransaction());
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM FIELDCOUNTERS"_s).toInt(), 0);

    connection.BeginTrans();
    query.ExecSQL();
    connection.CommitTrans();
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM FIELDCOUNTERS"_s).toInt(), 1);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, connection.CommitTrans());

    // Closing rolls back what is still open, and closes the queries on the connection.
    TVNAdoQuery reader;
    reader.SetConnection(&connection);
    reader.SetSQL({u"SELECT * FROM FIELDCOUNTERS"_s});
    reader.Open();
    connection.BeginTrans();
    query.ExecSQL();
    connection.SetTag(666);
    connection.Close();
    QVERIFY(!connection.Connected());
    QVERIFY(!connection.InTransaction());
    QVERIFY(!reader.Active());
    QCOMPARE(connection.Tag(), 666);
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM FIELDCOUNTERS"_s).toInt(), 1);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, reader.Open());

    connection.Open(db.initString());
    reader.Open();
    QCOMPARE(reader.RecordCount(), 1);
}

void TestVNConnection::missingSqliteFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"absent.db"_s);
    TVNConnection connection;
    try {
        connection.Open(u"Provider=SQLite;Data Source="_s + file);
        QFAIL("a missing journal file was opened");
    } catch (const DatabaseError &error) {
        QVERIFY2(error.message().contains(u"finns inte"_s), qPrintable(error.message()));
    }
    QVERIFY(!QFile::exists(file));
    QVERIFY(!connection.Connected());
}

// The declaration transaction on Database1 stays open from identification to save while a
// number is drawn and committed on lopnrDatabase; then the declaration is inserted.
void TestVNConnection::longTransactionWithCounterOnOtherConnection_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<bool>("commitDeclaration");
    QTest::newRow("commit, sqlite") << Backend::Sqlite << true;
    QTest::newRow("commit, postgresql") << Backend::Postgres << true;
    QTest::newRow("rollback, sqlite") << Backend::Sqlite << false;
    QTest::newRow("rollback, postgresql") << Backend::Postgres << false;
}

void TestVNConnection::longTransactionWithCounterOnOtherConnection()
{
    QFETCH(Backend, backend);
    QFETCH(bool, commitDeclaration);
    DBTEST_SCRATCH(db, backend);
    db.createJournalSchema();
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PATHALSODEK', 'LOPNR', 41)"_s);
    db.exec(u"INSERT INTO KUNDER (PERSONNR, PATIENTNR) VALUES ('19800101-1234', 7)"_s);

    TVNConnection database1;
    TVNConnection lopnrDatabase;
    database1.Open(db.initString());
    lopnrDatabase.Open(db.initString());

    database1.BeginTrans();
    TVNAdoQuery patient;
    patient.SetConnection(&database1);
    patient.SetSQL({u"SELECT * FROM KUNDER WHERE PERSONNR LIKE :personnr"_s});
    patient.ParamByName(u"personnr"_s).SetValue(u"19800101%"_s);
    patient.Open();
    QCOMPARE(patient.RecordCount(), 1);

    lopnrDatabase.BeginTrans();
    TVNAdoQuery counter;
    counter.SetConnection(&lopnrDatabase);
    counter.SetSQL({u"SELECT * FROM FIELDCOUNTERS"_s, u"WHERE TABLENAME =:tablename"_s,
                    u"AND FIELDNAME =:fieldname"_s});
    counter.ParamByName(u"tablename"_s).SetValue(u"PATHALSODEK"_s);
    counter.ParamByName(u"fieldname"_s).SetValue(u"LOPNR"_s);
    counter.Open();
    const int number = counter.FieldByName(u"COUNTER"_s).AsInteger() + 1;
    counter.Edit();
    counter.FieldByName(u"COUNTER"_s).SetAsInteger(number);
    counter.Post();
    lopnrDatabase.CommitTrans();
    QCOMPARE(db.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS"_s).toInt(), 42);

    TVNAdoQuery declaration;
    declaration.SetConnection(&database1);
    declaration.SetSQL(
        {u"SELECT * FROM PATHALSODEK"_s, u"WHERE PATIENTNR=:PATIENTNR"_s, u"ORDER BY DATUM"_s});
    declaration.ParamByName(u"PATIENTNR"_s).SetValue(7);
    declaration.Open();
    declaration.Insert();
    declaration.FieldByName(u"LOPNR"_s).SetAsInteger(number);
    declaration.FieldByName(u"PATIENTNR"_s).SetAsInteger(7);
    declaration.FieldByName(u"DATUM"_s).SetAsDateTime(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    declaration.Post();
    if (commitDeclaration)
        database1.CommitTrans();
    else
        database1.RollbackTrans();

    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM PATHALSODEK WHERE LOPNR = 42"_s).toInt(),
             commitDeclaration ? 1 : 0);
    // The number stays drawn either way.
    QCOMPARE(db.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS"_s).toInt(), 42);
}

// SQLite only: when Database1 has already written, the counter transaction on the same file runs
// inside it (one writer per file); it neither waits for itself nor fails.
void TestVNConnection::counterDrawnAfterDeclarationWroteNestsInIt()
{
    DBTEST_SCRATCH(db, Backend::Sqlite);
    db.createJournalSchema();
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PATHALSODEK', 'LOPNR', 1)"_s);
    TVNConnection database1;
    TVNConnection lopnrDatabase;
    database1.Open(db.initString());
    lopnrDatabase.Open(db.initString());

    TVNAdoQuery write;
    write.SetConnection(&database1);
    write.SetSQL({u"INSERT INTO PATREG (PATIENTNR, LOPNR, ORTODONTIST) VALUES (1, 5, 9)"_s});
    TVNAdoQuery draw;
    draw.SetConnection(&lopnrDatabase);
    draw.SetSQL({u"UPDATE FIELDCOUNTERS SET COUNTER = COUNTER + 1"_s});

    database1.BeginTrans();
    write.ExecSQL();
    lopnrDatabase.BeginTrans();
    QCOMPARE(draw.ExecSQL(), 1);
    lopnrDatabase.RollbackTrans();
    lopnrDatabase.BeginTrans();
    QCOMPARE(draw.ExecSQL(), 1);
    lopnrDatabase.CommitTrans();
    // Ending the outer transaction while the inner one is open would end both.
    lopnrDatabase.BeginTrans();
    draw.ExecSQL();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, database1.CommitTrans());
    lopnrDatabase.RollbackTrans();
    database1.CommitTrans();

    QCOMPARE(db.scalar(u"SELECT COUNTER FROM FIELDCOUNTERS"_s).toInt(), 2);
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM PATREG"_s).toInt(), 1);
}

void TestVNConnection::killedPostgresConnection()
{
    DBTEST_SCRATCH(db, Backend::Postgres);
    db.createJournalSchema();
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PATHALSODEK', 'LOPNR', 10)"_s);

    TVNConnection database1;
    database1.Open(db.initString());
    TVNAdoQuery pid;
    pid.SetConnection(&database1);
    pid.SetSQL({u"SELECT pg_backend_pid() AS PID"_s});
    pid.Open();
    const int backend = pid.FieldByName(u"PID"_s).AsInteger();
    pid.Close();

    TVNAdoQuery rows;
    rows.SetConnection(&database1);
    rows.SetSQL({u"SELECT * FROM PATREG"_s});
    rows.Open();
    database1.BeginTrans();
    rows.Insert();
    rows.FieldByName(u"PATIENTNR"_s).SetAsInteger(1);
    rows.FieldByName(u"LOPNR"_s).SetAsInteger(1);
    rows.Post();

    QVERIFY(db.scalar(u"SELECT pg_terminate_backend(%1)"_s.arg(backend)).toBool());

    rows.Append();
    rows.FieldByName(u"PATIENTNR"_s).SetAsInteger(1);
    rows.FieldByName(u"LOPNR"_s).SetAsInteger(2);
    try {
        rows.Post();
        database1.CommitTrans();
        QFAIL("an operation on a terminated connection succeeded");
    } catch (const DatabaseError &error) {
        qInfo("message after the kill: %s", qPrintable(error.message()));
        QVERIFY(!error.message().trimmed().isEmpty());
    }
    QVERIFY(!database1.Connected());
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM PATREG"_s).toInt(), 0);

    database1.Open(db.initString());
    QVERIFY(database1.Connected());
    database1.BeginTrans();
    rows.Open();
    rows.Insert();
    rows.FieldByName(u"PATIENTNR"_s).SetAsInteger(1);
    rows.FieldByName(u"LOPNR"_s).SetAsInteger(3);
    rows.Post();
    database1.CommitTrans();
    QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM PATREG"_s).toInt(), 1);
}

VN_REGISTER_TEST(TestVNConnection)
#include "tst_vnconnection.moc"
