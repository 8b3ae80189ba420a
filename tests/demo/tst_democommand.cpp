#include "testrunner.h"

#include "pgscratch.h"
#include "tools/democommand.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int code;
    QString out;
    QString err;
};

Run runDemoJournal(const QStringList &args)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = RunDemoJournalCommand(args, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return {code, out, err};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The number of patients in a demo journal, or -1 when it cannot be read as one.
int patientCount(QSqlDatabase db)
{
    QSqlQuery query(db);
    return query.exec(u"SELECT COUNT(*) FROM KUNDER"_s) && query.next() ? query.value(0).toInt()
                                                                        : -1;
}

int sqlitePatientCount(const QString &path)
{
    const QString name = u"tst_democommand_check"_s;
    int patients = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open())
            patients = patientCount(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return patients;
}

} // namespace

class TstDemoCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("errContains");
        QTest::newRow("only --force") << QStringList{u"--force"_s} << 2 << u"Ange en fil"_s;
        QTest::newRow("two files") << QStringList{u"a.db"_s, u"b.db"_s} << 2 << u"Ange en fil"_s;
        QTest::newRow("unknown option")
            << QStringList{u"a.db"_s, u"--overwrite"_s} << 2 << u"--overwrite"_s;
        QTest::newRow("--pg without connection") << QStringList{u"--pg"_s} << 2 << u"--pg"_s;
        QTest::newRow("--pg after a file") << QStringList{u"a.db"_s, u"--pg"_s} << 2 << u"--pg"_s;
        QTest::newRow("unreadable connection")
            << QStringList{u"--pg"_s, u"host='db"_s} << 1 << u"apostrof"_s;
        QTest::newRow("folder missing")
            << QStringList{m_dir.filePath(u"saknas/demo.db"_s)} << 1 << u"finns inte"_s;
        QTest::newRow("target is a folder")
            << QStringList{m_dir.path(), u"--force"_s} << 1 << u"katalog"_s;
    }
    void commandLines()
    {
        QFETCH(QStringList, args);
        const Run run = runDemoJournal(args);
        QTEST(run.code, "code");
        QFETCH(QString, errContains);
        QVERIFY2(run.err.contains(errContains), qPrintable(run.err));
    }

    void createsSqliteJournal()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"demo.db"_s);
        const Run run = runDemoJournal({path});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.out.contains(path));
        QCOMPARE(sqlitePatientCount(path), 10);
        // The file was built under another name and moved into place.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"demo.db"_s});
    }

    void existingFile_data()
    {
        QTest::addColumn<bool>("force");
        QTest::newRow("kept without --force") << false;
        QTest::newRow("replaced with --force") << true;
    }
    void existingFile()
    {
        QFETCH(bool, force);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"journal.db"_s);
        const QByteArray before = "not a journal";
        QVERIFY(writeAll(path, before));

        const Run run = runDemoJournal(force ? QStringList{u"--force"_s, path} : QStringList{path});
        if (force) {
            QVERIFY2(run.code == 0, qPrintable(run.err));
            QCOMPARE(sqlitePatientCount(path), 10);
        } else {
            QCOMPARE(run.code, 1);
            QVERIFY2(run.err.contains(u"--force"_s), qPrintable(run.err));
            QCOMPARE(readAll(path), before);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"journal.db"_s});
    }

    void loadsIntoPostgres()
    {
        PgScratchDatabase scratch;
        if (scratch.skipped())
            QSKIP("VN_TEST_PG is not set");
        QVERIFY2(scratch.error().isEmpty(), qPrintable(scratch.error()));

        const Run first = runDemoJournal({u"--pg"_s, scratch.conninfo()});
        QVERIFY2(first.code == 0, qPrintable(first.err));
        // A second load finds the tables and changes nothing.
        const Run second = runDemoJournal({u"--pg"_s, scratch.conninfo()});
        QCOMPARE(second.code, 1);
        QVERIFY2(second.err.contains(u"kunder"_s, Qt::CaseInsensitive), qPrintable(second.err));

        const QString name = u"tst_democommand_pg"_s;
        {
            QSqlDatabase db = scratch.open(name);
            QCOMPARE(patientCount(db), 10);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
};

VN_REGISTER_TEST(TstDemoCommand)

#include "tst_democommand.moc"
