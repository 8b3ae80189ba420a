#include "db/databaseerror.h"
#include "db/powerconnections.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "dbtestutil.h"
#include "dialogrecorder.h"
#include "testrunner.h"
#include "toolkit/dialogs.h"
#include "toolkit/powerhandling.h"

#include <QFile>
#include <QTest>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using dbtest::Backend;

namespace {

QString reconnectedNotice(int count)
{
    return u"Programmet har återanslutit %1 anslutningar till databasen. Kontrollera att ingen "
           u"data förlorats."_s.arg(count);
}

// A connection of the main window: named, registered, open with its transaction.
std::unique_ptr<TVNConnection> mainWindowConnection(const QString &name, const QString &init)
{
    auto connection = std::make_unique<TVNConnection>();
    connection->setObjectName(name);
    RegisterForPowerEvents(connection.get(), u"frmHalsoDekMain"_s);
    if (!init.isEmpty()) {
        connection->Open(init);
        connection->BeginTrans();
    }
    return connection;
}

int backendPid(TVNConnection &connection)
{
    TVNAdoQuery pid;
    pid.SetConnection(&connection);
    pid.SetSQL({u"SELECT pg_backend_pid() AS PID"_s});
    pid.Open();
    return pid.FieldByName(u"PID"_s).AsInteger();
}

void insertPatreg(TVNConnection &connection, int lopnr)
{
    TVNAdoQuery insert;
    insert.SetConnection(&connection);
    insert.SetSQL({u"INSERT INTO PATREG (PATIENTNR, LOPNR) VALUES (1, %1)"_s.arg(lopnr)});
    insert.ExecSQL();
}

} // namespace

class TestPowerHandling : public QObject
{
    Q_OBJECT

    std::optional<DialogRecorder> m_dialogs;
    QList<int> m_exitCodes;

    const QList<DialogRecorder::Shown> &shown() const { return m_dialogs->shown; }

private slots:
    void init()
    {
        m_dialogs.emplace();
        m_exitCodes.clear();
        SetResumeWait(std::chrono::milliseconds(1));
        SetTerminateFunction([this](int code) { m_exitCodes.append(code); });
    }
    void cleanup()
    {
        m_dialogs.reset();
        SetTerminateFunction(nullptr);
        SetResumeWait(kResumeWait);
    }

