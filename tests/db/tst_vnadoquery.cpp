#include "db/databaseerror.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "dbtestutil.h"
#include "dialogrecorder.h"
#include "testrunner.h"
#include "toolkit/dialogs.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

// A scratch journal with three patients, declarations of two of them, and a counter row.
void fillJournal(dbtest::ScratchDatabase &db)
{
    db.createJournalSchema();
    db.exec(u"INSERT INTO KUNDER (PERSONNR, PATIENTNR, F_RNAMN, EFTERNAMN) VALUES "
            "('19800101-1234', 1, 'Anna', 'Ek'), ('19900202-2345', 2, 'Bo', 'Al'), "
            "('20000303-3456', 3, 'Cecilia', 'Gran')"_s);
    db.exec(u"INSERT INTO PATHALSODEK (LOPNR, PATIENTNR, REGNR, HALSONR, SIGNERAD) VALUES "
            "(10, 1, 1, 100, 'F'), (11, 1, 1, 100, 'T'), (20, 2, 2, 100, 'F')"_s);
    db.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PATHALSODEK', 'LOPNR', 20), "
            "('Personnummer', 'Mask', 1)"_s);
}

QStringList kunder()
{
    return {u"SELECT * FROM KUNDER"_s, u"ORDER BY PATIENTNR"_s};
}

} // namespace

class TestVNAdoQuery : public QObject
{
    Q_OBJECT

private slots:
    void parameters_data();
    void parameters();
    void parameterValuesSurviveStatementChanges();
    void sqlChangeClosesQuery_data();
    void sqlChangeClosesQuery();
    void navigation_data();
    void navigation();
    void locate_data();
    void locate();
    void masterDetail_data();
    void masterDetail();
    void fieldValuesRoundTrip_data();
    void fieldValuesRoundTrip();
    void insertEditCancel_data();
    void insertEditCancel();
    void optimisticUpdate_data();
    void optimisticUpdate();
    void nullTextEditedAgain_data()
    {
        QTest::addColumn<Backend>("backend");
        dbtest::AddBackendRows();
    }
    void nullTextEditedAgain();
    void readOnlyRefusesEdits();
    void fieldDataSize_data();
    void fieldDataSize();
    void execSqlAndFailures_data();
    void execSqlAndFailures();
};

void TestVNAdoQuery::parameters_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("directly after =")
        << QStringList{u"where PATIENTNR =:PATIENTNR"_s} << QStringList{u"PATIENTNR"_s};
    QTest::newRow("several, over lines")
        << QStringList{u"SELECT * FROM F"_s, u"WHERE A =:tablename"_s, u"AND B = :fieldname"_s}
        << QStringList{u"tablename"_s, u"fieldname"_s};
    QTest::newRow("a name twice is one parameter")
        << QStringList{u"WHERE A = :x OR B = :X"_s} << QStringList{u"x"_s};
    QTest::newRow("not in literals, identifiers or comments")
        << QStringList{u"SELECT ':a', \"b:c\", [d:e] FROM T -- :f"_s, u"/* :g */ WHERE T = :h"_s}
        << QStringList{u"h"_s};
    QTest::newRow("a cast is no parameter")
        << QStringList{u"SELECT x::int WHERE y = :z"_s} << QStringList{u"z"_s};
    QTest::newRow("a lone colon is no parameter")
        << QStringList{u"SELECT 'a' : b"_s} << QStringList{};
}

void TestVNAdoQuery::parameters()
{
    QFETCH(QStringList, sql);
    TVNAdoQuery query;
    query.SetSQL(sql);
    QTEST(query.ParamNames(), "names");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.ParamByName(u"nonesuch"_s));
}

