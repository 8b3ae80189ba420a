#include "testrunner.h"

#include "demo/demojournal.h"
#include "pgscratch.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(Dialect)

using namespace Qt::StringLiterals;
using namespace demojournal;

namespace {

const QString kSqlite = u"sqlite"_s;
const QString kPostgres = u"postgresql"_s;

// The tables and columns the program uses.
const QList<std::pair<QString, QStringList>> &journalTables()
{
    static const QList<std::pair<QString, QStringList>> tables = {
        {u"KUNDER"_s,
         {u"PERSONNR"_s, u"PATIENTNR"_s, u"F_RNAMN"_s, u"EFTERNAMN"_s, u"FODELSEDAG"_s, u"BTEXT"_s,
          u"MALSMAN2"_s}},
        {u"PATREG"_s, {u"PATIENTNR"_s, u"LOPNR"_s, u"ORTODONTIST"_s}},
        {u"PATHALSODEK"_s,
         {u"LOPNR"_s, u"PATIENTNR"_s, u"REGNR"_s, u"DATUM"_s, u"VARDGIVARENR"_s, u"HALSONR"_s,
          u"SIGNERAD"_s, u"PATDIGISIGN"_s, u"PATDIGISIGNATUR"_s}},
        {u"PATHALSODEKVALUES"_s,
         {u"PATHALSODEKLOPNR"_s, u"GRUPPLOPNR"_s, u"VALUELOPNR"_s, u"COL1VALUE"_s, u"COL2VALUE"_s}},
        {u"HALSOJOURNALER"_s, {u"HALSONR"_s, u"NAMN"_s, u"AKTIV"_s}},
        {u"HALSOGRUPPER"_s,
         {u"GRUPPLOPNR"_s, u"HALSONR"_s, u"AKTIV"_s, u"INDEXNR"_s, u"NAMN"_s, u"ANTALCOL"_s,
          u"COL1TEXT"_s, u"COL2TEXT"_s, u"COL1CHECKBOX"_s, u"COL1CBOXACTION"_s, u"COL2CBOXACTION"_s,
          u"GRUPPSYNLIG"_s}},
        {u"HALSOVALUES"_s,
         {u"LOPNR"_s, u"GRUPPLOPNR"_s, u"INDEXNR"_s, u"OVERSKRIFT"_s, u"ANTALCOL"_s, u"COL1TYP"_s,
          u"COL2TYP"_s, u"COL1LOOKUP"_s, u"COL2LOOKUP"_s}},
        {u"DROPDOWNDATA"_s, {u"LOPNR"_s, u"DATAMASK"_s, u"DROPDOWNTYP"_s, u"DEFVALUELOPNR"_s}},
        {u"DROPDOWNVALUES"_s, {u"LOPNR"_s, u"GROUPLOPNR"_s, u"DROPDOWNTEXT"_s, u"AKTIV"_s}},
        {u"VENNICUSER"_s, {u"VNUSERNAME"_s, u"VNPASSWORD"_s}},
        {u"FIELDCOUNTERS"_s, {u"TABLENAME"_s, u"FIELDNAME"_s, u"COUNTER"_s}},
    };
    return tables;
}

QString connectionName(const QString &backend)
{
    return u"tst_demojournal_"_s + backend;
}

QStringList firstColumn(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        return {u"<failed>"_s};
    }
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

QVariant scalar(const QSqlDatabase &db, const QString &sql)
{
    const QStringList values = firstColumn(db, sql);
    return values.size() == 1 ? QVariant(values.first()) : QVariant();
}

int count(const QSqlDatabase &db, const QString &sql)
{
    bool ok = false;
    const int n = scalar(db, sql).toInt(&ok);
    return ok ? n : -1;
}

// The patient's declarations newest last, by the statement the program uses.
QList<std::pair<int, QString>> declarations(const QSqlDatabase &db, int patient)
{
    QSqlQuery query(db);
    query.prepare(u"SELECT * FROM PATHALSODEK WHERE PATIENTNR=:PATIENTNR ORDER BY DATUM"_s);
    query.bindValue(u":PATIENTNR"_s, patient);
    QList<std::pair<int, QString>> rows;
    if (!query.exec())
        return rows;
    while (query.next())
        rows.append({query.value(u"LOPNR"_s).toInt(), query.value(u"SIGNERAD"_s).toString()});
    return rows;
}

} // namespace