    void sleepAndWakeReopensWithTransaction_data()
    {
        QTest::addColumn<Backend>("backend");
        dbtest::AddBackendRows();
    }
    void sleepAndWakeReopensWithTransaction()
    {
        QFETCH(Backend, backend);
        DBTEST_SCRATCH(db, backend);
        db.createJournalSchema();
        auto database1 = mainWindowConnection(u"Database1"_s, db.initString());
        auto lopnrDatabase = mainWindowConnection(u"lopnrDatabase"_s, db.initString());
        auto idle = mainWindowConnection(u"ADOConnection1"_s, {});
        insertPatreg(*database1, 1);

        HandleSuspend();
        QVERIFY(!database1->Connected());
        QVERIFY(!lopnrDatabase->Connected());
        QCOMPARE(database1->Tag(), 666);
        QCOMPARE(lopnrDatabase->Tag(), 666);
        QCOMPARE(idle->Tag(), 0);
        // What was not committed before the sleep is gone, and holds no lock on the server.
        QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM PATREG"_s).toInt(), 0);

        HandleResume();
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown()[0].text, reconnectedNotice(2));
        QVERIFY(database1->Connected() && database1->InTransaction());
        QVERIFY(lopnrDatabase->Connected() && lopnrDatabase->InTransaction());
        QVERIFY(!idle->Connected());
        insertPatreg(*database1, 2);
        database1->CommitTrans();
        QCOMPARE(db.scalar(u"SELECT LOPNR FROM PATREG"_s).toInt(), 2);
        QVERIFY(m_exitCodes.isEmpty());
    }

    // The server dropped the connection while the machine slept.
    void killedServerConnectionIsReopened_data()
    {
        QTest::addColumn<bool>("lossNoticedBeforeSleep");
        QTest::newRow("marked by an earlier sleep, killed meanwhile") << false;
        QTest::newRow("loss noticed before the sleep") << true;
    }
    void killedServerConnectionIsReopened()
    {
        QFETCH(bool, lossNoticedBeforeSleep);
        DBTEST_SCRATCH(db, Backend::Postgres);
        db.createJournalSchema();
        auto database1 = mainWindowConnection(u"Database1"_s, db.initString());
        const int killed = backendPid(*database1);
        QVERIFY(db.scalar(u"SELECT pg_terminate_backend(%1)"_s.arg(killed)).toBool());
        if (lossNoticedBeforeSleep) {
            QVERIFY_THROWS_EXCEPTION(DatabaseError, insertPatreg(*database1, 1));
            QVERIFY(!database1->Connected());
            HandleSuspend();
        } else {
            database1->SetTag(666);
        }
        QCOMPARE(database1->Tag(), 666);

        HandleResume();
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown()[0].text, reconnectedNotice(1));
        QVERIFY(database1->Connected() && database1->InTransaction());
        QVERIFY(backendPid(*database1) != killed);
        insertPatreg(*database1, 3);
        database1->CommitTrans();
        QCOMPARE(db.scalar(u"SELECT COUNT(*) FROM PATREG"_s).toInt(), 1);
    }

    // The user retried, in vain: the notice names the connection without its password.
    void unreachableDatabaseEndsTheProgram()
    {
        DBTEST_SCRATCH(db, Backend::Sqlite);
        db.createJournalSchema();
        const QString init = db.initString() + u";User ID=kalvin;Password=pilk"_s;
        auto database1 = mainWindowConnection(u"Database1"_s, init);
        auto lopnrDatabase = mainWindowConnection(u"lopnrDatabase"_s, init);
        HandleSuspend();
        QVERIFY(QFile::rename(db.sqliteFile(), db.sqliteFile() + u".away"_s));
        // Both connections fail; the user asks to retry each.
        m_dialogs->answers = {mrYes, mrYes};

        HandleResume();
        QFile::rename(db.sqliteFile() + u".away"_s, db.sqliteFile());
        const QString missing = u"Databasfilen \"%1\" finns inte."_s.arg(db.sqliteFile());
        const QString shownInit = db.initString() + u";User ID=kalvin;Password=*****"_s;
        const QString failure = u"Det gick inte att återansluta frmHalsoDekMain.%1!\r"
                                u"ConnectionString = "_s +
                                shownInit + u"\r\r"_s;
        QCOMPARE(shown().size(), 3);
        QCOMPARE(shown()[0].kind, DialogKind::Question);
        QCOMPARE(shown()[0].text,
                 u"Databasanslutningen har avbrutits på ett felaktigt sätt!\rOch det automatiska "
                 u"återanslutningsförsöket resulterade i följande fel:\r\r"_s +
                     missing + u"\r\rFörsöka ansluta igen?"_s);
        QCOMPARE(shown()[1].kind, DialogKind::Question);
        QCOMPARE(shown()[2].text,
                 u"Det gick inte att ansluta till databasen igen. Programmet avslutas.\r\r"_s +
                     failure.arg(u"Database1"_s) + failure.arg(u"lopnrDatabase"_s));
        QCOMPARE(m_exitCodes, QList<int>{1});
        QVERIFY(!database1->Connected());
    }

    void connectionStringForDisplay_data()
    {
        QTest::addColumn<QString>("init");
        QTest::addColumn<QString>("shown");
        QTest::newRow("password among other keys")
            << u"Provider=SQLOLEDB.1;Password=pilk;Persist Security Info=True;User ID=kalvin"_s
            << u"Provider=SQLOLEDB.1;Password=*****;Persist Security Info=True;User ID=kalvin"_s;
        QTest::newRow("quoted, holding separators and quotes")
            << u"Provider=SQLOLEDB;Password=\"a;b\"\"c\";Data Source=S"_s
            << u"Provider=SQLOLEDB;Password=*****;Data Source=S"_s;
        QTest::newRow("single-quoted at the end, key in any case and spaced")
            << u"provider=PostgreSQL; password = 'x;y'"_s
            << u"provider=PostgreSQL; password = *****"_s;
        QTest::newRow("pwd") << u"Data Source=S;PWD=p;Initial Catalog=J"_s
                             << u"Data Source=S;PWD=*****;Initial Catalog=J"_s;
        QTest::newRow("empty password stays empty") << u"Provider=SQLOLEDB;Password=;User ID=u"_s
                                                    << u"Provider=SQLOLEDB;Password=;User ID=u"_s;
        QTest::newRow("keys that only end in password")
            << u"Provider=SQLOLEDB;OldPassword=p;Data Source=S"_s
            << u"Provider=SQLOLEDB;OldPassword=p;Data Source=S"_s;
    }
    void connectionStringForDisplay()
    {
        QFETCH(QString, init);
        QTEST(ConnectionStringForDisplay(init), "shown");
    }

    void registrationFollowsTheConnection()
    {
        DBTEST_SCRATCH(db, Backend::Sqlite);
        auto kept = mainWindowConnection(u"Database1"_s, db.initString());
        RegisterForPowerEvents(kept.get(), u"frmHalsoDekMain"_s);
        auto gone = mainWindowConnection(u"lopnrDatabase"_s, db.initString());
        HandleSuspend();
        gone.reset();

        HandleResume();
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown()[0].text, reconnectedNotice(1));
        QVERIFY(kept->Connected());

        UnregisterFromPowerEvents(kept.get());
        HandleSuspend();
        QVERIFY(kept->Connected());
    }
};

VN_REGISTER_TEST(TestPowerHandling)
#include "tst_powerhandling.moc"