void TestVNAdoQuery::parameterValuesSurviveStatementChanges()
{
    TVNAdoQuery query;
    query.SetSQL({u"SELECT * FROM F WHERE TABLENAME =:tablename"_s});
    query.ParamByName(u"TABLENAME"_s).SetValue(u"PATHALSODEK"_s);
    query.SQLAdd(u"AND FIELDNAME =:fieldname"_s);
    QCOMPARE(query.ParamByName(u"tablename"_s).AsString(), u"PATHALSODEK"_s);
    QVERIFY(query.ParamByName(u"fieldname"_s).Value().isNull());
    QCOMPARE(query.CommandText(),
             u"SELECT * FROM F WHERE TABLENAME =:tablename\nAND FIELDNAME =:fieldname\n"_s);
}

void TestVNAdoQuery::sqlChangeClosesQuery_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::sqlChangeClosesQuery()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    QSignalSpy closed(&query, &TVNAdoQuery::afterClose);

    query.SetSQL({u"SELECT * FROM KUNDER"_s});
    query.Open();
    QCOMPARE(query.RecordCount(), 3);
    query.SQLAdd(u"WHERE PATIENTNR = 2"_s);
    QVERIFY(!query.Active());
    query.Open();
    QCOMPARE(query.RecordCount(), 1);
    QCOMPARE(query.FieldByName(u"F_RNAMN"_s).AsString(), u"Bo"_s);

    query.SQLClear();
    QVERIFY(!query.Active());
    query.SetSQL({u"SELECT * FROM PATHALSODEK"_s});
    query.Open();
    query.SetSQL(query.SQL()); // the same text still closes, as any change does
    QVERIFY(!query.Active());
    QCOMPARE(closed.count(), 3);
}

void TestVNAdoQuery::navigation_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::navigation()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL(kunder());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.Next());
    query.Open();

    QVERIFY(query.Bof());
    QVERIFY(!query.Eof());
    QCOMPARE(query.RecNo(), 1);
    QStringList names;
    while (!query.Eof()) {
        names.append(query.FieldByName(u"f_rnamn"_s).AsString());
        query.Next();
    }
    QCOMPARE(names, (QStringList{u"Anna"_s, u"Bo"_s, u"Cecilia"_s}));
    QCOMPARE(query.RecNo(), 3); // Next past the end stays on the last row
    query.Prior();
    QCOMPARE(query.RecNo(), 2);
    QVERIFY(!query.Eof() && !query.Bof());
    query.First();
    query.Prior();
    QVERIFY(query.Bof());
    QCOMPARE(query.RecNo(), 1);
    query.Last();
    QVERIFY(query.Eof());
    QCOMPARE(query.FieldByName(u"PATIENTNR"_s).AsInteger(), 3);
    QCOMPARE(query.RecordCount(), 3);
    QVERIFY(!query.IsEmpty());

    query.SQLAdd(u"-- nothing matches"_s);
    query.SetSQL({u"SELECT * FROM KUNDER WHERE PATIENTNR < 0"_s});
    query.Open();
    QVERIFY(query.IsEmpty());
    QVERIFY(query.Bof() && query.Eof());
    QCOMPARE(query.RecNo(), 0);
    QVERIFY(query.FieldByName(u"PERSONNR"_s).IsNull());
    QCOMPARE(query.FieldByName(u"PERSONNR"_s).AsString(), QString());
}

void TestVNAdoQuery::locate_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<bool>("caseInsensitive");
    QTest::addColumn<int>("foundRecNo"); // 0: not found, position kept

    for (const Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        const auto row = [backend](const char *name) -> QTestData & {
            return dbtest::NewBackendRow(name, backend);
        };
        row("exact text") << u"TABLENAME;FIELDNAME"_s << QVariantList{u"Personnummer"_s, u"Mask"_s}
                          << false << 2;
        row("other case, insensitive")
            << u"TABLENAME;FIELDNAME"_s << QVariantList{u"PERSONNUMMER"_s, u"mask"_s} << true << 2;
        row("other case, sensitive")
            << u"TABLENAME;FIELDNAME"_s << QVariantList{u"PERSONNUMMER"_s, u"mask"_s} << false << 0;
        row("integer column") << u"COUNTER"_s << QVariantList{20} << false << 1;
        row("one field of two differs")
            << u"TABLENAME;FIELDNAME"_s << QVariantList{u"PATHALSODEK"_s, u"Mask"_s} << true << 0;
    }
}