// Each test function runs on the demo journal loaded once per backend in initTestCase.
#define DEMO_BACKEND(db)                                                                           \
    QFETCH(QString, backend);                                                                      \
    if (backend == kPostgres && m_pg->skipped())                                                   \
        QSKIP("VN_TEST_PG is not set");                                                            \
    QVERIFY2(m_loadErrors.value(backend).isEmpty(), qPrintable(m_loadErrors.value(backend)));      \
    const QSqlDatabase db = QSqlDatabase::database(connectionName(backend), false)

class TstDemoJournal : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<PgScratchDatabase> m_pg;
    QHash<QString, QString> m_loadErrors;

    static void addBackendColumn() { QTest::addColumn<QString>("backend"); }
    static void addBackendRows()
    {
        addBackendColumn();
        QTest::newRow("sqlite") << kSqlite;
        QTest::newRow("postgresql") << kPostgres;
    }

    void load(const QString &backend, QSqlDatabase db, Dialect dialect)
    {
        QString error;
        if (!db.isOpen())
            error = u"cannot open: "_s + db.lastError().text();
        else if (!CreateDemoJournal(db, dialect, &error) && error.isEmpty())
            error = u"failed without a message"_s;
        m_loadErrors.insert(backend, error);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QSqlDatabase sqlite = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName(kSqlite));
        sqlite.setDatabaseName(m_dir.filePath(u"demo.db"_s));
        sqlite.open();
        load(kSqlite, sqlite, Dialect::SQLite);

        m_pg = std::make_unique<PgScratchDatabase>();
        if (!m_pg->error().isEmpty())
            m_loadErrors.insert(kPostgres, m_pg->error());
        else if (!m_pg->skipped())
            load(kPostgres, m_pg->open(connectionName(kPostgres)), Dialect::PostgreSQL);
    }

    void cleanupTestCase()
    {
        for (const QString &backend : {kSqlite, kPostgres}) {
            QSqlDatabase::database(connectionName(backend), false).close();
            QSqlDatabase::removeDatabase(connectionName(backend));
        }
        m_pg.reset();
    }

    void splitsStatements_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("statements");
        QTest::newRow("two statements, last without semicolon")
            << u"SELECT 1;\nSELECT 2"_s << QStringList{u"SELECT 1"_s, u"SELECT 2"_s};
        QTest::newRow("semicolon inside a string")
            << u"INSERT INTO T VALUES ('a;b');SELECT 2;"_s
            << QStringList{u"INSERT INTO T VALUES ('a;b')"_s, u"SELECT 2"_s};
        QTest::newRow("doubled quote stays inside the string")
            << u"SELECT 'it''s; fine';SELECT 2;"_s
            << QStringList{u"SELECT 'it''s; fine'"_s, u"SELECT 2"_s};
        QTest::newRow("semicolon and quote in a line comment")
            << u"SELECT 1; -- don't; split\nSELECT 2;"_s
            << QStringList{u"SELECT 1"_s, u"SELECT 2"_s};
        QTest::newRow("block comment between tokens")
            << u"SELECT/* a; 'b */1;"_s << QStringList{u"SELECT 1"_s};
        QTest::newRow("comment markers inside a string")
            << u"SELECT '--x', '/*y*/';"_s << QStringList{u"SELECT '--x', '/*y*/'"_s};
        QTest::newRow("semicolon in a quoted identifier")
            << u"SELECT \"a;b\" FROM T;"_s << QStringList{u"SELECT \"a;b\" FROM T"_s};
        QTest::newRow("empty statements and comments only")
            << u";;\n-- nothing\n;  ;"_s << QStringList();
    }
    void splitsStatements()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, statements);
        QCOMPARE(SplitSqlStatements(script), statements);
    }

    void placeholdersFollowTheDialect_data()
    {
        QTest::addColumn<Dialect>("dialect");
        QTest::addColumn<QString>("dateTime");
        QTest::addColumn<QString>("blob");
        QTest::newRow("sqlite") << Dialect::SQLite << u"DATETIME"_s << u"BLOB"_s;
        QTest::newRow("postgresql") << Dialect::PostgreSQL << u"TIMESTAMP"_s << u"BYTEA"_s;
        QTest::newRow("sql server") << Dialect::SqlServer << u"DATETIME"_s << u"VARBINARY(MAX)"_s;
    }
    void placeholdersFollowTheDialect()
    {
        QFETCH(Dialect, dialect);
        QFETCH(QString, dateTime);
        QFETCH(QString, blob);
        const QString sql = DemoSchemaSql(dialect);
        QVERIFY(!sql.contains(u'{'));
        QVERIFY(sql.contains(u"DATUM "_s + dateTime + u",\n"_s));
        QVERIFY(sql.contains(u"FODELSEDAG "_s + dateTime + u",\n"_s));
        QVERIFY(sql.contains(u"PATDIGISIGNATUR "_s + blob + u",\n"_s));
    }

    // Every column of the journal tables is defined in the schema source and exists in the
    // loaded databases.
    void schemaNamesEveryColumn_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        for (const auto &[table, columns] : journalTables())
            QTest::newRow(qPrintable(table)) << table << columns;
    }
    void schemaNamesEveryColumn()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        const QStringList statements = SplitSqlStatements(DemoSchemaSource());
        const auto create =
            std::find_if(statements.begin(), statements.end(), [&](const QString &statement) {
                return statement.startsWith(u"CREATE TABLE "_s + table + u" ("_s);
            });
        QVERIFY2(create != statements.end(), qPrintable(table));
        for (const QString &column : columns) {
            // A column definition follows the opening parenthesis or a comma.
            const QRegularExpression definition(u"[(,]\\s*"_s + column + u"\\s"_s);
            QVERIFY2(create->contains(definition), qPrintable(column));
        }
        for (const QString &backend : {kSqlite, kPostgres}) {
            const QSqlDatabase db = QSqlDatabase::database(connectionName(backend), false);
            if (!db.isOpen() || !m_loadErrors.value(backend).isEmpty())
                continue;
            // As the program sees a table: through a SELECT *.
            QSqlQuery query(db);
            QVERIFY2(query.exec(u"SELECT * FROM "_s + table + u" WHERE 1 = 0"_s),
                     qPrintable(query.lastError().text()));
            const QSqlRecord record = query.record();
            for (const QString &column : columns)
                QVERIFY2(record.indexOf(column) >= 0, qPrintable(backend + u": "_s + column));
        }
    }
    // The answer boxes take their maximum length from the declared size of these columns.
    void answerColumnsHold255Characters_data() { addBackendRows(); }
    void answerColumnsHold255Characters()
    {
        DEMO_BACKEND(db);
        QSqlQuery query(db);
        QVERIFY(query.exec(u"SELECT * FROM PATHALSODEKVALUES WHERE 1 = 0"_s));
        const QSqlRecord record = query.record();
        if (record.field(u"COL1VALUE"_s).length() < 0)
            QSKIP("the driver reports no declared length");
        QCOMPARE(record.field(u"COL1VALUE"_s).length(), 255);
        QCOMPARE(record.field(u"COL2VALUE"_s).length(), 255);
    }

    void schemaCreatesOnlyTheJournalTables()
    {
        QStringList expected;
        for (const auto &entry : journalTables())
            expected << entry.first;
        QStringList created;
        const QRegularExpression createTable(u"^CREATE TABLE (\\w+)"_s);
        for (const QString &statement : SplitSqlStatements(DemoSchemaSource())) {
            const QRegularExpressionMatch match = createTable.match(statement);
            if (match.hasMatch())
                created << match.captured(1);
        }
        expected.sort();
        created.sort();
        QCOMPARE(created, expected);
    }

    // A failing statement takes everything before it back with it.
    void rollsBackWhenAStatementFails_data() { addBackendRows(); }
    void rollsBackWhenAStatementFails()
    {
        QFETCH(QString, backend);
        const QString name = u"tst_demojournal_rollback"_s;
        QString tablesSql;
        {
            QSqlDatabase db;
            if (backend == kSqlite) {
                db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
                db.setDatabaseName(m_dir.filePath(u"rollback.db"_s));
                db.open();
                tablesSql = u"SELECT name FROM sqlite_master WHERE type = 'table'"_s;
            } else {
                if (m_pg->skipped())
                    QSKIP("VN_TEST_PG is not set");
                QVERIFY2(m_pg->error().isEmpty(), qPrintable(m_pg->error()));
                db = m_pg->open(name);
                // A schema of its own beside the loaded journal.
                QSqlQuery(db).exec(u"CREATE SCHEMA rollback_check"_s);
                QSqlQuery(db).exec(u"SET search_path TO rollback_check"_s);
                tablesSql = u"SELECT table_name FROM information_schema.tables"
                            " WHERE table_schema = 'rollback_check'"_s;
            }
            QVERIFY(db.isOpen());
            // The schema creates FIELDCOUNTERS last.
            QSqlQuery query(db);
            QVERIFY(query.exec(u"CREATE TABLE FIELDCOUNTERS (TABLENAME VARCHAR(60),"
                               " FIELDNAME VARCHAR(255), COUNTER INTEGER)"_s));
            QVERIFY(query.exec(u"INSERT INTO FIELDCOUNTERS VALUES ('PATHALSODEK', 'LOPNR', 5)"_s));

            QString error;
            QVERIFY(!CreateDemoJournal(
                db, backend == kSqlite ? Dialect::SQLite : Dialect::PostgreSQL, &error));
            QVERIFY2(error.contains(u"FIELDCOUNTERS"_s, Qt::CaseInsensitive), qPrintable(error));

            QStringList tables = firstColumn(db, tablesSql);
            for (QString &table : tables)
                table = table.toUpper();
            QCOMPARE(tables, QStringList{u"FIELDCOUNTERS"_s});
            QCOMPARE(count(db, u"SELECT COUNTER FROM FIELDCOUNTERS"_s), 5);
            if (backend == kPostgres)
                QVERIFY(query.exec(u"DROP TABLE FIELDCOUNTERS"_s) &&
                        query.exec(u"DROP SCHEMA rollback_check"_s));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    void standardQuestionnaire_data() { addBackendRows(); }
    void standardQuestionnaire()
    {
        DEMO_BACKEND(db);
        QCOMPARE(count(db, u"SELECT COUNTER FROM FIELDCOUNTERS WHERE TABLENAME = 'HALSODEKLARATION'"
                           " AND FIELDNAME = 'STANDARDPP'"_s),
                 kStandardQuestionnaire);
        const QString standard = QString::number(kStandardQuestionnaire);
        QCOMPARE(scalar(db, u"SELECT AKTIV FROM HALSOJOURNALER WHERE HALSONR = "_s + standard),
                 u"T"_s);
        QCOMPARE(scalar(db, u"SELECT AKTIV FROM HALSOJOURNALER WHERE HALSONR = "_s +
                                QString::number(kRetiredQuestionnaire)),
                 u"F"_s);

        const int groups = count(db, u"SELECT COUNT(*) FROM HALSOGRUPPER WHERE AKTIV = 'T'"
                                     " AND HALSONR = "_s +
                                         standard);
        const int questions = count(db, u"SELECT COUNT(*) FROM HALSOVALUES v JOIN HALSOGRUPPER g"
                                        " ON g.GRUPPLOPNR = v.GRUPPLOPNR"
                                        " WHERE g.AKTIV = 'T' AND g.HALSONR = "_s +
                                            standard);
        QVERIFY2(groups >= 10 && groups <= 14, qPrintable(QString::number(groups)));
        QVERIFY2(questions >= 50 && questions <= 75, qPrintable(QString::number(questions)));
    }

    void listQuestionsOfferActiveAnswers_data() { addBackendRows(); }
    void listQuestionsOfferActiveAnswers()
    {
        DEMO_BACKEND(db);
        QVERIFY(count(db, u"SELECT COUNT(*) FROM HALSOVALUES WHERE COL1TYP <> 0"_s) >= 30);
        QVERIFY(count(db, u"SELECT COUNT(*) FROM HALSOVALUES WHERE COL2TYP <> 0"_s) >= 2);
        const QString offersNoAnswer =
            u"NOT EXISTS (SELECT 1 FROM DROPDOWNVALUES a JOIN DROPDOWNDATA d"
            " ON d.LOPNR = a.GROUPLOPNR WHERE a.GROUPLOPNR = v.%1 AND a.AKTIV = 'T')"_s;
        QCOMPARE(firstColumn(db, u"SELECT v.LOPNR FROM HALSOVALUES v WHERE (v.COL1TYP <> 0 AND "_s +
                                     offersNoAnswer.arg(u"COL1LOOKUP"_s) +
                                     u") OR (v.COL2TYP <> 0 AND "_s +
                                     offersNoAnswer.arg(u"COL2LOOKUP"_s) + u")"_s),
                 QStringList());
    }

    // A switch question is the first question of its own group, offers a list, and the answer
    // that opens the group is an active answer of that list.
    void switchQuestionsBelongToTheirGroup_data() { addBackendRows(); }
    void switchQuestionsBelongToTheirGroup()
    {
        DEMO_BACKEND(db);
        QVERIFY(count(db, u"SELECT COUNT(*) FROM HALSOGRUPPER WHERE COL1CHECKBOX = 'T'"
                          " AND COL2CBOXACTION IS NOT NULL"_s) >= 5);
        QCOMPARE(firstColumn(db,
                             u"SELECT g.GRUPPLOPNR FROM HALSOGRUPPER g"
                             " WHERE g.COL1CHECKBOX = 'T' AND NOT EXISTS ("
                             "  SELECT 1 FROM HALSOVALUES v"
                             "  WHERE v.LOPNR = g.COL1CBOXACTION AND v.GRUPPLOPNR = g.GRUPPLOPNR"
                             "  AND v.COL1TYP <> 0"
                             "  AND NOT EXISTS (SELECT 1 FROM HALSOVALUES w"
                             "   WHERE w.GRUPPLOPNR = v.GRUPPLOPNR AND w.INDEXNR < v.INDEXNR)"
                             "  AND (g.COL2CBOXACTION IS NULL OR EXISTS ("
                             "   SELECT 1 FROM DROPDOWNVALUES a WHERE a.LOPNR = g.COL2CBOXACTION"
                             "   AND a.GROUPLOPNR = v.COL1LOOKUP AND a.AKTIV = 'T')))"_s),
                 QStringList());
    }

    void defaultsBelongToTheirList_data() { addBackendRows(); }
    void defaultsBelongToTheirList()
    {
        DEMO_BACKEND(db);
        QVERIFY(count(db, u"SELECT COUNT(*) FROM DROPDOWNDATA WHERE DEFVALUELOPNR IS NOT NULL"_s) >=
                1);
        QCOMPARE(firstColumn(db, u"SELECT d.LOPNR FROM DROPDOWNDATA d"
                                 " WHERE d.DEFVALUELOPNR IS NOT NULL AND NOT EXISTS ("
                                 "  SELECT 1 FROM DROPDOWNVALUES a WHERE a.LOPNR = d.DEFVALUELOPNR"
                                 "  AND a.GROUPLOPNR = d.LOPNR AND a.AKTIV = 'T')"_s),
                 QStringList());
    }

    // The questionnaire exercises every way a group, question and answer list can be set up.
    void questionnaireCoversTheCases_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("minimum");
        const QString activeGroups = u"SELECT COUNT(*) FROM HALSOGRUPPER WHERE HALSONR = 1"
                                     " AND AKTIV = 'T' AND "_s;
        const QString activeQuestions = u"SELECT COUNT(*) FROM HALSOVALUES v JOIN HALSOGRUPPER g"
                                        " ON g.GRUPPLOPNR = v.GRUPPLOPNR"
                                        " WHERE g.HALSONR = 1 AND g.AKTIV = 'T' AND "_s;
        const QList<std::tuple<const char *, QString, int>> cases = {
            {"switch group that starts closed",
             activeGroups + u"COL1CHECKBOX = 'T' AND COL2CBOXACTION IS NOT NULL"
                            " AND GRUPPSYNLIG = 'F'"_s,
             1},
            {"switch group that starts open",
             activeGroups + u"COL1CHECKBOX = 'T' AND COL2CBOXACTION IS NOT NULL"
                            " AND GRUPPSYNLIG = 'T'"_s,
             1},
            {"switch question that opens nothing",
             activeGroups + u"COL1CHECKBOX = 'T' AND COL2CBOXACTION IS NULL"_s, 1},
            {"plain heading with two column texts",
             activeGroups + u"COL1CHECKBOX = 'F' AND ANTALCOL = 2 AND COL1TEXT <> ''"
                            " AND COL2TEXT <> ''"_s,
             1},
            {"plain heading with one box", activeGroups + u"COL1CHECKBOX = 'F' AND ANTALCOL = 1"_s,
             1},
            {"inactive group",
             u"SELECT COUNT(*) FROM HALSOGRUPPER WHERE HALSONR = 1 AND AKTIV = 'F'"_s, 1},
            {"groups listed out of display order",
             u"SELECT COUNT(*) FROM HALSOGRUPPER a JOIN HALSOGRUPPER b ON a.HALSONR = b.HALSONR"
             " AND a.GRUPPLOPNR < b.GRUPPLOPNR AND a.INDEXNR > b.INDEXNR"_s,
             1},
            {"questions listed out of display order",
             u"SELECT COUNT(*) FROM HALSOVALUES a JOIN HALSOVALUES b ON a.GRUPPLOPNR = b.GRUPPLOPNR"
             " AND a.LOPNR < b.LOPNR AND a.INDEXNR > b.INDEXNR"_s,
             1},
            {"two boxes, list and free text",
             activeQuestions + u"v.ANTALCOL = 2 AND v.COL1TYP <> 0 AND v.COL2TYP = 0"_s, 5},
            {"two free-text boxes",
             activeQuestions + u"v.ANTALCOL = 2 AND v.COL1TYP = 0 AND v.COL2TYP = 0"_s, 1},
            {"two lists, the second masked",
             activeQuestions + u"v.ANTALCOL = 2 AND v.COL1TYP <> 0 AND v.COL2TYP <> 0"
                               " AND v.COL2LOOKUP IN (SELECT LOPNR FROM DROPDOWNDATA"
                               " WHERE DATAMASK <> '')"_s,
             1},
            {"one free-text box", activeQuestions + u"v.ANTALCOL = 1 AND v.COL1TYP = 0"_s, 1},
            {"masked list in the first box",
             activeQuestions + u"v.COL1TYP <> 0 AND v.COL1LOOKUP IN (SELECT LOPNR FROM"
                               " DROPDOWNDATA WHERE DATAMASK <> '')"_s,
             1},
            {"every box style", u"SELECT COUNT(DISTINCT DROPDOWNTYP) FROM DROPDOWNDATA"_s, 3},
            {"inactive answer", u"SELECT COUNT(*) FROM DROPDOWNVALUES WHERE AKTIV = 'F'"_s, 1},
            {"saved answer that is no longer offered",
             u"SELECT COUNT(*) FROM PATHALSODEKVALUES p JOIN HALSOVALUES v"
             " ON v.LOPNR = p.VALUELOPNR JOIN DROPDOWNVALUES a ON a.GROUPLOPNR = v.COL1LOOKUP"
             " AND a.DROPDOWNTEXT = p.COL1VALUE WHERE v.COL1TYP <> 0 AND a.AKTIV = 'F'"
             " AND p.PATHALSODEKLOPNR = "_s +
                 QString::number(kOpenDeclaration),
             1},
            {"saved switch answer that opens a closed group",
             u"SELECT COUNT(*) FROM PATHALSODEKVALUES p JOIN HALSOGRUPPER g"
             " ON g.GRUPPLOPNR = p.GRUPPLOPNR AND g.COL1CBOXACTION = p.VALUELOPNR"
             " JOIN DROPDOWNVALUES a ON a.LOPNR = g.COL2CBOXACTION AND a.DROPDOWNTEXT = p.COL1VALUE"
             " WHERE g.COL1CHECKBOX = 'T' AND g.GRUPPSYNLIG = 'F' AND p.PATHALSODEKLOPNR = "_s +
                 QString::number(kOpenDeclaration),
             1},
        };
        for (const QString &backend : {kSqlite, kPostgres}) {
            for (const auto &[name, sql, minimum] : cases)
                QTest::addRow("%s: %s", qPrintable(backend), name) << backend << sql << minimum;
        }
    }
    void questionnaireCoversTheCases()
    {
        DEMO_BACKEND(db);
        QFETCH(QString, sql);
        QFETCH(int, minimum);
        QVERIFY2(count(db, sql) >= minimum, qPrintable(scalar(db, sql).toString()));
    }

    // The statement and pattern of the patient search.
    void patientSearch_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QList<int>>("patients");
        for (const QString &backend : {kSqlite, kPostgres}) {
            const QByteArray prefix = backend.toLatin1();
            QTest::addRow("%s: ten digits with dash finds both", prefix.constData())
                << backend << u"%"_s + kSharedPartialNumber + u"%"_s
                << QList<int>{kPartialNumberPatient1, kPartialNumberPatient2};
            QTest::addRow("%s: twelve digits with dash finds one", prefix.constData())
                << backend << u"%19641103-2482%"_s << QList<int>{kPartialNumberPatient1};
            QTest::addRow("%s: adult", prefix.constData())
                << backend << u"%"_s + kAdultPersonnr + u"%"_s << QList<int>{kAdultPatient};
            QTest::addRow("%s: stored without dash", prefix.constData())
                << backend << u"%194807125176%"_s << QList<int>{kTwelveDigitsNoDashPatient};
            QTest::addRow("%s: dash inserted before a dashless number", prefix.constData())
                << backend << u"%19480712-5176%"_s << QList<int>();
        }
    }
    void patientSearch()
    {
        DEMO_BACKEND(db);
        QFETCH(QString, pattern);
        QFETCH(QList<int>, patients);
        QSqlQuery query(db);
        QVERIFY(query.prepare(u"SELECT * FROM KUNDER WHERE PERSONNR LIKE :personnr"_s));
        query.bindValue(u":personnr"_s, pattern);
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
        QList<int> found;
        while (query.next())
            found << query.value(u"PATIENTNR"_s).toInt();
        std::sort(found.begin(), found.end());
        QCOMPARE(found, patients);
    }

    void counters_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("value");
        for (const QString &backend : {kSqlite, kPostgres}) {
            const QByteArray prefix = backend.toLatin1();
            QTest::addRow("%s: declaration number", prefix.constData())
                << backend << u"PATHALSODEK"_s << u"LOPNR"_s << kLastDeclaration;
            QTest::addRow("%s: standard questionnaire", prefix.constData())
                << backend << u"HALSODEKLARATION"_s << u"STANDARDPP"_s << kStandardQuestionnaire;
            QTest::addRow("%s: signing age", prefix.constData())
                << backend << u"SIGNHALSO"_s << u"FROMOCHMED"_s << 18;
            QTest::addRow("%s: personal-number format", prefix.constData())
                << backend << u"Personnummer"_s << u"Mask"_s << 0;
        }
    }
    void counters()
    {
        DEMO_BACKEND(db);
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(int, value);
        // Exactly one row, or drawing the next number would add a duplicate.
        const QString where =
            u" FROM FIELDCOUNTERS WHERE TABLENAME = '%1' AND FIELDNAME = '%2'"_s.arg(table, field);
        QCOMPARE(count(db, u"SELECT COUNT(*)"_s + where), 1);
        QCOMPARE(count(db, u"SELECT COUNTER"_s + where), value);
    }

    void declarationCounterIsHighestNumber_data() { addBackendRows(); }
    void declarationCounterIsHighestNumber()
    {
        DEMO_BACKEND(db);
        QCOMPARE(count(db, u"SELECT MAX(LOPNR) FROM PATHALSODEK"_s),
                 count(db, u"SELECT COUNTER FROM FIELDCOUNTERS WHERE TABLENAME = 'PATHALSODEK'"
                           " AND FIELDNAME = 'LOPNR'"_s));
    }

    // The keys the journal has, and the duplicates it tolerates.
    void keys_data()
    {
        addBackendColumn();
        QTest::addColumn<QString>("insert");
        QTest::addColumn<bool>("accepted");
        for (const QString &backend : {kSqlite, kPostgres}) {
            const QByteArray prefix = backend.toLatin1();
            QTest::addRow("%s: duplicate counter row", prefix.constData())
                << backend
                << u"INSERT INTO FIELDCOUNTERS (TABLENAME, FIELDNAME, COUNTER)"
                   " VALUES ('PATHALSODEK', 'LOPNR', 1)"_s
                << true;
            QTest::addRow("%s: second answer to a question", prefix.constData())
                << backend
                << u"INSERT INTO PATHALSODEKVALUES (PATHALSODEKLOPNR, GRUPPLOPNR, VALUELOPNR)"
                   " VALUES (47, 1, 101)"_s
                << false;
            QTest::addRow("%s: same question in another declaration", prefix.constData())
                << backend
                << u"INSERT INTO PATHALSODEKVALUES (PATHALSODEKLOPNR, GRUPPLOPNR, VALUELOPNR)"
                   " VALUES (48, 1, 101)"_s
                << true;
            QTest::addRow("%s: declaration number in use", prefix.constData())
                << backend << u"INSERT INTO PATHALSODEK (LOPNR, PATIENTNR) VALUES (47, 10001)"_s
                << false;
            QTest::addRow("%s: patient number in use", prefix.constData())
                << backend << u"INSERT INTO KUNDER (PATIENTNR, PERSONNR) VALUES (10001, 'x')"_s
                << false;
        }
    }
    void keys()
    {
        DEMO_BACKEND(db);
        QFETCH(QString, insert);
        QFETCH(bool, accepted);
        QSqlDatabase connection = db;
        QVERIFY(connection.transaction());
        QSqlQuery query(connection);
        const bool done = query.exec(insert);
        query.finish();
        QVERIFY(connection.rollback());
        QVERIFY2(done == accepted, qPrintable(query.lastError().text()));
    }

    void patientCases_data() { addBackendRows(); }
    void patientCases()
    {
        DEMO_BACKEND(db);
        const auto patientValue = [&](const QString &column, int patient) {
            return scalar(db, u"SELECT %1 FROM KUNDER WHERE PATIENTNR = %2"_s.arg(
                                  column, QString::number(patient)));
        };
        const auto registrations = [&](int patient) {
            return count(db, u"SELECT COUNT(*) FROM PATREG WHERE LOPNR > 0 AND PATIENTNR = "_s +
                                 QString::number(patient));
        };

        QCOMPARE(count(db, u"SELECT COUNT(*) FROM KUNDER"_s), 10);
        QCOMPARE(registrations(kUnregisteredPatient), 0);
        QCOMPARE(count(db, u"SELECT COUNT(*) FROM KUNDER k WHERE NOT EXISTS (SELECT 1 FROM PATREG r"
                           " WHERE r.PATIENTNR = k.PATIENTNR AND r.LOPNR > 0)"_s),
                 1);
        QCOMPARE(patientValue(u"PERSONNR"_s, kUnregisteredPatient).toString(),
                 kUnregisteredPersonnr.toString());

        // The current registration is the highest.
        QCOMPARE(registrations(kSignedPatient), 2);
        QCOMPARE(count(db, u"SELECT MAX(LOPNR) FROM PATREG WHERE PATIENTNR = "_s +
                               QString::number(kSignedPatient)),
                 kSignedPatientRegistration);

        QVERIFY(declarations(db, kAdultPatient).isEmpty());
        QCOMPARE(patientValue(u"PERSONNR"_s, kAdultPatient).toString(), kAdultPersonnr.toString());

        const auto signedOnes = declarations(db, kSignedPatient);
        QCOMPARE(signedOnes.size(), 3);
        QCOMPARE(signedOnes.last(), std::pair(46, u"T"_s));
        QCOMPARE(signedOnes[1].second, u"F"_s); // an older one never signed
        QCOMPARE(patientValue(u"PERSONNR"_s, kSignedPatient).toString(),
                 kSignedPersonnr.toString());

        const auto open = declarations(db, kOpenDeclarationPatient);
        QVERIFY(!open.isEmpty());
        QCOMPARE(open.last(), std::pair(kOpenDeclaration, u"F"_s));
        QCOMPARE(patientValue(u"PERSONNR"_s, kOpenDeclarationPatient).toString(),
                 kOpenDeclarationPersonnr.toString());
        // Saved answers for every question of its questionnaire, as a save writes them.
        QCOMPARE(count(db, u"SELECT COUNT(*) FROM PATHALSODEKVALUES WHERE PATHALSODEKLOPNR = "_s +
                               QString::number(kOpenDeclaration)),
                 count(db, u"SELECT COUNT(*) FROM HALSOVALUES v JOIN HALSOGRUPPER g"
                           " ON g.GRUPPLOPNR = v.GRUPPLOPNR JOIN PATHALSODEK d"
                           " ON d.HALSONR = g.HALSONR WHERE g.AKTIV = 'T' AND d.LOPNR = "_s +
                               QString::number(kOpenDeclaration)));

        const auto minor = declarations(db, kMinorPatient);
        QVERIFY(!minor.isEmpty());
        QCOMPARE(minor.last().second, u"T"_s);
        QCOMPARE(patientValue(u"PERSONNR"_s, kMinorPatient).toString(), kMinorPersonnr.toString());
        QCOMPARE(patientValue(u"BTEXT"_s, kMinorPatient).toString(), u"Karin Åkerlund (mamma)"_s);
        QCOMPARE(patientValue(u"MALSMAN2"_s, kMinorPatient).toString(), u"Johan Åkerlund"_s);
        QVERIFY(patientValue(u"FODELSEDAG"_s, kMinorWithoutBirthDatePatient).toString().isEmpty());
        QVERIFY(!patientValue(u"BTEXT"_s, kMinorWithoutBirthDatePatient).toString().isEmpty());
        QVERIFY(patientValue(u"FODELSEDAG"_s, kTwelveDigitsNoDashPatient).toString().isEmpty());
        QCOMPARE(patientValue(u"PERSONNR"_s, kTenDigitsNoDashPatient).toString().size(), 10);
    }

    void swedishTextsSurviveTheRoundTrip_data() { addBackendRows(); }
    void swedishTextsSurviveTheRoundTrip()
    {
        DEMO_BACKEND(db);
        QCOMPARE(scalar(db, u"SELECT OVERSKRIFT FROM HALSOVALUES WHERE LOPNR = 1004"_s).toString(),
                 u"Har du ont i käkleder eller käkmuskler?"_s);
        QCOMPARE(scalar(db, u"SELECT NAMN FROM HALSOGRUPPER WHERE GRUPPLOPNR = 8"_s).toString(),
                 u"Övriga sjukdomar"_s);
        // The search statement compares non-ASCII text too.
        QCOMPARE(count(db, u"SELECT PATIENTNR FROM KUNDER WHERE EFTERNAMN = 'Åkerlund'"_s),
                 kMinorPatient);
    }
};

VN_REGISTER_TEST(TstDemoJournal)

#include "tst_demojournal.moc"
