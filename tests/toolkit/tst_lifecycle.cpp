#include "testrunner.h"
#include "toolkit/dialogs.h"
#include "toolkit/powerhandling.h"
#include "toolkit/vennictools.h"

#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <memory>
#include <stdexcept>
#include <utility>

#ifndef Q_OS_WIN
#include <QDBusConnection>
#include <QDBusMessage>
#endif

using namespace Qt::StringLiterals;

namespace {

// A database connection as its owner would register it, logging what is done to it.
struct FakeConnection
{
    QString owner;
    QString name;
    bool open = false;
    bool inTransaction = false;
    int tag = 0;
    int failuresLeft = 0;       // attempts to open that fail before one succeeds
    bool failAfterOpen = false; // a failing attempt gets the link but not the transaction
    QStringList *log = nullptr;
    int id = 0;

    void record(const QString &what) { log->append(owner + u'.' + name + u' ' + what); }
};

struct Shown
{
    DialogKind kind;
    QString text;
};

class ScriptedPresenter final : public DialogPresenter
{
public:
    ScriptedPresenter(QList<Shown> *shown, QStringList *log, QList<int> answers)
        : m_shown(shown), m_log(log), m_answers(std::move(answers))
    {}
    int showMessage(DialogKind kind, const QString &, const QString &text) override
    {
        m_shown->append({kind, text});
        m_log->append(kind == DialogKind::Question ? u"question"_s : u"notice"_s);
        if (kind != DialogKind::Question)
            return mrOk;
        return m_answers.isEmpty() ? mrNo : m_answers.takeFirst();
    }
    void showBalloonHint(const QString &, const QString &, QWidget *) override {}

private:
    QList<Shown> *m_shown;
    QStringList *m_log;
    QList<int> m_answers;
};

const QString kQuestionStart =
    u"Databasanslutningen har avbrutits på ett felaktigt sätt!\rOch det automatiska "
    u"återanslutningsförsöket resulterade i följande fel:\r\r"_s;
const QString kQuestionEnd = u"\r\rFörsöka ansluta igen?"_s;

QString reconnectedNotice(int count)
{
    return u"Programmet har återanslutit %1 anslutningar till databasen. Kontrollera att ingen "
           u"data förlorats."_s.arg(count);
}

} // namespace

class TstLifecycle : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<FakeConnection>> m_connections;
    QStringList m_log;
    QList<Shown> m_shown;
    QList<int> m_exitCodes;
    // A bus of the test's own stands in for the system bus.
    QProcess m_bus;
    QString m_busAddress;

    FakeConnection *add(const QString &owner, const QString &name, bool open, int tag = 0)
    {
        auto connection = std::make_unique<FakeConnection>();
        FakeConnection *c = connection.get();
        c->owner = owner;
        c->name = name;
        c->open = open;
        c->inTransaction = open;
        c->tag = tag;
        c->log = &m_log;
        PowerConnection power;
        power.ownerName = owner;
        power.connectionName = name;
        power.isOpen = [c] { return c->open; };
        power.close = [c] {
            c->record(u"close"_s);
            c->open = false;
            c->inTransaction = false;
        };
        power.openAndBeginTransaction = [c] {
            c->record(u"open"_s);
            if (c->failuresLeft > 0) {
                --c->failuresLeft;
                c->open = c->failAfterOpen;
                throw std::runtime_error("Anslutningen nekades (värden svarar inte)");
            }
            c->open = true;
            c->inTransaction = true;
        };
        power.tag = [c] { return c->tag; };
        power.setTag = [c](int tag) { c->tag = tag; };
        power.connectionString = [c] {
            return u"Provider=SQLOLEDB;Data Source=SRV01;Catalog="_s + c->name;
        };
        c->id = RegisterPowerConnection(std::move(power));
        m_connections.push_back(std::move(connection));
        return c;
    }

    void answer(QList<int> answers)
    {
        SetDialogPresenter(
            std::make_unique<ScriptedPresenter>(&m_shown, &m_log, std::move(answers)));
    }