void TestVNAdoQuery::locate()
{
    QFETCH(Backend, backend);
    QFETCH(QString, fields);
    QFETCH(QVariantList, values);
    QFETCH(bool, caseInsensitive);
    QFETCH(int, foundRecNo);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL({u"SELECT * FROM FIELDCOUNTERS ORDER BY COUNTER DESC"_s});
    query.Open();
    query.Last();
    QSignalSpy scrolled(&query, &TVNAdoQuery::afterScroll);

    const LocateOptions options =
        caseInsensitive ? LocateOptions(LocateOption::CaseInsensitive) : LocateOptions();
    QCOMPARE(query.Locate(fields, values, options), foundRecNo > 0);
    QCOMPARE(query.RecNo(), foundRecNo > 0 ? foundRecNo : 2);
    QCOMPARE(scrolled.count(), foundRecNo > 0 && foundRecNo != 2 ? 1 : 0);
}

void TestVNAdoQuery::masterDetail_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::masterDetail()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery patients;
    patients.SetConnection(&connection);
    patients.SetSQL({u"SELECT * FROM KUNDER WHERE PERSONNR LIKE :personnr ORDER BY PATIENTNR"_s});
    patients.ParamByName(u"personnr"_s).SetValue(u"19%"_s);
    TVNAdoQuery declarations;
    declarations.SetConnection(&connection);
    declarations.SetSQL(
        {u"SELECT * FROM PATHALSODEK"_s, u"WHERE PATIENTNR=:PATIENTNR"_s, u"ORDER BY LOPNR"_s});
    declarations.SetMaster(&patients);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, patients.SetMaster(&declarations));

    patients.Open();
    QVERIFY(!declarations.Active()); // a closed detail stays closed
    declarations.Open();
    QCOMPARE(declarations.RecordCount(), 2);
    QCOMPARE(declarations.FieldByName(u"LOPNR"_s).AsInteger(), 10);

    QSignalSpy detailOpened(&declarations, &TVNAdoQuery::afterOpen);
    patients.Next();
    QCOMPARE(detailOpened.count(), 1);
    QCOMPARE(declarations.RecordCount(), 1);
    QCOMPARE(declarations.FieldByName(u"LOPNR"_s).AsInteger(), 20);

    // Re-opening the master on another patient re-reads the detail.
    patients.Close();
    patients.ParamByName(u"personnr"_s).SetValue(u"20%"_s);
    patients.Open();
    QVERIFY(declarations.Active());
    QVERIFY(declarations.IsEmpty());

    // No patient at all: the detail reads with a null parameter and finds nothing.
    patients.Close();
    patients.ParamByName(u"personnr"_s).SetValue(u"none"_s);
    patients.Open();
    QVERIFY(declarations.IsEmpty());

    // A locate on the master moves the detail too.
    patients.Close();
    patients.ParamByName(u"personnr"_s).SetValue(u"%"_s);
    patients.Open();
    QVERIFY(patients.Locate(u"PATIENTNR"_s, 2));
    QCOMPARE(declarations.FieldByName(u"LOPNR"_s).AsInteger(), 20);

    // A master post that leaves the linking column alone keeps the detail where it is; a
    // pending edit of the detail is saved, not dropped, when the master moves.
    patients.First();
    declarations.Next();
    patients.Edit();
    patients.FieldByName(u"F_RNAMN"_s).SetAsString(u"Annika"_s);
    patients.Post();
    QCOMPARE(declarations.RecNo(), 2);
    declarations.Edit();
    declarations.FieldByName(u"HALSONR"_s).SetAsInteger(300);
    patients.Next();
    QCOMPARE(declarations.State(), DataSetState::Browse);
    QCOMPARE(db.scalar(u"SELECT HALSONR FROM PATHALSODEK WHERE LOPNR = 11"_s).toInt(), 300);
}

