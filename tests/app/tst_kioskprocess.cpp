#include "app/demosetup.h"
#include "testrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Starts the kiosk on a demo folder and waits until it tells that the identification page is
// ready. The kiosk refuses to be closed from outside, so the caller kills it. Its start-up creates
// the suite folder in `dataHome` rather than in the user's own data folder.
class KioskProcess
{
public:
    KioskProcess(const QString &demoFolder, const QString &dataHome)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, dataHome);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"ASAN_OPTIONS"_s, u"detect_leaks=0"_s);
        environment.insert(u"QT_LOGGING_RULES"_s, u"vn.app.shell.info=true"_s);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(VN_VERSIONED_EXECUTABLE), {u"--demo="_s + demoFolder});
    }
    ~KioskProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    Q_DISABLE_COPY_MOVE(KioskProcess)

    QProcess &process() { return m_process; }
    bool ready()
    {
        m_log += m_process.readAllStandardError();
        return m_log.contains("identification page ready");
    }
    QByteArray log() const { return m_log; }

private:
    QProcess m_process;
    QByteArray m_log;
};

} // namespace

class TestKioskProcess : public QObject
{
    Q_OBJECT

private slots:
    void demoArguments_data();
    void demoArguments();
    void demoStartsOnIdentificationPage();
};

void TestKioskProcess::demoArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder");
    const QString named = QDir(u"/srv/kiosk-demo"_s).absolutePath();
    QTest::newRow("no demo") << QStringList{u"prog"_s, u"x.udl"_s} << QString();
    QTest::newRow("bare switch: the user's demo folder")
        << QStringList{u"prog"_s, u"--demo"_s} << DefaultDemoFolder();
    QTest::newRow("named folder wins over the script's bare switch")
        << QStringList{u"prog"_s, u"--demo"_s, u"--demo=/srv/kiosk-demo"_s} << named;
    QTest::newRow("empty name: the default")
        << QStringList{u"prog"_s, u"--demo="_s, u"--demo"_s} << DefaultDemoFolder();
}

void TestKioskProcess::demoArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    QCOMPARE(DemoFolderFromArguments(arguments), folder);
}

void TestKioskProcess::demoStartsOnIdentificationPage()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"demo"_s);
    const QString journal = QDir(folder).filePath(u"demojournal.sqlite"_s);
    for (int run = 1; run <= 2; ++run) {
        KioskProcess kiosk(folder, dir.filePath(u"data"_s));
        QVERIFY2(kiosk.process().waitForStarted(), qPrintable(kiosk.process().errorString()));
        QTRY_VERIFY2_WITH_TIMEOUT(kiosk.ready() || kiosk.process().state() == QProcess::NotRunning,
                                  kiosk.log().constData(), 60000);
        QVERIFY2(kiosk.process().state() == QProcess::Running, kiosk.log().constData());
        QVERIFY(QFileInfo::exists(
            QDir(folder).filePath(u"common/System/Ole DB/Data Links/Demojournal.udl"_s)));
        QVERIFY(QFileInfo(journal).isFile());
        if (run == 2)
            break;
        kiosk.process().kill();
        kiosk.process().waitForFinished();
        // A later start runs on the journal the first one made, with what was saved in it.
        const QString name = u"tst_kioskprocess"_s;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
            db.setDatabaseName(journal);
            QVERIFY(db.open());
            QSqlQuery mark(db);
            QVERIFY(mark.exec(u"UPDATE KUNDER SET F_RNAMN = 'Kvar' WHERE PATIENTNR = 10001"_s));
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    const QString name = u"tst_kioskprocess_check"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(journal);
        QVERIFY(db.open());
        QSqlQuery check(db);
        QVERIFY(check.exec(u"SELECT F_RNAMN FROM KUNDER WHERE PATIENTNR = 10001"_s) &&
                check.next());
        QCOMPARE(check.value(0).toString(), u"Kvar"_s);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

VN_REGISTER_TEST(TestKioskProcess)
#include "tst_kioskprocess.moc"