private slots:
    void initTestCase()
    {
#ifndef Q_OS_WIN
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            return;
        m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        if (!m_bus.waitForStarted() || !m_bus.waitForReadyRead())
            return;
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        // Read once, at the first use of the system bus.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_busAddress.toUtf8());
#endif
    }
    void cleanupTestCase()
    {
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.terminate();
            m_bus.waitForFinished();
        }
    }

    void init()
    {
        m_log.clear();
        m_shown.clear();
        m_exitCodes.clear();
        answer({});
        SetResumeWait(std::chrono::milliseconds(1));
        SetTerminateFunction([this](int code) {
            m_exitCodes.append(code);
            m_log.append(u"exit %1"_s.arg(code));
        });
    }
    void cleanup()
    {
        for (const auto &connection : m_connections)
            UnregisterPowerConnection(connection->id);
        m_connections.clear();
        SetDialogPresenter(nullptr);
        SetTerminateFunction(nullptr);
        SetResumeWait(kResumeWait);
        EndToolkit();
    }

    void toolkitFormLivesFromStartToEnd()
    {
        QCOMPARE(frmVennicTools(), nullptr);
        StartToolkit();
        QPointer<TfrmVennicTools> form = frmVennicTools();
        QVERIFY(form);
        QVERIFY(!form->parent());
        QVERIFY(!form->isVisible());
        QCOMPARE(form->StartProgressAppTimer->interval(), 2000);
        QVERIFY(form->StartProgressAppTimer->isSingleShot());
        QCOMPARE(form->UpdateProgressAppTimer->interval(), 500);
        QVERIFY(!form->StartProgressAppTimer->isActive());
        QVERIFY(!form->UpdateProgressAppTimer->isActive());
        QCOMPARE(form->ImageList1.size(), 3);
        for (const QPixmap &image : std::as_const(form->ImageList1))
            QCOMPARE(image.size(), QSize(32, 32));

        StartToolkit();
        QCOMPARE(frmVennicTools(), form.data());

        VennicUser().CurrentUserType = utOrdinary;
        VennicUser().LoginUserName = u"kalvin"_s;
        form->StartProgressAppTimer->start();
        form->UpdateProgressAppTimer->start();
        EndToolkit();
        QVERIFY(!form);
        QCOMPARE(frmVennicTools(), nullptr);
        QCOMPARE(VennicUser().CurrentUserType, utSystem);
        QVERIFY(VennicUser().LoginUserName.isEmpty());
        EndToolkit();
    }

    void progressAppMessagesAreRegisteredByName()
    {
        StartToolkit();
        const TProgressAppMessages &m = ProgressAppMessages();
        const QList<unsigned> numbers = {m.VN_SET_ACTIVE_CAPTION,     m.VN_SET_ACTIVE_TEMA,
                                         m.VN_SET_ACTIVE_STATUS,      m.VN_SET_ACTIVE_HWND,
                                         m.VN_INACTIVATE_PROGRESSAPP, m.VN_HIDENOW_PROGRESSAPP,
                                         m.VN_ACTIVATE_PROGRESSAPP};
        for (const unsigned number : numbers) {
            QVERIFY(number >= 0xC000 && number <= 0xFFFF);
            QCOMPARE(numbers.count(number), 1);
        }
        QCOMPARE(RegisterMessageName(u"VN_HIDENOW_PROGRESSAPP"_s), m.VN_HIDENOW_PROGRESSAPP);
        QCOMPARE(RegisterMessageName(u"vn_set_active_hwnd"_s), m.VN_SET_ACTIVE_HWND);
        // A restarted toolkit talks to the same running progress application.
        EndToolkit();
        StartToolkit();
        QCOMPARE(ProgressAppMessages().VN_SET_ACTIVE_CAPTION, numbers.first());
    }

    void sleepAndWakeByConnectionState_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::addColumn<int>("tagBefore");
        QTest::addColumn<int>("tagAfterSleep");
        QTest::addColumn<bool>("openAfterWake");

        QTest::newRow("open: closed, marked and reopened") << true << 0 << 666 << true;
        QTest::newRow("open with another tag: marked") << true << 42 << 666 << true;
        QTest::newRow("closed before the sleep: left alone") << false << 0 << 0 << false;
        QTest::newRow("closed, marked by an earlier sleep: reopened")
            << false << 666 << 666 << true;
    }
    void sleepAndWakeByConnectionState()
    {
        QFETCH(bool, openBefore);
        QFETCH(int, tagBefore);
        QFETCH(int, tagAfterSleep);
        QFETCH(bool, openAfterWake);
        FakeConnection *c = add(u"frmHalsoDekMain"_s, u"Database1"_s, openBefore, tagBefore);

        HandleSuspend();
        QVERIFY(!c->open);
        QCOMPARE(c->tag, tagAfterSleep);
        QCOMPARE(m_log.contains(u"frmHalsoDekMain.Database1 close"_s), openBefore);

        HandleResume();
        QCOMPARE(c->open, openAfterWake);
        QCOMPARE(c->inTransaction, openAfterWake);
        QCOMPARE(c->tag, tagAfterSleep);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].kind, DialogKind::Information);
        QCOMPARE(m_shown[0].text, reconnectedNotice(openAfterWake ? 1 : 0));
        QVERIFY(m_exitCodes.isEmpty());
    }

    // Forms' and data modules' connections alike, in the order their owners registered them.
    void wakeReconnectsEveryMarkedConnectionInOrder()
    {
        add(u"frmHalsoDekMain"_s, u"Database1"_s, true);
        add(u"frmHalsoDekMain"_s, u"lopnrDatabase"_s, true);
        FakeConnection *idle = add(u"dmJournal"_s, u"ADOConnection1"_s, false);
        add(u"dmJournal"_s, u"ADOConnection2"_s, true);
        UnregisterPowerConnection(m_connections.back()->id);

        HandleSuspend();
        HandleResume();
        QCOMPARE(m_log, QStringList({
                            u"frmHalsoDekMain.Database1 close"_s,
                            u"frmHalsoDekMain.lopnrDatabase close"_s,
                            u"frmHalsoDekMain.Database1 close"_s,
                            u"frmHalsoDekMain.Database1 open"_s,
                            u"frmHalsoDekMain.lopnrDatabase close"_s,
                            u"frmHalsoDekMain.lopnrDatabase open"_s,
                            u"notice"_s,
                        }));
        QCOMPARE(m_shown[0].text,
                 u"Programmet har återanslutit 2 anslutningar till databasen. Kontrollera att "
                 u"ingen data förlorats."_s);
        QVERIFY(!idle->open);
    }

    void failedReconnect_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<bool>("failAfterOpen");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("openAfterWake");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("notice");

        const QString database1 = u"frmHalsoDekMain.Database1 "_s;
        const QString lopnr = u"frmHalsoDekMain.lopnrDatabase "_s;
        // Both were closed for the sleep before the wake's log begins.
        QTest::newRow("yes and the retry works: not counted")
            << 1 << false << QList<int>{mrYes} << true << QStringList{database1 + u"close"_s,
                                                                      database1 + u"open"_s,
                                                                      u"question"_s,
                                                                      database1 + u"open"_s,
                                                                      lopnr + u"close"_s,
                                                                      lopnr + u"open"_s,
                                                                      u"notice"_s}
            << reconnectedNotice(1);
        QTest::newRow("no: left closed, success reported with the count")
            << 1 << false << QList<int>{mrNo} << false << QStringList{database1 + u"close"_s,
                                                                      database1 + u"open"_s,
                                                                      u"question"_s,
                                                                      database1 + u"close"_s,
                                                                      lopnr + u"close"_s,
                                                                      lopnr + u"open"_s,
                                                                      u"notice"_s}
            << reconnectedNotice(1);
        QTest::newRow("no after a half-made link: closed")
            << 1 << true << QList<int>{mrNo} << false << QStringList{database1 + u"close"_s,
                                                                     database1 + u"open"_s,
                                                                     u"question"_s,
                                                                     database1 + u"close"_s,
                                                                     lopnr + u"close"_s,
                                                                     lopnr + u"open"_s,
                                                                     u"notice"_s}
            << reconnectedNotice(1);
        QTest::newRow("retry fails too: notice, then exit code 1")
            << 2 << false << QList<int>{mrYes} << false
            << QStringList{database1 + u"close"_s,
                           database1 + u"open"_s,
                           u"question"_s,
                           database1 + u"open"_s,
                           database1 + u"close"_s,
                           lopnr + u"close"_s,
                           lopnr + u"open"_s,
                           u"notice"_s,
                           u"exit 1"_s}
            << u"Det gick inte att ansluta till databasen igen. Programmet avslutas.\r\r"
               u"Det gick inte att återansluta frmHalsoDekMain.Database1!\r"
               u"ConnectionString = Provider=SQLOLEDB;Data Source=SRV01;Catalog=Database1\r\r"_s;
    }
    void failedReconnect()
    {
        QFETCH(int, failures);
        QFETCH(bool, failAfterOpen);
        QFETCH(QList<int>, answers);
        QFETCH(bool, openAfterWake);
        QFETCH(QStringList, log);
        QFETCH(QString, notice);
        FakeConnection *database1 = add(u"frmHalsoDekMain"_s, u"Database1"_s, true);
        FakeConnection *lopnr = add(u"frmHalsoDekMain"_s, u"lopnrDatabase"_s, true);
        answer(answers);
        HandleSuspend();
        m_log.clear();
        database1->failuresLeft = failures;
        database1->failAfterOpen = failAfterOpen;

        HandleResume();
        QCOMPARE(m_log, log);
        QCOMPARE(m_shown.first().kind, DialogKind::Question);
        QCOMPARE(m_shown.first().text,
                 kQuestionStart + u"Anslutningen nekades (värden svarar inte)"_s + kQuestionEnd);
        QCOMPARE(m_shown.last().text, notice);
        QCOMPARE(database1->open, openAfterWake);
        QCOMPARE(database1->tag, 666);
        QVERIFY(lopnr->open);
    }

    // The wait lets the window paint: events are processed before anything is reconnected.
    void wakeWaitsBeforeReconnecting()
    {
        FakeConnection *c = add(u"frmHalsoDekMain"_s, u"Database1"_s, true);
        HandleSuspend();
        SetResumeWait(std::chrono::milliseconds(20));
        bool ranDuringWait = false;
        bool openDuringWait = true;
        QTimer::singleShot(0, this, [&] {
            ranDuringWait = true;
            openDuringWait = c->open;
        });
        HandleResume();
        QVERIFY(ranDuringWait);
        QVERIFY(!openDuringWait);
        QVERIFY(c->open);
    }

    // The machine slept and woke again while the wake handling waited: one handling, one notice.
    void wakeDuringWakeHandlingRestartsIt()
    {
        FakeConnection *database1 = add(u"frmHalsoDekMain"_s, u"Database1"_s, true);
        FakeConnection *lopnr = add(u"frmHalsoDekMain"_s, u"lopnrDatabase"_s, true);
        HandleSuspend();
        SetResumeWait(std::chrono::milliseconds(20));
        int nested = 0;
        QTimer::singleShot(0, this, [&] {
            ++nested;
            HandleSuspend();
            HandleResume();
        });
        HandleResume();
        QCOMPARE(nested, 1);
        QCOMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].text, reconnectedNotice(2));
        QVERIFY(database1->open && database1->inTransaction);
        QVERIFY(lopnr->open && lopnr->inTransaction);
    }

    // logind tells the toolkit, once it runs, that the machine sleeps and wakes.
    void logindSleepSignalDrivesTheHandling()
    {
#ifdef Q_OS_WIN
        QSKIP("the power broadcast has no stand-in here");
#else
        if (m_busAddress.isEmpty())
            QSKIP("no dbus-daemon to stand in for the system bus");
        QDBusConnection logind = QDBusConnection::connectToBus(m_busAddress, u"fake-logind"_s);
        QVERIFY(logind.isConnected());
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        const auto prepareForSleep = [&logind](bool start) {
            QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/login1"_s,
                                                             u"org.freedesktop.login1.Manager"_s,
                                                             u"PrepareForSleep"_s);
            signal << start;
            return logind.send(signal);
        };
        FakeConnection *c = add(u"frmHalsoDekMain"_s, u"Database1"_s, true);
        StartToolkit();

        QVERIFY(prepareForSleep(true));
        QTRY_COMPARE(c->tag, 666);
        QVERIFY(!c->open);
        QVERIFY(prepareForSleep(false));
        QTRY_COMPARE(m_shown.size(), 1);
        QCOMPARE(m_shown[0].text, reconnectedNotice(1));
        QVERIFY(c->open);
        EndToolkit();
        QDBusConnection::disconnectFromBus(u"fake-logind"_s);
#endif
    }

    void workstationNameIsTheHostName()
    {
        QCOMPARE(GetWorkstationName(), QSysInfo::machineHostName());
        QVERIFY(m_shown.isEmpty());
    }
};

VN_REGISTER_TEST(TstLifecycle)
#include "tst_lifecycle.moc"