void TestVNAdoQuery::fieldValuesRoundTrip_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::fieldValuesRoundTrip()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL({u"SELECT * FROM PATHALSODEK WHERE LOPNR = :LOPNR"_s});
    query.ParamByName(u"LOPNR"_s).SetAsInteger(30);
    query.Open();
    QVERIFY(query.IsEmpty());

    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 7));
    QByteArray blob("{\\rtf1 \0\x01\xff}", 12);
    query.Append();
    query.FieldByName(u"lopnr"_s).SetAsInteger(30);
    query.FieldByName(u"PatientNr"_s).SetAsString(u"3"_s);
    query.FieldByName(u"DATUM"_s).SetAsDateTime(when);
    query.FieldByName(u"PATDIGISIGN"_s).SetAsString(u"T"_s);
    query.FieldByName(u"PATDIGISIGNATUR"_s).SetAsBytes(blob);
    query.Post();
    QCOMPARE(query.State(), DataSetState::Browse);

    query.Close();
    query.Open();
    QCOMPARE(query.RecordCount(), 1);
    QCOMPARE(query.FieldByName(u"PATIENTNR"_s).AsInteger(), 3);
    QCOMPARE(query.FieldByName(u"DATUM"_s).AsDateTime(), when);
    QCOMPARE(query.FieldByName(u"DATUM"_s).AsString(), u"2024-02-29 13:45:07"_s);
    if (backend == Backend::Sqlite) {
        // Stored in the journal's own text form, so it sorts among dates written by others.
        QCOMPARE(db.scalar(u"SELECT DATUM FROM PATHALSODEK WHERE LOPNR = 30"_s).toString(),
                 u"2024-02-29 13:45:07"_s);
    }
    QCOMPARE(query.FieldByName(u"PATDIGISIGN"_s).AsString(), u"T"_s);
    QCOMPARE(query.FieldByName(u"PATDIGISIGNATUR"_s).AsBytes(), blob);
    QVERIFY(query.FieldByName(u"SIGNERAD"_s).IsNull());
    QCOMPARE(query.FieldByName(u"REGNR"_s).AsInteger(), 0);
    QVERIFY(!query.FieldByName(u"SIGNERAD"_s).AsDateTime().isValid());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.FieldByName(u"NOSUCH"_s));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.FieldByName(u"REGNR"_s).SetAsInteger(1));
}

void TestVNAdoQuery::insertEditCancel_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::insertEditCancel()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL(kunder());
    query.Open();
    query.Next();

    query.Insert();
    QCOMPARE(query.State(), DataSetState::Insert);
    QCOMPARE(query.RecordCount(), 4);
    query.FieldByName(u"PATIENTNR"_s).SetAsInteger(9);
    query.Cancel();
    QCOMPARE(query.RecordCount(), 3);
    QCOMPARE(query.FieldByName(u"F_RNAMN"_s).AsString(), u"Bo"_s);

    query.Edit();
    query.FieldByName(u"F_RNAMN"_s).SetAsString(u"Bertil"_s);
    query.Cancel();
    QCOMPARE(query.FieldByName(u"F_RNAMN"_s).AsString(), u"Bo"_s);

    // Moving away posts a pending edit, as the dataset always did.
    query.Edit();
    query.FieldByName(u"F_RNAMN"_s).SetAsString(u"Bertil"_s);
    query.Next();
    QCOMPARE(query.State(), DataSetState::Browse);
    QCOMPARE(db.scalar(u"SELECT F_RNAMN FROM KUNDER WHERE PATIENTNR = 2"_s).toString(),
             u"Bertil"_s);
    QCOMPARE(db.scalar(u"SELECT EFTERNAMN FROM KUNDER WHERE PATIENTNR = 2"_s).toString(), u"Al"_s);

    // Edit on an empty result inserts.
    query.SetSQL({u"SELECT * FROM KUNDER WHERE PATIENTNR = 99"_s});
    query.Open();
    query.Edit();
    QCOMPARE(query.State(), DataSetState::Insert);
    query.FieldByName(u"PATIENTNR"_s).SetAsInteger(99);
    query.FieldByName(u"PERSONNR"_s).SetAsString(u"20100101-0000"_s);
    query.Post();
    QCOMPARE(db.scalar(u"SELECT PERSONNR FROM KUNDER WHERE PATIENTNR = 99"_s).toString(),
             u"20100101-0000"_s);
}

void TestVNAdoQuery::optimisticUpdate_data()
{
    QTest::addColumn<Backend>("backend");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("firstColumn");
    QTest::addColumn<QString>("secondColumn");
    QTest::addColumn<bool>("conflict");
    for (const Backend backend : {Backend::Sqlite, Backend::Postgres}) {
        const auto row = [backend](const char *name) -> QTestData & {
            return dbtest::NewBackendRow(name, backend);
        };
        row("keyless table, same column")
            << u"SELECT * FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK'"_s << u"COUNTER"_s
            << u"COUNTER"_s << true;
        row("keyless table, other column")
            << u"SELECT * FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK'"_s << u"FIELDNAME"_s
            << u"COUNTER"_s << true;
        row("keyed table, same column") << u"SELECT * FROM PATHALSODEK WHERE LOPNR = 10"_s
                                        << u"HALSONR"_s << u"HALSONR"_s << true;
        row("keyed table, other column") << u"SELECT * FROM PATHALSODEK WHERE LOPNR = 10"_s
                                         << u"HALSONR"_s << u"REGNR"_s << false;
    }
}

// A text emptied to a null string is stored as NULL; the next edit of the row must still find it.
void TestVNAdoQuery::nullTextEditedAgain()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL({u"SELECT * FROM PATHALSODEK WHERE LOPNR = 10"_s});
    query.Open();

    query.Edit();
    query.FieldByName(u"PATDIGISIGN"_s).SetAsString(QString());
    query.Post();
    QVERIFY(query.FieldByName(u"PATDIGISIGN"_s).IsNull());
    QVERIFY(db.scalar(u"SELECT PATDIGISIGN FROM PATHALSODEK WHERE LOPNR = 10"_s).isNull());

    query.Edit();
    query.FieldByName(u"PATDIGISIGN"_s).SetAsString(u"T"_s);
    query.Post();
    QCOMPARE(db.scalar(u"SELECT PATDIGISIGN FROM PATHALSODEK WHERE LOPNR = 10"_s).toString(),
             u"T"_s);
}

// Two workstations read the same row; the first saves; the second's save must not overwrite it.
void TestVNAdoQuery::optimisticUpdate()
{
    QFETCH(Backend, backend);
    QFETCH(QString, sql);
    QFETCH(QString, firstColumn);
    QFETCH(QString, secondColumn);
    QFETCH(bool, conflict);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection first;
    TVNConnection second;
    first.Open(db.initString());
    second.Open(db.initString());
    TVNAdoQuery mine;
    TVNAdoQuery theirs;
    mine.SetConnection(&first);
    theirs.SetConnection(&second);
    mine.SetSQL({sql});
    theirs.SetSQL({sql});
    mine.Open();
    theirs.Open();

    mine.Edit();
    if (firstColumn == u"FIELDNAME")
        mine.FieldByName(firstColumn).SetAsString(u"LOPNR2"_s);
    else
        mine.FieldByName(firstColumn).SetAsInteger(500);
    mine.Post();

    second.BeginTrans();
    theirs.Edit();
    theirs.FieldByName(secondColumn).SetAsInteger(700);
    if (!conflict) {
        theirs.Post();
        second.CommitTrans();
        QCOMPARE(db.scalar(u"SELECT REGNR FROM PATHALSODEK WHERE LOPNR = 10"_s).toInt(), 700);
        QCOMPARE(db.scalar(u"SELECT HALSONR FROM PATHALSODEK WHERE LOPNR = 10"_s).toInt(), 500);
        return;
    }
    DialogRecorder dialogs;
    try {
        theirs.Post();
        QFAIL("the second save overwrote the first");
    } catch (const DatabaseError &error) {
        QCOMPARE(error.message(), kRowConflictMessage);
        second.RollbackTrans();
        ShowError(u"Det gick inte att spara!\r\r"_s + error.message());
    }
    QCOMPARE(theirs.State(), DataSetState::Edit);
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Error);
    QVERIFY2(
        dialogs.shown.at(0).text.contains(u"Uppgifterna kan ha ändrats av en annan användare"_s),
        qPrintable(dialogs.shown.at(0).text));
    QVERIFY(!dialogs.shown.at(0).text.contains(kRowConflictMessage));
    const QString check = sql.startsWith(u"SELECT * FROM FIELDCOUNTERS")
                              ? u"SELECT COUNT(*) FROM FIELDCOUNTERS WHERE COUNTER = 700"_s
                              : u"SELECT COUNT(*) FROM PATHALSODEK WHERE HALSONR = 700"_s;
    QCOMPARE(db.scalar(check).toInt(), 0);
}

void TestVNAdoQuery::readOnlyRefusesEdits()
{
    DBTEST_SCRATCH(db, Backend::Sqlite);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetLockType(LockType::ReadOnly);
    query.SetSQL(kunder());
    query.Open();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.SetLockType(LockType::Optimistic));
    for (const auto &edit : {&TVNAdoQuery::Edit, &TVNAdoQuery::Insert, &TVNAdoQuery::Append}) {
        try {
            (query.*edit)();
            QFAIL("a read-only query started an edit");
        } catch (const DatabaseError &error) {
            QCOMPARE(error.message(), u"Cannot modify a read-only dataset"_s);
        }
        QCOMPARE(query.State(), DataSetState::Browse);
    }
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.Post());
    QCOMPARE(query.RecordCount(), 3);
}

void TestVNAdoQuery::fieldDataSize_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::fieldDataSize()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL(
        {u"SELECT * FROM PATHALSODEKVALUES"_s, u"WHERE PATHALSODEKLOPNR =:LOPNR"_s, QString()});
    query.Open();
    // The answer boxes take at most size less one characters: the declared length.
    QCOMPARE(query.FieldDataSize(u"COL1VALUE"_s), 256);
    QCOMPARE(query.FieldDataSize(u"col2value"_s), 101);
    QCOMPARE(query.FieldByName(u"COL2VALUE"_s).DataSize(), 101);
    QCOMPARE(query.FieldDataSize(u"GRUPPLOPNR"_s), 0);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.FieldDataSize(u"NOSUCH"_s));
}

void TestVNAdoQuery::execSqlAndFailures_data()
{
    QTest::addColumn<Backend>("backend");
    dbtest::AddBackendRows();
}

void TestVNAdoQuery::execSqlAndFailures()
{
    QFETCH(Backend, backend);
    DBTEST_SCRATCH(db, backend);
    fillJournal(db);
    TVNConnection connection;
    connection.Open(db.initString());
    TVNAdoQuery query;
    query.SetConnection(&connection);
    query.SetSQL({u"UPDATE PATHALSODEK SET SIGNERAD = :s WHERE PATIENTNR = :p"_s});
    query.ParamByName(u"s"_s).SetAsString(u"T"_s);
    query.ParamByName(u"p"_s).SetAsInteger(1);
    QCOMPARE(query.ExecSQL(), 2);
    QVERIFY(!query.Active());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.Open()); // no result set

    query.SetSQL({u"SELECT * FROM NOSUCHTABLE"_s});
    try {
        query.Open();
        QFAIL("a missing table was opened");
    } catch (const DatabaseError &error) {
        QVERIFY2(error.message().contains(u"nosuchtable"_s, Qt::CaseInsensitive),
                 qPrintable(error.message()));
    }
    QVERIFY(!query.Active());
    QVERIFY(connection.Connected());

    // A statement that is not "SELECT * FROM one table" cannot be edited.
    query.SetSQL({u"SELECT k.PATIENTNR FROM KUNDER k, PATREG p"_s});
    query.Open();
    query.Insert();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, query.Post());
}

VN_REGISTER_TEST(TestVNAdoQuery)
#include "tst_vnadoquery.moc"
